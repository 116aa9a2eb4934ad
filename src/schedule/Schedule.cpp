#include "schedule/Schedule.h"

#include "core/FileUtils.h"
#include "core/TextUtils.h"
#include "model/Task.h"

#include <algorithm>
#include <cmath>

namespace arvelo {
namespace {

constexpr double kHour = 1.0 / 24.0;
constexpr double kMinute = 1.0 / 1440.0;

TDateTime DateOnly(TDateTime value) { return TDateTime(std::floor(value.Days())); }

double TimeOfDay(TDateTime value) { return value.Days() - std::floor(value.Days()); }

// The text between two markers, empty when either is missing.
std::string Between(const std::string &text, const std::string &open, const std::string &close)
{
    size_t start = text.find(open);
    if (start == std::string::npos)
        return {};
    start += open.size();
    size_t end = text.find(close, start);
    return end == std::string::npos ? std::string() : text.substr(start, end - start);
}

bool Starts(const std::string &text, const char *word) { return text.rfind(word, 0) == 0; }

// The next-run time moved forward by whole days up to the last one not after
// now, so that an old time does not take thousands of steps.
TDateTime WholeDaysBehind(TDateTime next, TDateTime now)
{
    return now > next ? next.AddDays(std::floor(now.Days() - next.Days())) : next;
}

// Monday 0 ... Sunday 6, the order of the dialog's check boxes.
int MondayFirst(TDateTime value) { return (value.DayOfWeek() + 6) % 7; }

} // namespace

std::string ScheduleDateText(TDateTime value)
{
    TDateTime::Parts p = value.Split();
    return std::to_string(p.month) + "/" + std::to_string(p.day) + "/" + std::to_string(p.year);
}

std::string ScheduleTimeText(TDateTime value)
{
    TDateTime::Parts p = value.Split();
    int hour = p.hour % 12 == 0 ? 12 : p.hour % 12;
    auto two = [](int n) { return (n < 10 ? "0" : "") + std::to_string(n); };
    return std::to_string(hour) + ":" + two(p.minute) + ":" + two(p.second) + (p.hour < 12 ? " AM" : " PM");
}

bool ReadScheduleCount(const std::string &text, int most, int &value, std::string &refusal)
{
    std::string digits = Trim(text);
    if (digits.empty()) {
        value = 0;
        return true;
    }
    size_t start = digits[0] == '-' || digits[0] == '+' ? 1 : 0;
    if (start == digits.size() || digits.size() > 12 ||
        digits.find_first_not_of("0123456789", start) != std::string::npos) {
        refusal = "'" + text + "' is not a valid integer value";
        return false;
    }
    long long number = std::stoll(digits);
    value = static_cast<int>(std::clamp<long long>(number, 0, most));
    return true;
}

std::string ScheduleCaption(const std::string &text)
{
    auto after = [&](const std::string &prefix) { return text.substr(prefix.size()); };
    if (text.rfind("Once at ", 0) == 0)
        return " Run once at " + after("Once at ");
    if (text.rfind("Every ", 0) == 0)
        return " Run every " + after("Every ");
    if (text.rfind("Daily at ", 0) == 0)
        return " Run daily at " + after("Daily at ");
    if (text.rfind("Weekly every ", 0) == 0) {
        std::string rest = after("Weekly every ");
        size_t at = rest.rfind(" at ");
        if (at != std::string::npos)
            return " Run every " + rest.substr(0, at) + " of every week at " + rest.substr(at + 4);
    }
    return "Schedule:";
}

std::string NextRunCaption(TDateTime nextRun)
{
    return " Next Run: " + ScheduleDateText(nextRun) + "  " + ScheduleTimeText(nextRun);
}

std::string EditorScheduleText(TDateTime at)
{
    TDateTime::Parts p = at.Split();
    int hour = p.hour % 12 == 0 ? 12 : p.hour % 12;
    return ScheduleDateText(at) + " " + std::to_string(hour) + ":" + (p.minute < 10 ? "0" : "") +
           std::to_string(p.minute) + (p.hour < 12 ? " AM" : " PM");
}

TSchedule ScheduleOnce(TDateTime date, TDateTime timeOfDay)
{
    TDateTime at(DateOnly(date).Days() + TimeOfDay(timeOfDay));
    return {"Once at " + ScheduleDateText(at) + "  " + ScheduleTimeText(at), at};
}

TSchedule ScheduleEvery(int hours, int minutes, TDateTime now)
{
    return {"Every " + std::to_string(hours) + " hours, " + std::to_string(minutes) + " mins",
            now.AddDays(hours * kHour + minutes * kMinute)};
}

TSchedule ScheduleDaily(TDateTime timeOfDay, TDateTime now)
{
    double t = TimeOfDay(timeOfDay);
    TDateTime next(DateOnly(now).Days() + t);
    // Compared in whole seconds, so that the current second still counts as today.
    if (now.SecondOfDay() > TDateTime(t).SecondOfDay())
        next = next.AddDays(1);
    return {"Daily at " + ScheduleTimeText(next), next};
}

TSchedule ScheduleWeekly(const bool days[7], TDateTime timeOfDay, TDateTime now)
{
    std::string list;
    bool any = false;
    for (int d = 0; d < 7; ++d) {
        if (days[d]) {
            list += std::string(", ") + kWeekdayNames[d];
            any = true;
        }
    }
    if (any)
        list.erase(0, 2);
    TDateTime candidate(DateOnly(now).Days() + TimeOfDay(timeOfDay));
    std::string text = "Weekly every " + list + " at " + ScheduleTimeText(candidate);
    if (!any)
        return {text, TDateTime()};
    while (candidate < now || !days[MondayFirst(candidate)])
        candidate = candidate.AddDays(1);
    return {text, candidate};
}

void AdvanceSchedule(TAVTask &task, TDateTime now)
{
    const std::string &text = task.schedule;
    if (Starts(text, "Now")) {
        task.nextRun = TDateTime();
        task.schedule.clear();
        task.Save();
    } else if (Starts(text, "Every")) {
        int hours = ToIntDef(Between(text, "Every ", " hours"), 0);
        int minutes = ToIntDef(Between(text, "hours, ", " mins"), 0);
        task.nextRun = now.AddDays(hours * kHour + minutes * kMinute);
        task.status = tsScheduled;
        task.Save();
    } else if (Starts(text, "Daily")) {
        task.nextRun = WholeDaysBehind(task.nextRun, now);
        while (now > task.nextRun)
            task.nextRun = task.nextRun.AddDays(1);
        task.status = tsScheduled;
        task.Save();
    } else if (Starts(text, "Weekly")) {
        static const char *const kSundayFirst[7] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
        bool chosen[7];
        bool any = false;
        for (int d = 0; d < 7; ++d)
            any |= chosen[d] = text.find(kSundayFirst[d]) != std::string::npos;
        // Without a chosen day no date would ever match.
        if (any) {
            task.nextRun = WholeDaysBehind(task.nextRun, now);
            while (now > task.nextRun || !chosen[task.nextRun.DayOfWeek()])
                task.nextRun = task.nextRun.AddDays(1);
        }
        task.status = tsScheduled;
        task.Save();
    }
}

void ScheduleNow(TAVTask &task)
{
    task.schedule = "Now";
    task.status = tsScheduled;
}

uint8_t ResumeOrRestart(const TAVTask &task)
{
    return (task.status == tsStopped || task.status == tsIncomplete) && FileExists(task.StateFile()) ? rmResume
                                                                                                    : rmRestart;
}

bool IsDue(const TAVTask &task, TDateTime now)
{
    return task.status == tsScheduled && (task.schedule == "Now" || now >= task.nextRun);
}

bool SettleAfterRestart(TAVTask &task)
{
    int32_t status = task.status;
    if (status < tsDownloading || status > tsComplete)
        return false;
    task.status = tsIncomplete;
    task.schedule.clear();
    return true;
}

} // namespace arvelo
