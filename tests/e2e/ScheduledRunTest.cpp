#include "e2e/CrawlFixture.h"

#include "model/ActiveTaskList.h"
#include "schedule/Schedule.h"
#include "schedule/ThreadSchedule.h"
#include "support/ScriptedServer.h"

#include <gtest/gtest.h>

namespace arvelo::test {
namespace {

class ScheduledRun : public CrawlFixture {
protected:
    TAVTask *Scheduled(const std::string &path, const std::string &schedule, TDateTime nextRun)
    {
        std::unique_ptr<TAVTask> task = engine->run.CreateTask(server->URL(path), false, true);
        task->destination = Copy();
        task->schedule = schedule;
        task->nextRun = nextRun;
        task->status = tsScheduled;
        return engine->tasks.Add(std::move(task));
    }
};

TEST_F(ScheduledRun, DueTasksStartOneAfterAnotherInListOrder)
{
    StartServer();
    std::vector<std::string> ended;
    engine->run.OnRunEnded = [&](TAVTask &task) { ended.push_back(task.url); };
    TAVTask *later = Scheduled("/new.html", "Once at", TDateTime::Now().AddDays(1));
    TAVTask *first = Scheduled("/about.html", "Now", TDateTime());
    TAVTask *second = Scheduled("/right.html", "Once at", TDateTime::Now().AddDays(-1));
    TThreadSchedule scheduler([&] { engine->run.CheckSchedules(); });
    ASSERT_TRUE(PumpUntil([&] { return ended.size() == 2; }, 30));
    EXPECT_EQ(ended, (std::vector<std::string>{first->url, second->url}));
    EXPECT_EQ(first->status.load(), tsTaskComplete);
    EXPECT_EQ(first->schedule, "");
    EXPECT_EQ(second->status.load(), tsTaskComplete);
    // Not yet due; the finished ones have left the active list.
    EXPECT_EQ(later->status.load(), tsScheduled);
    ASSERT_EQ(app->ActiveTasks().Count(), 1u);
    EXPECT_EQ(app->ActiveTasks().Entries()[0].path, later->taskFile);
}

TEST_F(ScheduledRun, ARecurringScheduleRunsAgainAfterItsRun)
{
    StartServer();
    int runs = 0;
    engine->run.OnRunEnded = [&](TAVTask &) { ++runs; };
    TAVTask *task = Scheduled("/about.html", "Every 0 hours, 0 mins", TDateTime::Now());
    TThreadSchedule scheduler([&] { engine->run.CheckSchedules(); });
    ASSERT_TRUE(PumpUntil([&] { return runs >= 2; }, 30));
    scheduler.Terminate();
    PumpUntil([&] { return !engine->run.RunningTask(); }, 30);
    EXPECT_EQ(task->schedule, "Every 0 hours, 0 mins");
}

TEST_F(ScheduledRun, StartUpTurnsUnfinishedRunsIntoIncomplete)
{
    StartServer();
    TAVTask *running = Scheduled("/about.html", "Now", TDateTime());
    running->status = tsDownloading;
    running->Save();
    TAVTask *waiting = Scheduled("/new.html", "Daily at 6:00:00 AM", TDateTime::Now().AddDays(-2));
    std::string runningFile = running->taskFile, waitingFile = waiting->taskFile;

    StartEngine();
    int runs = 0;
    engine->run.OnRunEnded = [&](TAVTask &) { ++runs; };
    engine->tasks.LoadActiveTasks();
    TAVTask *settled = engine->tasks.Find(runningFile);
    ASSERT_NE(settled, nullptr);
    EXPECT_EQ(settled->status.load(), tsIncomplete);
    EXPECT_EQ(settled->schedule, "");
    EXPECT_FALSE(app->ActiveTasks().Contains(runningFile));
    // The daily task whose time passed while the program was not running starts at once.
    TThreadSchedule scheduler([&] { engine->run.CheckSchedules(); });
    ASSERT_TRUE(PumpUntil([&] { return runs == 1; }, 30));
    TAVTask *daily = engine->tasks.Find(waitingFile);
    EXPECT_EQ(daily->status.load(), tsScheduled);
    EXPECT_GT(daily->nextRun, TDateTime::Now());
}

} // namespace
} // namespace arvelo::test
