#include "model/Task.h"
#include "schedule/Schedule.h"
#include "support/TestHome.h"

#include <gtest/gtest.h>

namespace arvelo {
namespace {

TDateTime At(int year, int month, int day, int hour, int minute, int second = 0)
{
    return TDateTime::FromParts(year, month, day, hour, minute, second);
}

// Wednesday 14 March 2001, 21:30:00.
const TDateTime kNow = At(2001, 3, 14, 21, 30);

TEST(ScheduleText, WritesEveryKind)
{
    EXPECT_EQ(ScheduleOnce(At(2001, 3, 14, 0, 0), TDateTime::FromTime(21, 30, 0)).text, "Once at 3/14/2001  9:30:00 PM");
    EXPECT_EQ(ScheduleEvery(2, 30, kNow).text, "Every 2 hours, 30 mins");
    EXPECT_EQ(ScheduleDaily(TDateTime::FromTime(6, 0, 0), kNow).text, "Daily at 6:00:00 AM");
    bool days[7] = {true, false, true, false, false, true, false};
    EXPECT_EQ(ScheduleWeekly(days, TDateTime::FromTime(23, 0, 0), kNow).text, "Weekly every Mon, Wed, Sat at 11:00:00 PM");
    EXPECT_EQ(ScheduleTimeText(TDateTime::FromTime(0, 5, 9)), "12:05:09 AM");
    EXPECT_EQ(ScheduleTimeText(TDateTime::FromTime(12, 0, 0)), "12:00:00 PM");
}

TEST(ScheduleNextRun, FollowsTheDialogsRules)
{
    struct Case {
        const char *what;
        TSchedule schedule;
        TDateTime expected;
    };
    bool wednesday[7] = {false, false, true, false, false, false, false};
    bool friday[7] = {false, false, false, false, true, false, false};
    bool none[7] = {};
    Case cases[] = {
        {"once, in the past as well", ScheduleOnce(At(2000, 1, 2, 0, 0), TDateTime::FromTime(8, 15, 0)), At(2000, 1, 2, 8, 15)},
        {"every 2 h 30 min", ScheduleEvery(2, 30, kNow), At(2001, 3, 15, 0, 0)},
        {"every 0 h 0 min is now", ScheduleEvery(0, 0, kNow), kNow},
        {"daily, later today", ScheduleDaily(TDateTime::FromTime(22, 0, 0), kNow), At(2001, 3, 14, 22, 0)},
        {"daily, at this very second", ScheduleDaily(TDateTime::FromTime(21, 30, 0), kNow), At(2001, 3, 14, 21, 30)},
        {"daily, passed today", ScheduleDaily(TDateTime::FromTime(6, 0, 0), kNow), At(2001, 3, 15, 6, 0)},
        {"weekly, today but passed", ScheduleWeekly(wednesday, TDateTime::FromTime(9, 0, 0), kNow), At(2001, 3, 21, 9, 0)},
        {"weekly, later this week", ScheduleWeekly(friday, TDateTime::FromTime(9, 0, 0), kNow), At(2001, 3, 16, 9, 0)},
        {"weekly without a day", ScheduleWeekly(none, TDateTime::FromTime(9, 0, 0), kNow), TDateTime()},
    };
    for (const Case &c : cases)
        EXPECT_NEAR(c.schedule.nextRun.Days(), c.expected.Days(), 1e-6) << c.what;
}

class ScheduleAdvance : public test::TestHome {
protected:
    void SetUp() override
    {
        TestHome::SetUp();
        task.taskFile = Path("Tasks/General/t.avt");
    }
    TAVTask task;
};

TEST_F(ScheduleAdvance, MovesEachKindOnAfterARun)
{
    struct Case {
        const char *schedule;
        TDateTime nextRun;
        int32_t statusBefore;
        TDateTime expected;
        int32_t statusAfter;
        const char *scheduleAfter;
    } cases[] = {
        {"Now", kNow, tsTaskComplete, TDateTime(), tsTaskComplete, ""},
        {"Once at 3/14/2001  9:00:00 PM", At(2001, 3, 14, 21, 0), tsTaskComplete, At(2001, 3, 14, 21, 0),
         tsTaskComplete, "Once at 3/14/2001  9:00:00 PM"},
        {"Every 1 hours, 15 mins", At(2001, 3, 14, 20, 0), tsTaskComplete, At(2001, 3, 14, 22, 45), tsScheduled,
         "Every 1 hours, 15 mins"},
        {"Every 0 hours, 0 mins", At(2001, 3, 14, 20, 0), tsTaskComplete, kNow, tsScheduled, "Every 0 hours, 0 mins"},
        {"Daily at 6:00:00 AM", At(2001, 3, 1, 6, 0), tsTaskComplete, At(2001, 3, 15, 6, 0), tsScheduled,
         "Daily at 6:00:00 AM"},
        {"Weekly every Mon, Fri at 9:00:00 AM", At(2001, 3, 12, 9, 0), tsTaskComplete, At(2001, 3, 16, 9, 0),
         tsScheduled, "Weekly every Mon, Fri at 9:00:00 AM"},
        {"3/14/2001 9:30 PM", kNow, tsTaskComplete, kNow, tsTaskComplete, "3/14/2001 9:30 PM"},
    };
    for (const auto &c : cases) {
        task.schedule = c.schedule;
        task.nextRun = c.nextRun;
        task.status = c.statusBefore;
        AdvanceSchedule(task, kNow);
        EXPECT_NEAR(task.nextRun.Days(), c.expected.Days(), 1e-6) << c.schedule;
        EXPECT_EQ(task.status.load(), c.statusAfter) << c.schedule;
        EXPECT_EQ(task.schedule, c.scheduleAfter);
    }
}

TEST_F(ScheduleAdvance, NextRunReadsBackWhatWasWritten)
{
    task.schedule = "Every 0 hours, 1 mins";
    AdvanceSchedule(task, At(2001, 3, 14, 21, 30, 17));
    TAVTask read;
    read.taskFile = task.taskFile;
    read.Load();
    EXPECT_EQ(read.nextRun.ToText(), "03/14/2001 21:31:17");
    EXPECT_EQ(read.schedule, "Every 0 hours, 1 mins");
    EXPECT_EQ(read.status.load(), tsScheduled);
}

TEST(ScheduleDue, NeedsStatusOneAndNowOrAPassedTime)
{
    TAVTask task;
    struct Case {
        int32_t status;
        const char *schedule;
        TDateTime nextRun;
        bool due;
    } cases[] = {
        {tsScheduled, "Now", TDateTime(), true},
        {tsScheduled, "Once at", At(2001, 3, 14, 21, 30), true},
        {tsScheduled, "Once at", At(2001, 3, 14, 21, 31), false},
        {tsScheduled, "Daily at", At(2000, 1, 1, 0, 0), true},
        {tsStopped, "Now", TDateTime(), false},
        {tsUnscheduled, "", TDateTime(), false},
    };
    for (const Case &c : cases) {
        task.status = c.status;
        task.schedule = c.schedule;
        task.nextRun = c.nextRun;
        EXPECT_EQ(IsDue(task, kNow), c.due) << c.status << " " << c.schedule;
    }
    // A stopped task with a date long to come runs at the next check once it is scheduled "Now".
    task.status = tsStopped;
    task.schedule = "Once at";
    task.nextRun = At(2099, 1, 1, 0, 0);
    ScheduleNow(task);
    EXPECT_TRUE(IsDue(task, kNow));
}

TEST(ScheduleDialog, CountBoxesAreClampedAndTextIsRefused)
{
    struct Case {
        std::string text;
        int most;
        bool read;
        int value;
    } cases[] = {
        {"", 23, true, 0}, {"7", 23, true, 7}, {"24", 23, true, 23}, {"60", 59, true, 59},
        {"-5", 23, true, 0}, {" 5 ", 59, true, 5}, {"99999999999", 23, true, 23},
        {"abc", 23, false, -1}, {"1.5", 59, false, -1}, {"-", 23, false, -1}, {"999999999999999999999", 23, false, -1},
    };
    for (const Case &c : cases) {
        int value = -1;
        std::string refusal;
        EXPECT_EQ(ReadScheduleCount(c.text, c.most, value, refusal), c.read) << c.text;
        EXPECT_EQ(value, c.value) << c.text;
        EXPECT_EQ(refusal, c.read ? "" : "'" + c.text + "' is not a valid integer value") << c.text;
    }
}

TEST(ScheduleDialog, LabelsNameEachKind)
{
    EXPECT_EQ(ScheduleCaption("Once at 3/14/2001  9:30:00 PM"), " Run once at 3/14/2001  9:30:00 PM");
    EXPECT_EQ(ScheduleCaption("Every 2 hours, 30 mins"), " Run every 2 hours, 30 mins");
    EXPECT_EQ(ScheduleCaption("Daily at 6:00:00 AM"), " Run daily at 6:00:00 AM");
    EXPECT_EQ(ScheduleCaption("Weekly every Mon, Wed at 11:00:00 PM"),
              " Run every Mon, Wed of every week at 11:00:00 PM");
    EXPECT_EQ(NextRunCaption(At(2001, 3, 14, 21, 30)), " Next Run: 3/14/2001  9:30:00 PM");
    EXPECT_EQ(EditorScheduleText(At(2001, 3, 14, 21, 30)), "3/14/2001 9:30 PM");
    EXPECT_EQ(EditorScheduleText(At(2001, 3, 14, 0, 5)), "3/14/2001 12:05 AM");
}

TEST(ScheduleRestart, UnfinishedRunsBecomeIncomplete)
{
    TAVTask task;
    for (int32_t status = 0; status <= 8; ++status) {
        task.status = status;
        task.schedule = "Daily at 6:00:00 AM";
        bool settled = SettleAfterRestart(task);
        EXPECT_EQ(settled, status >= 2 && status <= 5) << status;
        EXPECT_EQ(task.status.load(), settled ? tsIncomplete : status);
        EXPECT_EQ(task.schedule, settled ? "" : "Daily at 6:00:00 AM");
    }
}

} // namespace
} // namespace arvelo
