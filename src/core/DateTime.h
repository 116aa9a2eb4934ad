#pragma once

#include <cstdint>
#include <string>

namespace arvelo {

// A point in time or a span, as days since 30 December 1899 with the time of
// day as the fraction. Zero means "none" where a field says so.
class TDateTime {
public:
    constexpr TDateTime() = default;
    constexpr explicit TDateTime(double days) : days_(days) {}

    static TDateTime Now();
    // Invalid parts give 0.
    static TDateTime FromParts(int year, int month, int day, int hour = 0, int minute = 0,
                               int second = 0, int msec = 0);
    static TDateTime FromTime(int hour, int minute, int second, int msec = 0);

    constexpr double Days() const { return days_; }
    constexpr bool IsZero() const { return days_ == 0.0; }

    // Calendar parts; the time is rounded to the millisecond.
    struct Parts { int year, month, day, hour, minute, second, msec; };
    Parts Split() const;
    int WholeDays() const;
    // Seconds since midnight of the time-of-day part.
    int SecondOfDay() const;
    // 0 for Sunday up to 6 for Saturday.
    int DayOfWeek() const;

    TDateTime AddDays(double days) const { return TDateTime(days_ + days); }
    TDateTime AddSeconds(double seconds) const { return TDateTime(days_ + seconds / 86400.0); }

    // "mm/dd/yyyy hh:mm:ss"
    std::string ToText() const;
    // In the user's short date and time format; empty for zero.
    std::string LocalText() const;
    // Reads the form ToText writes (one- or two-digit fields are accepted, the
    // time may be missing). Anything else gives 0 with ok false.
    static TDateTime FromText(const std::string &text, bool *ok = nullptr);

    friend constexpr bool operator==(TDateTime a, TDateTime b) { return a.days_ == b.days_; }
    friend constexpr auto operator<=>(TDateTime a, TDateTime b) { return a.days_ <=> b.days_; }

private:
    double days_ = 0.0;
};

// Writes an empty text for a zero date-time, as the task file does.
std::string DateTimeTextOrEmpty(TDateTime value);

} // namespace arvelo
