#include "archive/Browsing.h"

namespace arvelo {

int ExtractForBrowsing(TZipArchive &zip, const std::string &archive, const std::string &folder,
                       const std::string &entry, TZipOverwrite overwrite, std::string &status)
{
    zip.ZipFileName = archive;
    zip.ExtractDirectory = folder;
    zip.UsePaths = true;
    zip.Overwrite = entry.empty() ? xowAlways : overwrite;
    zip.FilesToProcess.clear();
    if (entry.empty()) {
        // Every entry by its own name, so that no name is taken for a pattern.
        zip.OnListing = [&](const TZipFileStats &stats) { zip.FilesToProcess.push_back(stats.fileName); };
        zip.List();
        zip.OnListing = nullptr;
    } else {
        zip.FilesToProcess.push_back(entry);
    }
    StringList names = zip.FilesToProcess;
    int code = names.empty() ? zrEmpty : zip.Extract(0);
    int outcome = ClassifyZipResult(code, "extracting");
    if (outcome != 2)
        status = entry.empty() ? "All files extracted successfully." : "Unzipped: " + entry + ".";
    return outcome;
}

} // namespace arvelo
