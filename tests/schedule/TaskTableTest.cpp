#include "core/App.h"
#include "crawl/Engine.h"
#include "crawl/RunEvents.h"
#include "model/ActiveTaskList.h"
#include "model/Task.h"
#include "schedule/TaskManager.h"
#include "schedule/TaskTable.h"
#include "support/TestHome.h"

#include <gtest/gtest.h>

#include <QCoreApplication>

#include <cstdlib>

namespace arvelo {
namespace {

TEST(TaskRows, EachStatusHasItsTextIconToneAndCommands)
{
    struct Case {
        int32_t status;
        std::string text;
        TTaskIcon icon;
        TTaskTone tone;
        bool run, unschedule, stop;
    } cases[] = {
        {tsUnscheduled, "Unscheduled", tiRun, ttWaiting, true, false, false},
        {tsScheduled, "Scheduled", tiScheduled, ttWaiting, false, true, false},
        {tsDownloading, "Downloading...", tiStop, ttRunning, false, false, true},
        {tsStopped, "Download Stopped", tiRun, ttWaiting, true, false, false},
        {tsIncomplete, "Incomplete", tiRun, ttWaiting, true, false, false},
        {tsComplete, "Download Complete", tiRun, ttFinished, false, false, false},
        {tsZipped, "Zipped!", tiRun, ttFinished, true, false, false},
        {tsTaskComplete, "Task Complete", tiRun, ttFinished, true, false, false},
        {42, "Unknown", tiRun, ttFinished, false, false, false},
    };
    for (const Case &c : cases) {
        TAVTask task;
        task.status = c.status;
        EXPECT_EQ(TAVTask::StatusText(c.status), c.text);
        EXPECT_EQ(TaskIcon(task), c.icon) << c.text;
        EXPECT_EQ(TaskTone(task), c.tone) << c.text;
        TTaskCommandStates states = TaskCommandStates({&task}, false);
        EXPECT_EQ(states.run, c.run) << c.text;
        EXPECT_EQ(states.edit, c.run) << c.text;
        EXPECT_EQ(states.del, c.run) << c.text;
        EXPECT_EQ(states.schedule, c.run) << c.text;
        EXPECT_EQ(states.unschedule, c.unschedule) << c.text;
        EXPECT_EQ(states.stop, c.stop) << c.text;
        EXPECT_TRUE(states.browse && states.reports && states.copyURL && states.explore) << c.text;
        // A command never acts on a task that runs or finishes; Stop only on one that runs.
        bool busy = c.status == tsDownloading || c.status == tsComplete;
        EXPECT_EQ(CommandAppliesTo(TTaskCommand::kDelete, task), !busy) << c.text;
        EXPECT_EQ(CommandAppliesTo(TTaskCommand::kRun, task), !busy) << c.text;
        EXPECT_EQ(CommandAppliesTo(TTaskCommand::kStop, task), c.status == tsDownloading) << c.text;
    }
    TTaskCommandStates none = TaskCommandStates({}, false);
    EXPECT_FALSE(none.run || none.browse || none.copyURL || none.explore);
    TAVTask zip;
    zip.intranetMode = false;
    EXPECT_FALSE(TaskCommandStates({&zip}, false).copyLocal) << "a zip-mode task has no local start page";
    EXPECT_FALSE(TaskCommandStates({&zip}, true).explore) << "Explore is off while a task runs";
}

TEST(TaskRows, TheHintCountsEveryHourOfALongRun)
{
    EXPECT_EQ(ElapsedText(TDateTime(0)), "0 Min 0 Sec");
    EXPECT_EQ(ElapsedText(TDateTime(125.0 / 86400)), "2 Min 5 Sec");
    EXPECT_EQ(ElapsedText(TDateTime((3600.0 + 62) / 86400)), "1 Hrs 1 Min 2 Sec");
    EXPECT_EQ(ElapsedText(TDateTime(1 + 2.0 / 24)), "26 Hrs 0 Min 0 Sec");

    TAVTask task;
    task.taskName = "docs";
    task.url = "http://www.site.example/";
    task.destination = "/home/u/My Intranet/";
    EXPECT_EQ(TaskHint(task), "Task Name: docs\nURL: http://www.site.example/\nDestination: /home/u/My Intranet/");
    task.elapsedTime = TDateTime(65.0 / 86400);
    task.pagesSaved = 10;
    task.pageErrors = 1;
    task.resourcesSaved = 5;
    EXPECT_EQ(TaskHint(task), "Task Name: docs\nURL: http://www.site.example/\nDestination: /home/u/My Intranet/"
                              "\n\n\nElapsed Time: 1 Min 5 Sec\n\nPages:\n    9 downloaded\n    1 not found\n\n"
                              "Resources:\n    5 downloaded\n    0 not found");
}

class TaskTable : public test::TestHome {
protected:
    void SetUp() override
    {
        TestHome::SetUp();
        app = std::make_unique<TAVApp>();
        engine = std::make_unique<TRunEngine>();
        events = std::make_unique<TRunEvents>(*engine);
    }
    void TearDown() override
    {
        events.reset();
        engine.reset();
        app.reset();
        TestHome::TearDown();
    }

    std::unique_ptr<TAVApp> app;
    std::unique_ptr<TRunEngine> engine;
    std::unique_ptr<TRunEvents> events;
};

TEST_F(TaskTable, RowsShowTheColumnsAndASaveRefreshesOnlyItsRow)
{
    std::vector<TAVTask *> tasks;
    for (const char *name : {"alpha", "beta"}) {
        auto task = std::make_unique<TAVTask>();
        task->taskName = name;
        task->taskFile = app->TasksFolder() + "General/" + name + ".avt";
        task->url = std::string("http://") + name + ".example/";
        task->pagesSaved = 3;
        task->totalPages = 7;
        task->pageErrors = 1;
        task->resourceErrors = 2;
        task->profile.profileName = "Custom";
        tasks.push_back(engine->tasks.Add(std::move(task)));
    }
    TTaskTableModel model(*events);
    model.SetTasks(tasks);
    ASSERT_EQ(model.rowCount(), 2);
    ASSERT_EQ(model.columnCount(), 12);
    auto text = [&](int row, int column) { return model.index(row, column).data().toString().toStdString(); };
    EXPECT_EQ(model.headerData(TTaskTableModel::colMethod, Qt::Horizontal).toString(), QStringLiteral("Download Method"));
    EXPECT_EQ(text(1, TTaskTableModel::colName), "beta");
    EXPECT_EQ(text(1, TTaskTableModel::colStatus), "Unscheduled");
    EXPECT_EQ(text(1, TTaskTableModel::colPages), "3/7");
    EXPECT_EQ(text(1, TTaskTableModel::colErrors), "3");
    EXPECT_EQ(text(1, TTaskTableModel::colNextRun), "");
    EXPECT_EQ(text(1, TTaskTableModel::colMethod), "Custom");
    EXPECT_EQ(model.index(1, 0).data(TTaskTableModel::kToneRole).toInt(), ttWaiting);

    std::vector<int> changed;
    QObject::connect(&model, &QAbstractItemModel::dataChanged,
                     [&](const QModelIndex &first, const QModelIndex &last) {
                         EXPECT_EQ(first.row(), last.row());
                         changed.push_back(first.row());
                     });
    tasks[1]->status = tsScheduled;
    tasks[1]->schedule = "Now";
    tasks[1]->Save();
    QCoreApplication::processEvents();
    EXPECT_EQ(changed, std::vector<int>{1});
    EXPECT_EQ(text(1, TTaskTableModel::colStatus), "Scheduled");
    EXPECT_EQ(model.index(1, 0).data(TTaskTableModel::kIconRole).toInt(), tiScheduled);

    model.Remove(tasks[0]);
    EXPECT_EQ(model.rowCount(), 1);
    EXPECT_EQ(model.RowOf(tasks[1]), 0);
}

TEST_F(TaskTable, ACategoryListsInNameOrderAndUnfinishedRunsBecomeIncomplete)
{
    auto write = [&](const std::string &name, int32_t status) {
        TAVTask task;
        task.taskName = name;
        task.taskFile = app->TasksFolder() + "Work/" + name + ".avt";
        task.status = status;
        task.Save();
    };
    write("zeta", tsComplete);
    write("alpha", tsStopped);
    write("mid", tsTaskComplete);
    std::vector<TAVTask *> listed = engine->tasks.ListCategory(app->TasksFolder() + "Work");
    ASSERT_EQ(listed.size(), 3u);
    EXPECT_EQ(listed[0]->taskName, "alpha");
    EXPECT_EQ(listed[2]->taskName, "zeta");
    EXPECT_EQ(listed[0]->status.load(), tsIncomplete);
    EXPECT_EQ(listed[1]->status.load(), tsTaskComplete);
    EXPECT_EQ(listed[2]->status.load(), tsIncomplete);
    TAVTask reread;
    reread.taskFile = listed[2]->taskFile;
    reread.Load();
    EXPECT_EQ(reread.status.load(), tsIncomplete) << "saved so";
    // Listed again: the same objects.
    EXPECT_EQ(engine->tasks.ListCategory(app->TasksFolder() + "Work"), listed);
}

TEST_F(TaskTable, DeletedTasksGoToTheTrashAndARunningOneStays)
{
    auto task = std::make_unique<TAVTask>();
    task->taskName = "docs";
    task->taskFile = app->TasksFolder() + "General/docs.avt";
    task->status = tsScheduled;
    task->schedule = "Now";
    TAVTask *docs = engine->tasks.Add(std::move(task));
    WriteFile("Tasks/General/docs.dwn", "state");
    ASSERT_TRUE(app->ActiveTasks().Contains(docs->taskFile));
    TTaskTableModel model(*events);
    model.SetTasks({docs});

    docs->status = tsDownloading;
    EXPECT_FALSE(engine->tasks.Remove(docs)) << "the run uses it";
    docs->status = tsScheduled;

    ASSERT_TRUE(TTaskManager::TrashTaskFiles(*docs, nullptr));
    const std::string trash = std::getenv("XDG_DATA_HOME") + std::string("/Trash/");
    EXPECT_EQ(test::FilesUnder(trash + "files"), (std::vector<std::string>{"docs.avt", "docs.dwn"}));
    EXPECT_EQ(test::FilesUnder(trash + "info"),
              (std::vector<std::string>{"docs.avt.trashinfo", "docs.dwn.trashinfo"}));
    EXPECT_FALSE(app->ActiveTasks().Contains(Path("Tasks/General/docs.avt")));
    EXPECT_TRUE(engine->tasks.Remove(docs));
    EXPECT_EQ(model.rowCount(), 0) << "the row went before the task";
    EXPECT_TRUE(engine->tasks.Tasks().empty());
}

} // namespace
} // namespace arvelo
