#pragma once

#include "archive/Browsing.h"
#include "archive/TaskArchive.h"
#include "archive/ZipArchive.h"
#include "model/RunLock.h"

#include <QTimer>

#include <functional>
#include <memory>
#include <string>

namespace arvelo {

class TAVQItem;
class TAVTask;
class TSlotList;
class TTaskManager;
class TThreadDownload;
class TThreadParse;

// Turns a task into a running download and back: creates tasks from an
// address, makes one the current task, starts a run in one of the five run
// modes, stops it, and finishes it once the dispatcher has nothing left.
// Only one task runs at a time. Everything here runs on the window thread.
class TRunControl {
public:
    TRunControl(TTaskManager &tasks, TSlotList &slots, TThreadDownload &dispatcher, TThreadParse &parser);
    ~TRunControl();
    TRunControl(const TRunControl &) = delete;
    TRunControl &operator=(const TRunControl &) = delete;

    // Normalises the address in place; "Invalid URL." when it is not an http address.
    bool ValidateURL(std::string &address);
    // A new task for an address in the last category, with a unique name,
    // the default rules of "Custom" and the destination of its mode. It is
    // neither saved nor handed to the task manager.
    // A target archive (not in intranet mode) is its destination, kept under
    // its name.
    std::unique_ptr<TAVTask> CreateTask(const std::string &address, bool map, bool intranet,
                                        const std::string &targetArchive = {});
    // The address bar's commands: with a named profile the task is scheduled
    // "Now" at once; with "Custom" (or none) the task editor decides. Returns
    // the task handed to the task manager, or nullptr.
    TAVTask *NewTask(std::string address, const std::string &profileName, bool map, bool intranet,
                     const std::string &targetArchive = {});
    void SelectTask(TAVTask *task);
    void StartTask(TAVTask &task);
    void HaltTask(TAVTask &task);
    void StopTask(TAVTask &task);
    void FinishTask(TAVTask &task);
    // Ends the run as failed (the task "Incomplete") with one message.
    void FailTask(TAVTask &task, std::string why);

    // The schedule thread's check: starts the first due task when none runs.
    void CheckSchedules();

    TAVTask *RunningTask() const { return running_; }
    TAVTask *CurrentTask() const;

    // Observers. The status line with the position and total of a long
    // operation (0 and 0 for none); the counters; an item added or changed;
    // the end of a run (after a stop or a finish).
    std::function<void(const std::string &text, int position, int total)> OnStatus;
    std::function<void(TAVTask &)> OnCounters;
    std::function<void(TAVQItem &)> OnItemChanged;
    std::function<void(TAVTask &)> OnRunEnded;
    // A run has started; resumedInPlace when the current task went on where
    // it stopped, so that what shows its last run (graph, counters) is kept.
    std::function<void(TAVTask &, bool resumedInPlace)> OnRunStarted;
    // Another task (or none) has become the current task.
    std::function<void(TAVTask *)> OnCurrentTaskChanged;
    // An update of the running task's archive has landed.
    std::function<void(TAVTask &)> OnArchiveUpdated;
    // The task editor for a new task with the profile "Custom", titled
    // "Create New Task"; true for OK. Without it such tasks are discarded.
    std::function<bool(TAVTask &)> OnEditNewTask;

    // The one zip component, for every archive operation of the program.
    TZipArchive &Zip() { return zip_; }
    // The archives whose files lie in the Temp folder already.
    TExtractedArchives &Extracted() { return extracted_; }

private:
    void Bind(TAVTask *task);
    void ShowStatus(const std::string &text);
    void ResumeTiming(TAVTask &task);
    // After a halt: the task's final status saved, and the end told.
    void EndHaltedRun(TAVTask &task, int32_t status);
    // After reading a task's state file for a resume: counters that say what
    // its items say, and a damaged state file told and made up for.
    void CheckRecoveredState(TAVTask &task);
    void BeginNewRun(TAVTask &task);
    void ZipTimer();
    // Why the run's start page is not in the copy, or empty when it is.
    static std::string StartPageFailure(TAVTask &task);
    // The archive's name from the start page title, when the profile asks for it.
    void RenameArchive(TAVTask &task);

    TTaskManager &tasks_;
    TSlotList &slots_;
    TThreadDownload &dispatcher_;
    TThreadParse &parser_;
    TAVTask *running_ = nullptr;
    bool halting_ = false;
    // Held by the task under way, so that no other program runs it meanwhile.
    TRunLock runLock_;
    QTimer zipTimer_;
    TZipArchive zip_;
    TTaskArchive archive_;
    // Lets calls posted to the window thread know that this object is gone.
    std::shared_ptr<bool> alive_ = std::make_shared<bool>(true);
    TExtractedArchives extracted_;
};

} // namespace arvelo
