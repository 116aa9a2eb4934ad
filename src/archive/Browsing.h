#pragma once

#include "archive/ZipArchive.h"

#include <set>
#include <string>

namespace arvelo {

// The archives whose files already lie in the Temp folder: those extracted
// for browsing, and the archive of a running task.
class TExtractedArchives {
public:
    void Mark(const std::string &archive) { archives_.insert(archive); }
    void Forget(const std::string &archive) { archives_.erase(archive); }
    bool Contains(const std::string &archive) const { return archives_.count(archive) > 0; }
    // Another archive's files have replaced theirs in the Temp folder.
    void ForgetAllBut(const std::string &archive, const std::string &running)
    {
        std::erase_if(archives_, [&](const std::string &a) { return a != archive && a != running; });
    }

private:
    std::set<std::string> archives_;
};

// Extracts a whole archive (entry empty) or one entry into folder, with the
// folders of the entries, for browsing: a whole archive always overwrites,
// one entry as told. Answers the outcome of the result (0 success, 1 done,
// 2 failed, a message shown) and sets the status line.
int ExtractForBrowsing(TZipArchive &zip, const std::string &archive, const std::string &folder,
                       const std::string &entry, TZipOverwrite overwrite, std::string &status);

} // namespace arvelo
