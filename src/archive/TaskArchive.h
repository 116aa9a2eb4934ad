#pragma once

#include "archive/ZipArchive.h"

#include <atomic>
#include <cstdint>
#include <functional>
#include <string>
#include <thread>
#include <vector>

namespace arvelo {

class TAVTask;

// The entry name of a file in a task's archive: its path relative to the
// Temp folder, or its whole path when it lies outside.
std::string ArchiveEntryName(const std::string &file, const std::string &tempFolder);

// Puts the saved files of a zip-mode task into its archive as it runs.
// Every tick of the window thread takes what the task's zip queue holds.
// libzip writes the whole archive anew at every update, so an update is made
// only once the files waiting weigh a good share of what the archive already
// holds (and at the end): the archive grows geometrically, and the cost of a
// run stays linear in what it adds. Updates run in a thread of their own,
// with a zip component of their own, so that compressing never holds up the
// window thread and the fetches waiting on it.
class TTaskArchive {
public:
    TTaskArchive() = default;
    ~TTaskArchive();
    TTaskArchive(const TTaskArchive &) = delete;
    TTaskArchive &operator=(const TTaskArchive &) = delete;

    // Window thread: takes the queued files; with final, or when an update
    // is due, starts one. True when nothing waits any more and no update is
    // under way.
    bool Tick(TAVTask &task, bool final);
    // Adds everything taken or queued now, and waits for it.
    void Flush(TAVTask &task);
    // For a resumed run: queues the task's saved files that the archive lacks.
    void Requeue(TAVTask &task);
    // Forgets what waits, for a new run.
    void Reset();
    int Updates() const { return updates_; }

    // Called from the update's thread when it has ended; set it before the
    // first tick.
    std::function<void()> OnUpdateDone;

private:
    // What one entry costs an update besides its bytes.
    static constexpr uint64_t kEntryWeight = 1024;
    struct TPending {
        std::string entry, comment;
    };
    void StartUpdate(const std::string &archive);
    // Takes back a finished update and shows its result.
    void Finished();

    TZipArchive zip_;
    std::vector<TPending> pending_, updating_;
    uint64_t pendingBytes_ = 0, archiveBytes_ = 0;
    size_t archiveEntries_ = 0;
    bool archiveKnown_ = false;
    int updates_ = 0;
    std::string tempFolder_;
    std::thread worker_;
    std::atomic<bool> busy_{false};
    int result_ = zrSuccess; // of the last update, written by the worker before it ends
};

} // namespace arvelo
