#pragma once

#include "archive/ZipArchive.h"

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace arvelo {

class TAVTask;

// The entry name of a file in a task's archive: its path relative to the
// Temp folder, or its whole path when it lies outside.
std::string ArchiveEntryName(const std::string &file, const std::string &tempFolder);

// Puts the saved files of a zip-mode task into its archive as it runs.
// Every tick takes what the task's zip queue holds. libzip writes the whole
// archive anew at every update, so the update is made only once the files
// waiting hold as many bytes and entries as the archive already does (and
// at the end): the cost of a run stays linear in what it adds.
class TTaskArchive {
public:
    explicit TTaskArchive(TZipArchive &zip) : zip_(zip) {}

    // Window thread: takes the queued files; with final, or when an update
    // is due, adds them. True when nothing waits any more.
    bool Tick(TAVTask &task, bool final);
    // Adds everything taken or queued now.
    void Flush(TAVTask &task) { Tick(task, true); }
    // For a resumed run: queues the task's saved files that the archive lacks.
    void Requeue(TAVTask &task);
    // Forgets what waits, for a new run.
    void Reset();
    int Updates() const { return updates_; }

private:
    struct TPending {
        std::string entry, comment;
    };
    void Update(TAVTask &task);

    TZipArchive &zip_;
    std::vector<TPending> pending_;
    uint64_t pendingBytes_ = 0, archiveBytes_ = 0;
    size_t archiveEntries_ = 0;
    int updates_ = 0;
};

} // namespace arvelo
