#pragma once

#include "monitor/ReportJob.h"
#include "schedule/TaskTable.h"

#include <QPointer>
#include <QWidget>

#include <memory>
#include <string>
#include <vector>

class QFileSystemModel;
class QListWidget;
class QToolButton;
class QTreeView;

namespace arvelo {

class TAVTask;
class TdlgTaskReport;
class TRunEvents;
class TStyleProxy;
struct TRunEngine;

// The task pane: "Active Tasks" above the category folders, the tasks of
// the one chosen with their status and counters, and the commands Run,
// Stop, Edit, Schedule, Unschedule and Delete on the chosen tasks.
class TFormScheduler : public QWidget {
    Q_OBJECT
public:
    TFormScheduler(TRunEngine &engine, TRunEvents &events, QWidget *parent = nullptr);
    ~TFormScheduler() override;

    // The tasks chosen in the list, the focused one first.
    std::vector<TAVTask *> Selection() const;
    // Lists "Active Tasks", or the category of a folder of the Tasks folder.
    void ShowActiveTasks();
    void ShowCategory(const std::string &category);

    // The commands' states for the chosen tasks (the Task menu shares them).
    TTaskCommandStates States() const;
    // Puts the focused task's start address, or its start page on disk, on the clipboard.
    void CopyStartPage(bool local);

    // "Add a Task": the task of a task file, set up in the editor and kept
    // in its category; Cancel leaves everything as it was.
    void AddTask(const std::string &taskFile);

    // "New Category...": a new folder in the Tasks folder, its name edited
    // in place (a name that cannot be a folder there is refused and reverts).
    void NewCategory();

    void Run();
    // Runs the tasks as Run does: a task that ran before is asked how.
    void RunTasks(const std::vector<TAVTask *> &tasks);
    void Stop();
    void Edit();
    void Schedule();
    void Unschedule();
    void Delete();
    void Explore();
    // The Reports menu on the focused task: a zip-mode task whose archive
    // is gone is offered a run instead.
    void Report(TReportKind kind);
    // "Task Reports": the report window's three reports written and the
    // summary opened. One window at a time: a new one takes the place of
    // one still at work.
    void OpenReportWindow(const TAVTask &task, TReportKind kind = TReportKind::kCreate);

    QListWidget *tvActive;
    QTreeView *tvCategories;
    QTreeView *lvTasks;
    QToolButton *btnTaskRun, *btnTaskStop, *btnTaskBrowse, *btnTaskExplore, *btnTaskEdit, *btnTaskSchedule, *btnTaskDelete;

Q_SIGNALS:
    // A task was run from the pane: the schedule is checked at once.
    void RunRequested();
    // Explore: the task becomes the current one, on the explore page.
    void ExploreRequested(TAVTask *task);
    // Browse (the button, a double click): the task's copy in the default browser.
    void BrowseRequested(TAVTask *task);
    // A right click in the list: the task pop-up at that point of the screen.
    void PopupRequested(const QPoint &at);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    // The task whose state icon is under a point of the list, if any.
    TAVTask *IconAt(const QPoint &point) const;
    void UpdateCommands();
    void Relist();
    // A task whose files are gone or replaced: the main window lets go of it
    // and its object is freed.
    void Forget(TAVTask &task);
    // Saves a changed task; false, with the reason shown, when it cannot.
    bool Save(TAVTask &task);

    TRunEngine &engine_;
    TTaskTableModel *tasks_;
    TStyleProxy *styled_;
    QFileSystemModel *folders_;
    std::string category_; // empty: "Active Tasks"
    // The report window's work and that of the error report or the list of
    // pages, each on a thread of its own that lasts as long as the pane.
    TWorkerThread reportThread_, listThread_;
    QPointer<TdlgTaskReport> reportWindow_;
    std::unique_ptr<TReportJob> listJob_;
};

} // namespace arvelo
