#pragma once

#include "core/DateTime.h"

#include <string>

namespace arvelo {

class TAVTask;

// The day names of weekly schedules, Monday first as the dialog lists them.
inline constexpr const char *kWeekdayNames[7] = {"Mon", "Tue", "Wed", "Thu", "Fri", "Sat", "Sun"};

// Dates and times in schedule texts: "3/14/2001" and "9:30:00 PM".
std::string ScheduleDateText(TDateTime value);
std::string ScheduleTimeText(TDateTime value);

// A schedule text with the next run it starts with.
struct TSchedule {
    std::string text;
    TDateTime nextRun;
};

// The schedules the schedule dialog builds, for the moment now. A time of
// day is a fraction of a day.
TSchedule ScheduleOnce(TDateTime date, TDateTime timeOfDay);
// Hours and minutes as typed; they must already lie within 0-23 and 0-59.
TSchedule ScheduleEvery(int hours, int minutes, TDateTime now);
TSchedule ScheduleDaily(TDateTime timeOfDay, TDateTime now);
// days[0] is Monday. With no day chosen the next run is 0.
TSchedule ScheduleWeekly(const bool days[7], TDateTime timeOfDay, TDateTime now);

// The schedule dialog's hours or minutes box: empty reads as 0, a value above
// most as most and a negative one as 0. A text that is not a whole number
// is refused with the message the dialog shows.
bool ReadScheduleCount(const std::string &text, int most, int &value, std::string &refusal);
// The schedule dialog's two labels for a schedule it built.
std::string ScheduleCaption(const std::string &text);
std::string NextRunCaption(TDateTime nextRun);
// The task editor's once-off schedule: "3/14/2001 9:30 PM".
std::string EditorScheduleText(TDateTime at);

// Moves a task's schedule on after a run and saves the task when it changed.
void AdvanceSchedule(TAVTask &task, TDateTime now);
// Every command that runs a task at once schedules it "Now": the schedule
// thread's next check, within a second, starts it.
void ScheduleNow(TAVTask &task);
// The run mode of a plain "run": a stopped or incomplete task whose state
// was saved goes on where it was, any other starts afresh.
uint8_t ResumeOrRestart(const TAVTask &task);
// Whether the task is to start now.
bool IsDue(const TAVTask &task, TDateTime now);
// The rule for tasks found on the active list at start-up: a run that was
// under way or unfinished becomes "Incomplete" without a schedule. True when
// the task changed.
bool SettleAfterRestart(TAVTask &task);

} // namespace arvelo
