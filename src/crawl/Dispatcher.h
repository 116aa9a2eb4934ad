#pragma once

#include "core/WindowThread.h"
#include "model/ItemList.h"

#include <atomic>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <string>
#include <thread>

namespace arvelo {

class TAVQItem;
class TAVSocket;
class TAVTask;
class TSlotList;

// The thread that hands the running task's items to idle connection slots,
// balancing pages against other files, takes finished fetches back and
// counts them, saves the item list now and then and notices when nothing is
// left to do. Every step that touches items, slots or files runs on the
// window thread; the selection runs here.
class TThreadDownload {
public:
    TThreadDownload();
    ~TThreadDownload();
    TThreadDownload(const TThreadDownload &) = delete;
    TThreadDownload &operator=(const TThreadDownload &) = delete;

    // Window thread: the start of a run.
    void Start(TAVTask &task, TSlotList &slots);
    // Window thread: the stop of a run; the thread parks after its step.
    void Pause();
    bool Paused() const { return paused_.load(); }
    // True while the thread waits for a run (after a pause or the end).
    bool Parked() const { return parked_.load(); }
    // Window thread: keeps events running until the thread has parked.
    void WaitParked();
    // Any thread: wakes the thread before the end of its sleep, to serve
    // the idle slots or notice the end of the run.
    void Wake();
    // Any thread: a fetch has ended or new items wait. The window thread
    // takes back what ended and serves the idle slots at once, in one call
    // for the ends that come close together.
    void Serve() { serve_.Raise(); }

    // Window thread, once per statistics step: the counters have been
    // refreshed; and the graph point of an elapsed second.
    std::function<void(TAVTask &)> OnCounters;
    std::function<void(int connections, int seconds, double kilobytes)> OnSample;
    // Window thread: an item has been taken back from its slot.
    std::function<void(TAVSocket &, TAVQItem &)> OnItemCompleted;
    // Window thread: the task has nothing left to do (status 5, saved).
    std::function<void(TAVTask &)> OnFinished;
    // Window thread: a save failed.
    std::function<void(const std::string &why)> OnSaveFailed;

private:
    enum class Wait { kRun, kPaused, kTerminated };

    void Run();
    // Sleeps up to ms; slots whose fetch ended meanwhile are served at once.
    // False when the run was paused or the thread is ending.
    bool Sleep(int ms);
    void Statistics();
    // On the window thread: takes back the items of the fetches that have ended.
    void CompleteEnded(TSlotList &slots, TAVTask &task);
    void CompleteItem(TAVSocket &slot);
    // Hands an item to every idle slot, or notices the end of the run; with
    // completeEnded, first takes back what ended (in the same hand-over).
    void DispatchBurst(bool completeEnded = false);
    // Its window-thread step; true when the run has nothing left to do.
    bool DispatchInWindow(bool completeEnded);
    TAVQItem *SelectItem(TAVTask &task);
    void Finish(TAVTask &task);
    void SaveStateInWindow(bool soon);
    // Writes a snapshot of the state file; a failure is reported on the window thread.
    void WriteState(TAVTask &task, const TItemList::TStateSnapshot &snapshot);

    std::mutex mutex_;
    std::condition_variable wake_;
    bool terminated_ = false;
    bool woken_ = false;
    bool resumed_ = false;
    std::atomic<TAVTask *> task_{nullptr};
    std::atomic<TSlotList *> slots_{nullptr};
    std::atomic<bool> paused_{true};
    std::atomic<bool> parked_{true};
    std::atomic<bool> done_{false};
    TWindowSignal serve_;
    std::thread thread_;
};

} // namespace arvelo
