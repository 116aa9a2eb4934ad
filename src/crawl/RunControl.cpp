#include "crawl/RunControl.h"

#include "core/App.h"
#include "core/FileUtils.h"
#include "core/Notifier.h"
#include "core/WindowThread.h"
#include "crawl/Dispatcher.h"
#include "crawl/LocalNames.h"
#include "crawl/Slots.h"
#include "crawl/StyleSheet.h"
#include "net/NameLookup.h"
#include "crawl/Robots.h"
#include "crawl/ThreadParse.h"
#include "crawl/URL.h"
#include "model/ActiveTaskList.h"
#include "model/DownloadItem.h"
#include "model/Task.h"
#include "schedule/Schedule.h"
#include "schedule/TaskManager.h"

namespace arvelo {

TRunControl::TRunControl(TTaskManager &tasks, TSlotList &slots, TThreadDownload &dispatcher, TThreadParse &parser)
    : tasks_(tasks), slots_(slots), dispatcher_(dispatcher), parser_(parser)
{
    zipTimer_.setInterval(1000);
    QObject::connect(&zipTimer_, &QTimer::timeout, [this] { ZipTimer(); });
    slots_.OnFetchEnded = [this] { dispatcher_.Serve(); };
    parser_.OnItemsChanged = [this] { dispatcher_.Serve(); };
    // The completion is seen at once rather than at the next tick.
    dispatcher_.OnFinished = [this](TAVTask &) { QTimer::singleShot(0, &zipTimer_, [this] { ZipTimer(); }); };
    dispatcher_.OnCounters = [this](TAVTask &task) {
        if (OnCounters)
            OnCounters(task);
    };
    dispatcher_.OnItemCompleted = [this](TAVSocket &, TAVQItem &item) {
        if (!item.task->destinationFailure.empty())
            // Ended at once, out of the dispatcher's step.
            QTimer::singleShot(0, &zipTimer_, [this] { ZipTimer(); });
        if (item.State() != isSaved)
            return;
        if (item.IsPage() || item.IsStyleSheet())
            parser_.Wake(); // it joins the archive once it is rewritten
        else if (!item.task->intranetMode)
            item.task->zipQueue.Append(item.localFile, &item);
    };
    dispatcher_.OnSaveFailed = [this](const std::string &why) { ShowStatus(why); };
    // A finished archive update is followed up at once, not at the next tick.
    archive_.OnUpdateDone = [this, alive = std::weak_ptr<bool>(alive_)] {
        PostToWindowThread([this, alive] {
            if (!alive.lock())
                return;
            if (running_ && OnArchiveUpdated)
                OnArchiveUpdated(*running_);
            ZipTimer();
        });
    };
    parser_.OnStatus = [this](const std::string &text) { ShowStatus(text); };
}

TRunControl::~TRunControl()
{
    if (running_)
        StopTask(*running_);
    slots_.OnFetchEnded = nullptr;
    dispatcher_.OnCounters = nullptr;
    dispatcher_.OnItemCompleted = nullptr;
    dispatcher_.OnSaveFailed = nullptr;
    dispatcher_.OnFinished = nullptr;
    parser_.OnStatus = nullptr;
    parser_.OnItemsChanged = nullptr;
    Bind(nullptr);
}

TAVTask *TRunControl::CurrentTask() const
{
    TAVApp *app = TAVApp::Instance();
    return app ? app->CurrentTask() : nullptr;
}

void TRunControl::ShowStatus(const std::string &text)
{
    if (OnStatus)
        OnStatus(text, 0, 0);
}

bool TRunControl::ValidateURL(std::string &address)
{
    if (NormalizeURL(address))
        return true;
    Notifier().Error("Invalid URL.");
    return false;
}

std::unique_ptr<TAVTask> TRunControl::CreateTask(const std::string &given, bool map, bool intranet,
                                                 const std::string &targetArchive)
{
    TAVApp &app = *TAVApp::Instance();
    std::string folder = app.TasksFolder() + app.LastCategory() + "/";
    auto task = std::make_unique<TAVTask>();
    // The site's user name and password go with the task, never into its address, name or files.
    std::string address = given;
    SplitCredentials(address, task->userName, task->password);
    task->taskName = TAVTask::DefaultTaskName(folder, address);
    task->taskFile = folder + task->taskName + ".avt";
    task->category = app.LastCategory();
    task->url = address;
    task->intranetMode = intranet;
    if (map)
        task->runMode = rmMap;
    task->profile = ProfileByName(app.ProfilesFolder(), kCustomProfile);
    task->destination = intranet ? app.LocalIntranetFolder()
                        : !targetArchive.empty() ? targetArchive
                                                 : UniqueFileName(app.DownloadsFolder() + task->taskName + ".zip");
    // The archive the user chose keeps its name.
    if (!intranet && !targetArchive.empty())
        task->profile.useStartPageTitle = false;
    return task;
}

TAVTask *TRunControl::NewTask(std::string address, const std::string &profileName, bool map, bool intranet,
                              const std::string &targetArchive)
{
    bool named = !profileName.empty() && profileName != kCustomProfile;
    if (named && !ValidateURL(address))
        return nullptr;
    std::unique_ptr<TAVTask> task = CreateTask(address, map, intranet, targetArchive);
    if (named) {
        task->profile = ProfileByName(TAVApp::Instance()->ProfilesFolder(), profileName);
        if (!intranet && !targetArchive.empty())
            task->profile.useStartPageTitle = false;
        ScheduleNow(*task);
    } else if (!OnEditNewTask || !OnEditNewTask(*task)) {
        return nullptr;
    }
    return tasks_.Add(std::move(task));
}

void TRunControl::Bind(TAVTask *task)
{
    if (TAVTask *current = CurrentTask(); current && current != task) {
        current->OnChange = nullptr;
        current->OnItemChanged = nullptr;
    }
    if (!task)
        return;
    task->OnChange = [this, task](const std::string &text, int position, int total) {
        if (!text.empty()) {
            if (OnStatus)
                OnStatus(text, position, total);
        } else if (OnCounters) {
            OnCounters(*task);
        }
    };
    task->OnItemChanged = [this](TAVQItem &item) {
        if (OnItemChanged)
            OnItemChanged(item);
    };
}

void TRunControl::SelectTask(TAVTask *task)
{
    TAVTask *current = CurrentTask();
    if (task == current)
        return;
    if (current)
        current->ClearItems();
    Bind(task);
    TAVApp::Instance()->SetCurrentTask(task);
    if (task)
        task->items.OpenItems();
    if (OnCurrentTaskChanged)
        OnCurrentTaskChanged(task);
}

void TRunControl::CheckRecoveredState(TAVTask &task)
{
    std::string damage = task.items.Damage();
    // A run that ended by a stop or at its end left counters that match its
    // items; one that was killed did not save them.
    const int32_t status = task.status;
    const bool endedCleanly = status == tsStopped || status == tsTaskComplete || status == tsZipped;
    if (damage.empty() && endedCleanly && !task.items.CountersAgree())
        damage = "its items disagree with the task's counters";
    task.items.Recount();
    if (damage.empty())
        return;
    Notifier().Error("The download state of \"" + task.taskName + "\" is damaged (" + damage + "): " +
                     std::to_string(task.items.ItemCount()) +
                     " items were recovered, and every page is fetched and read again so that no part of the "
                     "site is skipped.");
    task.items.PrepareRediscovery();
}

void TRunControl::ResumeTiming(TAVTask &task)
{
    TDateTime now = TDateTime::Now();
    task.lastRun = now;
    task.runStart = TDateTime(now.Days() - task.elapsedTime.Days());
    task.pagesDispatched = 0;
    task.otherFilesDispatched = 0;
}

void TRunControl::BeginNewRun(TAVTask &task)
{
    TDateTime now = TDateTime::Now();
    task.lastRun = now;
    task.runStart = now;
    task.elapsedTime = TDateTime();
    task.pagesDispatched = 0;
    task.otherFilesDispatched = 0;
    auto item = std::make_unique<TAVQItem>(&task);
    item->Text().URL = task.url;
    item->baseAddress = URLDirectory(task.url);
    item->SetGroup(GroupOfURL(task.url));
    item->SetStyleSheet(IsStyleSheetURL(task.url));
    item->level = 0;
    if (task.runMode == rmMap) {
        item->SetMark(imMap);
        task.runMode = rmRestart;
    } else {
        item->SetMark(imDownload);
    }
    task.items.AddItem(std::move(item));
}

void TRunControl::StartTask(TAVTask &task)
{
    if (running_ || halting_)
        return;
    if (!task.taskFile.empty() && !runLock_.Acquire(task.taskFile)) {
        Notifier().Error("\"" + task.taskName + "\": " + runLock_.Error());
        return;
    }
    bool resume = task.runMode == rmResume || task.runMode == rmRenovix || task.runMode == rmSalvix;
    const bool resumedInPlace = &task == CurrentTask() && resume;
    if (resumedInPlace) {
        ShowStatus("Resuming Task...");
        ResumeTiming(task);
    } else {
        TAVTask *current = CurrentTask();
        if (current && current != &task)
            current->ClearItems();
        Bind(&task);
        TAVApp::Instance()->SetCurrentTask(&task);
        if (current != &task && OnCurrentTaskChanged)
            OnCurrentTaskChanged(&task);
        if (resume) {
            ShowStatus("Resuming Task...");
            task.items.OpenItems();
            CheckRecoveredState(task);
            ResumeTiming(task);
        } else {
            ShowStatus("Starting Task...");
            task.Reset();
            BeginNewRun(task);
        }
    }
    // A resume with no item list to resume (it was never saved) would end
    // at once as complete: the run starts afresh instead.
    if (resume && task.items.ItemCount() == 0)
        BeginNewRun(task);
    if (task.runMode == rmSalvix)
        task.items.PrepareRecovery();
    else if (task.runMode == rmResume)
        task.items.PrepareResume();
    else if (task.runMode == rmRenovix)
        task.items.PrepareUpdate();
    if (!task.intranetMode) {
        // During the run its files lie in the Temp folder.
        extracted_.Mark(task.destination);
        archive_.Reset();
        // What a run that ended before it was added still waits for.
        if (resume)
            archive_.Requeue(task);
    }
    task.status = tsDownloading;
    task.destinationFailure.clear();
    running_ = &task;
    try {
        task.Save();
    } catch (const EFileError &error) {
        // The run goes on; the file is written again at its end.
        Notifier().Error(error.what());
    }
    // Names are looked up afresh for each run, then once per host; so are
    // the servers' robots.txt files.
    TNameLookup::ForgetAll();
    task.robots = task.profile.obeyRobots ? std::make_shared<TRobotsCache>(task.UserAgentInUse()) : nullptr;
    slots_.running = true;
    zipTimer_.start();
    if (OnRunStarted)
        OnRunStarted(task, resumedInPlace);
    dispatcher_.Start(task, slots_);
    parser_.Start(&task);
}

void TRunControl::HaltTask(TAVTask &task)
{
    halting_ = true;
    dispatcher_.Pause();
    parser_.Pause();
    zipTimer_.stop();
    // Both threads leave their step; they may need the window thread for it.
    dispatcher_.WaitParked();
    PumpEventsUntil([this] { return parser_.Idle(); });
    slots_.StopAllSlots();
    task.items.ResetInProgress();
    // Fetches the stop cut off may have left their outcome on an item
    // without the dispatcher counting it: the counters are the items' own.
    task.items.Recount();
    slots_.running = false;
    // The archive takes every file saved so far.
    if (!task.intranetMode)
        archive_.Flush(task);
    // Saved here as well, so that what the stop reset is what a later resume reads.
    if (task.items.Changed()) {
        try {
            task.items.SaveState();
        } catch (const EFileError &error) {
            Notifier().Error(error.what());
        }
    }
    running_ = nullptr;
    halting_ = false;
    runLock_.Release();
    try {
        AdvanceSchedule(task, TDateTime::Now());
    } catch (const EFileError &error) {
        Notifier().Error(error.what());
    }
}

void TRunControl::StopTask(TAVTask &task)
{
    // Only the run under way, once: a halt keeps events running, in which
    // a second stop (a click, the close question) or the run's own end may come.
    if (halting_ || running_ != &task)
        return;
    if (OnStatus)
        OnStatus("Stopping Task...", 0, 0);
    HaltTask(task);
    EndHaltedRun(task, tsStopped);
}

void TRunControl::EndHaltedRun(TAVTask &task, int32_t status)
{
    task.status = status;
    try {
        task.Save();
    } catch (const EFileError &error) {
        Notifier().Error(error.what());
    }
    ShowStatus("Ready");
    if (OnRunEnded)
        OnRunEnded(task);
}

void TRunControl::RenameArchive(TAVTask &task)
{
    if (task.intranetMode || !task.profile.useStartPageTitle || Trim(task.startPageTitle).empty() ||
        !FileExists(task.destination))
        return;
    std::string name = task.startPageTitle;
    for (char &c : name)
        if (std::string_view("\\/:*?\"<>|").find(c) != std::string_view::npos || static_cast<unsigned char>(c) < 32)
            c = ' ';
    std::string folder = ExtractFilePath(task.destination);
    std::string target = folder + name + ".zip";
    if (SameText(target, task.destination))
        return;
    target = UniqueFileName(target);
    if (!RenameNoReplace(task.destination, target)) {
        Notifier().Error("Unable to rename the archive to: " + target);
        return;
    }
    extracted_.Forget(task.destination);
    extracted_.Mark(target);
    task.destination = target;
    try {
        task.Save();
    } catch (const EFileError &error) {
        Notifier().Error(error.what());
    }
}

void TRunControl::FinishTask(TAVTask &task)
{
    HaltTask(task);
    RenameArchive(task);
    TAVApp *app = TAVApp::Instance();
    if (app && app->BeepOnCompletion())
        Notifier().Beep();
    if (OnRunEnded)
        OnRunEnded(task);
}

void TRunControl::FailTask(TAVTask &task, std::string why)
{
    if (halting_ || running_ != &task)
        return;
    Notifier().Error(why);
    HaltTask(task);
    // The fetches the halt ended may have failed for the same reason.
    task.destinationFailure.clear();
    // Incomplete: a resume fetches what is missing once the cause is mended.
    EndHaltedRun(task, tsIncomplete);
}

std::string TRunControl::StartPageFailure(TAVTask &task)
{
    TAVQItem *start = task.items.ItemCount() ? task.items.Item(0) : nullptr;
    if (!start || start->State() != isError)
        return {};
    start->LoadFields();
    std::string why = "The start page could not be saved: " + start->LoadedText().result;
    start->ReleaseFields();
    return why;
}

void TRunControl::ZipTimer()
{
    TAVTask *task = running_;
    if (!task || halting_)
        return;
    if (!task->destinationFailure.empty()) {
        FailTask(*task, task->destinationFailure);
        return;
    }
    bool complete = task->status == tsComplete;
    if (complete) {
        // A copy without its start page is no copy, whatever else it holds.
        if (std::string why = StartPageFailure(*task); !why.empty()) {
            FailTask(*task, why);
            return;
        }
    }
    // With "Zip Last" the files wait until the download has finished.
    bool zipped = !task->intranetMode && (complete || !task->zipLast) && archive_.Tick(*task, complete);
    if (!complete)
        return;
    if (task->intranetMode)
        task->status = tsTaskComplete;
    else if (zipped)
        task->status = tsZipped;
    else
        return;
    try {
        task->Save();
    } catch (const EFileError &error) {
        Notifier().Error(error.what());
    }
    FinishTask(*task);
}

void TRunControl::CheckSchedules()
{
    if (running_ || halting_)
        return;
    TAVApp *app = TAVApp::Instance();
    std::vector<std::string> paths;
    for (const auto &entry : app->ActiveTasks().Entries())
        paths.push_back(entry.path);
    TDateTime now = TDateTime::Now();
    for (const std::string &path : paths) {
        TAVTask *task = tasks_.Find(path);
        if (!task && FileExists(path))
            task = tasks_.Open(path);
        if (task && IsDue(*task, now)) {
            StartTask(*task);
            return;
        }
    }
}

} // namespace arvelo
