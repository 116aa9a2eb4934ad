#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace arvelo {

class TAVTask;

// Owns the task objects the program has loaded: the tasks of the active
// list, and every task created or opened since. The window that lists them
// observes it.
class TTaskManager {
public:
    TTaskManager();
    ~TTaskManager();
    TTaskManager(const TTaskManager &) = delete;
    TTaskManager &operator=(const TTaskManager &) = delete;

    // Loads every task of the active list. A run that was under way when
    // the program ended becomes "Incomplete"; a task file that cannot be read
    // leaves the list.
    void LoadActiveTasks();
    // Takes a new task: sets its save event, saves it (which lists it as
    // active when it is scheduled) and lists it.
    TAVTask *Add(std::unique_ptr<TAVTask> task);
    // The loaded task of a task file, loading it when needed; nullptr with
    // the reason shown when the file cannot be read.
    TAVTask *Open(const std::string &taskFile);
    TAVTask *Find(const std::string &taskFile) const;
    // A task read from its file and not kept; nullptr with the reason shown
    // when the file cannot be read.
    static std::unique_ptr<TAVTask> Read(const std::string &taskFile);
    // The tasks of a category folder in name order, loaded when needed; one
    // read now whose run stopped or finished without being zipped (status 3
    // or 5) is "Incomplete" and saved so.
    std::vector<TAVTask *> ListCategory(const std::string &folder);
    // Frees a task object after its row is gone (OnTaskRemoved first); a
    // task that runs or finishes (status 2 or 5) is in use and stays.
    bool Remove(TAVTask *task);
    // Moves a task's state file and task file to the desktop trash (asking
    // confirm where there is no trash) and takes it off the active list.
    // False, with nothing lost, when a file was kept.
    static bool TrashTaskFiles(TAVTask &task, const std::function<bool(const std::string &)> &confirm);
    const std::vector<std::unique_ptr<TAVTask>> &Tasks() const { return tasks_; }

    // Called after a task was saved, and after one was added.
    std::function<void(TAVTask &)> OnTaskSaved;
    std::function<void(TAVTask &)> OnTaskAdded;
    // Called before a task object is freed.
    std::function<void(TAVTask &)> OnTaskRemoved;

private:
    TAVTask *Keep(std::unique_ptr<TAVTask> task);

    std::vector<std::unique_ptr<TAVTask>> tasks_;
};

} // namespace arvelo
