#include "schedule/TaskManager.h"

#include "core/App.h"
#include "core/FileUtils.h"
#include "core/Notifier.h"
#include "core/TextUtils.h"
#include "core/Trash.h"
#include "model/ActiveTaskList.h"
#include "model/RunLock.h"
#include "model/Task.h"
#include "schedule/Schedule.h"

#include <algorithm>

namespace arvelo {

TTaskManager::TTaskManager() = default;

TTaskManager::~TTaskManager() = default;

TAVTask *TTaskManager::Keep(std::unique_ptr<TAVTask> task)
{
    task->OnSave = [this](TAVTask &saved) {
        if (OnTaskSaved)
            OnTaskSaved(saved);
    };
    tasks_.push_back(std::move(task));
    return tasks_.back().get();
}

TAVTask *TTaskManager::Find(const std::string &taskFile) const
{
    for (const auto &task : tasks_)
        if (SameText(task->taskFile, taskFile))
            return task.get();
    return nullptr;
}

std::unique_ptr<TAVTask> TTaskManager::Read(const std::string &taskFile)
{
    if (!FileExists(taskFile)) {
        Notifier().Error("Task file not found: " + taskFile);
        return nullptr;
    }
    auto task = std::make_unique<TAVTask>();
    task->taskFile = taskFile;
    try {
        task->Load();
    } catch (const std::exception &error) {
        Notifier().Error("Unable to read task file " + taskFile + ": " + error.what());
        return nullptr;
    }
    return task;
}

TAVTask *TTaskManager::Open(const std::string &taskFile)
{
    if (TAVTask *known = Find(taskFile))
        return known;
    std::unique_ptr<TAVTask> task = Read(taskFile);
    if (!task)
        return nullptr;
    task->category = ExtractFileName(ExcludeTrailingSlash(ExtractFilePath(taskFile)));
    if (TAVApp *app = TAVApp::Instance(); app && app->ActiveTasks().Contains(taskFile))
        app->ActiveTasks().Attach(taskFile, task.get());
    return Keep(std::move(task));
}

std::vector<TAVTask *> TTaskManager::ListCategory(const std::string &folder)
{
    std::vector<TAVTask *> listed;
    StringList files = FolderFiles(IncludeTrailingSlash(folder), "*.avt");
    std::sort(files.begin(), files.end());
    for (const std::string &name : files) {
        const std::string path = IncludeTrailingSlash(folder) + name;
        const bool known = Find(path) != nullptr;
        TAVTask *task = Open(path);
        if (!task)
            continue;
        if (!known && (task->status == tsStopped || task->status == tsComplete) && !TRunLock::HeldElsewhere(path)) {
            task->status = tsIncomplete;
            try {
                task->Save();
            } catch (const EFileError &error) {
                Notifier().Error(error.what());
            }
        }
        listed.push_back(task);
    }
    return listed;
}

bool TTaskManager::Remove(TAVTask *task)
{
    auto found = std::find_if(tasks_.begin(), tasks_.end(), [&](const auto &kept) { return kept.get() == task; });
    if (found == tasks_.end() || task->status == tsDownloading || task->status == tsComplete)
        return false;
    if (OnTaskRemoved)
        OnTaskRemoved(*task);
    if (TAVApp *app = TAVApp::Instance())
        app->ActiveTasks().Detach(task);
    tasks_.erase(found);
    return true;
}

bool TTaskManager::TrashTaskFiles(TAVTask &task, const std::function<bool(const std::string &)> &confirm)
{
    for (const std::string &file : {task.StateFile(), task.taskFile}) {
        TTrashResult result = MoveToTrash(file, confirm);
        if (result == TTrashResult::kFailed)
            Notifier().Error("Unable to delete file: " + file);
        if (result == TTrashResult::kKept || result == TTrashResult::kFailed)
            return false;
    }
    if (TAVApp *app = TAVApp::Instance(); app && app->ActiveTasks().Remove(task.taskFile))
        app->ActiveTasks().Save();
    return true;
}

TAVTask *TTaskManager::Add(std::unique_ptr<TAVTask> task)
{
    TAVTask *added = Keep(std::move(task));
    added->Save();
    if (OnTaskAdded)
        OnTaskAdded(*added);
    return added;
}

void TTaskManager::LoadActiveTasks()
{
    TAVApp *app = TAVApp::Instance();
    if (!app)
        return;
    TActiveTaskList &list = app->ActiveTasks();
    list.Load();
    std::vector<std::string> paths;
    for (const auto &entry : list.Entries())
        paths.push_back(entry.path);
    bool dropped = false;
    for (const std::string &path : paths) {
        TAVTask *task = Find(path);
        if (!task && FileExists(path))
            task = Open(path);
        if (!task) {
            dropped |= list.Remove(path);
            continue;
        }
        // A run of another program (the command line) is no run cut short.
        if (!TRunLock::HeldElsewhere(path) && SettleAfterRestart(*task)) {
            try {
                task->Save();
            } catch (const EFileError &error) {
                Notifier().Error(error.what());
            }
        }
    }
    if (dropped)
        list.Save();
}

} // namespace arvelo
