#include "crawl/Dispatcher.h"

#include "core/ThreadPriority.h"
#include "core/App.h"
#include "core/FileUtils.h"
#include "core/WindowThread.h"
#include "crawl/Slots.h"
#include "model/DownloadItem.h"
#include "model/Task.h"

#include <chrono>
#include <cmath>
#include <optional>

namespace arvelo {
TThreadDownload::TThreadDownload()
    : serve_([this] {
          // The end is written from the thread, never from the window.
          if (DispatchInWindow(true))
              Wake();
      }),
      thread_([this] {
          LowerThisThreadPriority();
          Run();
      })
{
}

TThreadDownload::~TThreadDownload()
{
    {
        std::lock_guard lock(mutex_);
        terminated_ = true;
        paused_ = true;
    }
    wake_.notify_all();
    // The thread may be waiting for a call into the window thread.
    PumpEventsUntil([this] { return done_.load(); });
    thread_.join();
}

void TThreadDownload::Start(TAVTask &task, TSlotList &slots)
{
    {
        std::lock_guard lock(mutex_);
        task_ = &task;
        slots_ = &slots;
        paused_ = false;
        parked_ = false;
        resumed_ = true;
        woken_ = true; // serves the idle slots at once
    }
    wake_.notify_all();
}

void TThreadDownload::Pause()
{
    {
        std::lock_guard lock(mutex_);
        paused_ = true;
    }
    wake_.notify_all();
}

void TThreadDownload::WaitParked()
{
    PumpEventsUntil([this] { return parked_.load(); });
}

void TThreadDownload::Wake()
{
    {
        std::lock_guard lock(mutex_);
        woken_ = true;
    }
    wake_.notify_all();
}

void TThreadDownload::Run()
{
    for (;;) {
        {
            std::unique_lock lock(mutex_);
            if (paused_ || !task_) {
                parked_ = true;
                wake_.wait(lock, [&] { return terminated_ || resumed_; });
            }
            resumed_ = false;
            if (terminated_)
                break;
        }
        // One cycle of about a second.
        Statistics();
        if (!Sleep(200))
            continue;
        DispatchBurst();
        if (!Sleep(400))
            continue;
        SaveStateInWindow(true);
        Sleep(400);
    }
    done_ = true;
}

bool TThreadDownload::Sleep(int ms)
{
    auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    std::unique_lock lock(mutex_);
    for (;;) {
        if (terminated_)
            return false;
        if (paused_) {
            lock.unlock();
            // The item list is saved before the thread parks.
            SaveStateInWindow(false);
            return false;
        }
        if (woken_) {
            woken_ = false;
            lock.unlock();
            DispatchBurst(true);
            lock.lock();
            continue;
        }
        if (!wake_.wait_until(lock, deadline, [&] { return terminated_ || paused_ || woken_; }))
            return true;
    }
}

void TThreadDownload::SaveStateInWindow(bool soon)
{
    TAVTask *task = task_.load();
    if (!task)
        return;
    // Taken on the window thread, written here: the window never waits
    // for the disk.
    std::optional<TItemList::TStateSnapshot> snapshot;
    std::string journal;
    RunInWindowThread([&] {
        TItemList &items = task->items;
        if (items.Changed() && (!soon || items.WholeSaveDue() || items.AutosaveDue()))
            snapshot = items.StateSnapshot();
        else
            journal = items.JournalFile();
    });
    if (snapshot)
        WriteState(*task, *snapshot);
    else
        // The changes are in the journal already; once a second they reach the disk.
        TItemList::SyncJournal(journal);
}

void TThreadDownload::CompleteItem(TAVSocket &slot)
{
    TAVQItem &item = *slot.item;
    TAVTask &task = *item.task;
    slot.HTTP.TakeOutcome();
    item.LoadFields();
    if (slot.HTTP.State() == hsError) {
        if (item.LoadedText().result.empty())
            item.Text().result = slot.HTTP.FailureText();
        item.SetState(isError);
        item.Publish(false);
    }
    // An address the server's robots.txt excludes was taken out of the run
    // unfetched: it counts as neither saved nor failed.
    const bool excluded = item.Mark() == imUnmarked && item.State() == isNone;
    bool page = item.IsPage();
    if (!excluded)
        ++(page ? task.pagesSaved : task.resourcesSaved);
    if (item.State() == isError)
        ++(page ? task.pageErrors : task.resourceErrors);
    if (OnItemCompleted)
        OnItemCompleted(slot, item);
    item.ReleaseFields();
    slot.HTTP.FreeThread();
    slot.HTTP.SetState(hsIdle);
}

// A fetch that has ended and whose item has not been taken back yet.
static bool EndedFetch(const TAVSocket &slot) { return slot.item && !slot.Idle() && slot.HTTP.Finished(); }

void TThreadDownload::CompleteEnded(TSlotList &slots, TAVTask &task)
{
    bool any = false;
    for (TAVSocket *slot : slots.Snapshot()) {
        if (EndedFetch(*slot)) {
            CompleteItem(*slot);
            slots.ShowRow(*slot);
            any = true;
        }
    }
    if (any && OnCounters)
        OnCounters(task);
}

void TThreadDownload::Statistics()
{
    TSlotList *slots = slots_.load();
    TAVTask *task = task_.load();
    if (!slots || !task)
        return;
    RunInWindowThread([&] {
        for (TAVSocket *slot : slots->Snapshot()) {
            if (slot->item) {
                slot->retrieving = slot->HTTP.URL;
                slot->bytes = slot->HTTP.Bytes();
                slot->size = slot->item->size;
                slot->percent = slot->HTTP.Percent();
                slot->status = slot->HTTP.Status();
                if (EndedFetch(*slot))
                    CompleteItem(*slot);
                if (OnCounters)
                    OnCounters(*task);
            }
            slots->ShowRow(*slot);
        }
        task->elapsedTime = TDateTime(TDateTime::Now().Days() - task->runStart.Days());
        int seconds = static_cast<int>(std::lround(task->elapsedTime.Days() * 86400.0));
        if (seconds > 0 && OnSample)
            OnSample(slots->Connections(), seconds, task->totalBytes.load() / 1024.0);
    });
}

void TThreadDownload::DispatchBurst(bool completeEnded)
{
    bool ended = false;
    RunInWindowThread([&] { ended = DispatchInWindow(completeEnded); });
    if (ended)
        Finish(*task_.load());
}

bool TThreadDownload::DispatchInWindow(bool completeEnded)
{
    TSlotList *slots = slots_.load();
    TAVTask *task = task_.load();
    if (!slots || !task)
        return false;
    if (completeEnded)
        CompleteEnded(*slots, *task);
    if (paused_.load())
        return false;
    // Every idle slot gets its item in this one step. Each item is chosen
    // right before its fetch starts: until then its state still offers it
    // for selection.
    std::vector<TAVSocket *> all = slots->Snapshot();
    std::vector<TAVSocket *> idle;
    for (TAVSocket *slot : all)
        if (slot->Idle())
            idle.push_back(slot);
    if (idle.empty())
        return false;
    if (static_cast<int>(all.size()) > slots->Connections()) {
        // One idle surplus slot goes per burst after the number was lowered.
        slots->FreeSlot(idle.front());
        return false;
    }
    bool started = false;
    for (TAVSocket *slot : idle) {
        TAVQItem *item = SelectItem(*task);
        if (!item)
            break;
        slots->StartFetch(*slot, *item);
        started = true;
    }
    // Judged here, where the parser queues a page's links and marks it
    // parsed in one step: out here, a page parsed meanwhile would leave
    // neither a page to parse nor the links it queued in sight.
    return !started && idle.size() == all.size() && !task->items.NextPageToParse();
}

TAVQItem *TThreadDownload::SelectItem(TAVTask &task)
{
    TAVApp *app = TAVApp::Instance();
    int priority = app ? app->Priority() : 5;
    double threshold = std::abs(priority - 10) / 10.0;
    int pages = task.pagesDispatched.load(), others = task.otherFilesDispatched.load();
    bool pagesFirst = pages + others == 0 || double(pages) / (pages + others) <= threshold;
    TAVQItem *item = pagesFirst ? task.items.NextPage() : task.items.NextOtherFile();
    if (item) {
        ++(pagesFirst ? task.pagesDispatched : task.otherFilesDispatched);
        return item;
    }
    item = pagesFirst ? task.items.NextOtherFile() : task.items.NextPage();
    if (item)
        ++(pagesFirst ? task.otherFilesDispatched : task.pagesDispatched);
    return item;
}

void TThreadDownload::WriteState(TAVTask &task, const TItemList::TStateSnapshot &snapshot)
{
    try {
        task.items.WriteState(snapshot);
    } catch (const EFileError &error) {
        const std::string why = error.what();
        RunInWindowThread([&] {
            task.items.MarkChanged();
            if (OnSaveFailed)
                OnSaveFailed(why);
        });
    }
}

void TThreadDownload::Finish(TAVTask &task)
{
    TItemList::TStateSnapshot snapshot;
    RunInWindowThread([&] { snapshot = task.items.StateSnapshot(); });
    WriteState(task, snapshot);
    // Complete only once the state is on disk: the completion timer saves
    // the task file as soon as it sees the status.
    RunInWindowThread([&] {
        task.status = tsComplete;
        try {
            task.Save();
        } catch (const EFileError &error) {
            if (OnSaveFailed)
                OnSaveFailed(error.what());
        }
        if (OnFinished)
            OnFinished(task);
    });
    std::lock_guard lock(mutex_);
    paused_ = true;
}

} // namespace arvelo
