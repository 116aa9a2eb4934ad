#pragma once

#include "archive/ZipArchive.h"
#include "core/WindowThread.h"
#include "core/WorkerThread.h"

#include <atomic>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace arvelo {

// The archive operations of the windows (open and list, add, delete,
// extract), one at a time, on a thread of their own, so that the window
// never waits for the disk. What an operation reports reaches the window
// thread as status lines and batches of listed entries; its result comes
// to the caller there, classified.
class TZipWorker {
public:
    // The busy state: which operation runs.
    enum TBusy : int { kIdle = 0, kOpening = 1, kAdding = 2, kUpdating = 3, kExtracting = 5 };
    // The listing state: which listing is being built.
    enum TListing : int { kNotListing = 0, kListingAll = 1, kListingFolder = 2, kListingPages = 4 };
    static constexpr const char *kAbortQuestion = "Abort the current zip operation?";

    TZipWorker();
    // Stops the operation under way and waits for it.
    ~TZipWorker();
    TZipWorker(const TZipWorker &) = delete;
    TZipWorker &operator=(const TZipWorker &) = delete;

    // The archive and its settings, for the window thread to set up the
    // next operation; not while one runs.
    TZipArchive &Archive() { return zip_; }

    int BusyState() const { return busy_.load(); }
    int ListingState() const { return listing_.load(); }
    bool Running() const { return running_.load(); }

    // Window thread: runs the operation on the archive in the worker with
    // these states. Its result is classified with word ("adding",
    // "deleting", "extracting"; a listing's with "", where an empty archive
    // is no failure and a failure shows its message) and done has the
    // outcome (0 success, 1 done, 2 failed) on the window thread, after the
    // last entries listed. False, doing nothing, while another runs.
    bool Start(int busy, int listing, const std::string &word, std::function<int(TZipArchive &)> operation,
               std::function<void(int outcome)> done);
    // Any thread: the operation under way ends as aborted.
    void Abort() { zip_.Abort(); }

    // Window thread: the status line ("Adding: " + entry, "Updating: ",
    // "Extracting \"" + entry + "\".", "Deleting: ", "Ready") with a
    // progress percent, -1 for none.
    std::function<void(const std::string &text, int percent)> OnStatus;
    // Window thread: entries listed since the last call, in archive order.
    std::function<void(std::vector<TZipFileStats> &entries)> OnListed;

private:
    void Status(std::string text, int percent);
    void DeliverListed();

    TZipArchive zip_;
    std::atomic<int> busy_{kIdle}, listing_{kNotListing};
    std::atomic<bool> running_{false};
    std::atomic<int> percent_{-1};
    std::mutex listedMutex_;
    std::vector<TZipFileStats> listed_;
    // Alive while the worker is: what is posted after it is gone does nothing.
    std::shared_ptr<TZipWorker *> self_;
    TLatestText status_;
    TWindowSignal listedSignal_;
    TWorkerThread thread_; // last: stopped first
};

} // namespace arvelo
