#include "archive/ZipWorker.h"

namespace arvelo {

TZipWorker::TZipWorker()
    : self_(std::make_shared<TZipWorker *>(this)),
      status_([this](const std::string &text) {
          if (OnStatus)
              OnStatus(text, percent_.load());
      }),
      listedSignal_([this] { DeliverListed(); })
{
    zip_.OnAdding = [this](const std::string &entry) {
        busy_ = kAdding;
        Status("Adding: " + entry, -1);
    };
    zip_.OnUpdating = [this](const std::string &entry) {
        busy_ = kUpdating;
        Status("Updating: " + entry, -1);
    };
    zip_.OnExtracting = [this](const std::string &entry) {
        busy_ = kExtracting;
        Status("Extracting \"" + entry + "\".", -1);
    };
    zip_.OnDeleting = [this](const std::string &entry) { Status("Deleting: " + entry, -1); };
    zip_.OnStatus = [this](const TZipFileStats &stats) {
        // The progress of an entry, gone once all of it is done.
        Status("Ready", stats.processed >= stats.size ? -1 : stats.percent);
    };
    zip_.OnListing = [this](const TZipFileStats &stats) {
        {
            std::lock_guard lock(listedMutex_);
            listed_.push_back(stats);
        }
        listedSignal_.Raise();
    };
}

TZipWorker::~TZipWorker()
{
    Abort();
    thread_.WaitIdle();
}

void TZipWorker::Status(std::string text, int percent)
{
    percent_ = percent;
    status_.Post(std::move(text));
}

void TZipWorker::DeliverListed()
{
    std::vector<TZipFileStats> entries;
    {
        std::lock_guard lock(listedMutex_);
        entries.swap(listed_);
    }
    if (!entries.empty() && OnListed)
        OnListed(entries);
}

bool TZipWorker::Start(int busy, int listing, const std::string &word, std::function<int(TZipArchive &)> operation,
                       std::function<void(int outcome)> done)
{
    if (running_.exchange(true))
        return false;
    busy_ = busy;
    listing_ = listing;
    std::weak_ptr<TZipWorker *> alive = self_;
    thread_.Run([this, alive, word, operation = std::move(operation), done = std::move(done)] {
        int code = zrFailed;
        try {
            code = operation(zip_);
        } catch (const std::exception &) {
            // A failure of our own making is a failure like the library's.
        }
        PostToWindowThread([alive, code, word, done] {
            auto worker = alive.lock();
            if (!worker)
                return;
            TZipWorker &self = **worker;
            self.DeliverListed();
            // A listing that fails says why (a corrupt file must not pass
            // for an empty archive); an empty one is no failure.
            const int outcome = !word.empty()                           ? ClassifyZipResult(code, word)
                                : code == zrSuccess || code == zrEmpty ? 0
                                                                        : ClassifyZipResult(code, "listing");
            self.busy_ = kIdle;
            self.listing_ = kNotListing;
            self.running_ = false;
            if (done)
                done(outcome);
        });
    });
    return true;
}

} // namespace arvelo
