#pragma once

#include "core/WindowThread.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace arvelo {

class TAVQItem;
class TAVTask;
struct TCandidate;

// The one thread that reads back every saved page of the running task,
// queues its new links, rewrites its links and saves it as "Parsed". It
// processes the next saved page as soon as there is one and otherwise waits;
// the task's lists and items are changed on the window thread only.
class TThreadParse {
public:
    TThreadParse();
    ~TThreadParse();
    TThreadParse(const TThreadParse &) = delete;
    TThreadParse &operator=(const TThreadParse &) = delete;

    // Window thread: binds the thread to a task and lets it run.
    void Start(TAVTask *task);
    // Stops the work after the page in hand.
    void Pause();
    bool Paused() const { return paused_.load(); }
    // Says that a page may be waiting (one has just been saved).
    void Wake();
    // True while no page is in hand.
    bool Idle() const { return !busy_.load(); }
    int PagesProcessed() const { return pagesProcessed_.load(); }

    // The status line, shown on the window thread ("" clears it).
    std::function<void(const std::string &text)> OnStatus;
    // Called from this thread when new items were queued or a page is done.
    std::function<void()> OnItemsChanged;
    // Whether pages get the advertisement banner (the "No Ads" preference off).
    std::atomic<bool> withBanner{true};

private:
    void Run();
    void RunLoop();
    // Pages are taken and given back a few at a time, each time in one
    // hand-over to the window thread.
    struct TPage;
    struct TBatch;
    static constexpr size_t kPagesPerHandOver = 8;
    // How long a batch's first pages may wait for the rest before their
    // links go out.
    static constexpr int kBatchMs = 50;
    static TBatch TakePages(TAVTask &task);
    void ParsePage(TAVTask &task, const TBatch &batch, TPage &page);
    void PublishPages(TAVTask &task, TBatch &batch, size_t count);
    // A line of routine progress: shown at most every kStatusGapMs, so that
    // a page parsed in an instant costs the window no wake-up.
    void Progress(const std::string &text);
    // A line that is always shown ("" clears the line, when anything is on it).
    void Status(const std::string &text);
    int QueueItems(TAVTask &task, std::vector<TCandidate> &batch);
    // On the window thread: adds the candidates the list does not know yet.
    static int AddItems(TAVTask &task, std::vector<TCandidate> &batch);

    std::mutex mutex_;
    std::condition_variable wake_;
    TAVTask *task_ = nullptr;
    bool woken_ = false;
    bool terminated_ = false;
    std::atomic<bool> paused_{true};
    std::atomic<bool> busy_{false};
    std::atomic<bool> done_{false};
    std::atomic<int> pagesProcessed_{0};
    TLatestText status_;
    // The parser thread's own: when it last posted a line and whether one shows.
    static constexpr int kStatusGapMs = 100;
    std::chrono::steady_clock::time_point lastPosted_{};
    bool lineShown_ = false;
    std::thread thread_;
};

} // namespace arvelo
