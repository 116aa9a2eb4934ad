#include "core/DateTime.h"

#include <QDate>
#include <QDateTime>
#include <QLocale>
#include <QTime>

#include <cmath>
#include <cstdio>

namespace arvelo {
namespace {

constexpr qint64 kMsPerDay = 86400000;

const QDate &Epoch()
{
    static const QDate epoch(1899, 12, 30);
    return epoch;
}

// Splits into whole days and milliseconds of the day; a negative value keeps
// its fraction as the time of day, as the day-count format has it.
void SplitDays(double days, qint64 &wholeDays, qint64 &msOfDay)
{
    double whole = std::trunc(days);
    double fraction = std::fabs(days - whole);
    wholeDays = static_cast<qint64>(whole);
    msOfDay = std::llround(fraction * kMsPerDay);
    if (msOfDay >= kMsPerDay) {
        msOfDay -= kMsPerDay;
        wholeDays += days < 0 ? -1 : 1;
    }
}

bool ReadNumber(const std::string &text, size_t &pos, int maxDigits, int &value)
{
    size_t start = pos;
    value = 0;
    while (pos < text.size() && pos - start < static_cast<size_t>(maxDigits) &&
           text[pos] >= '0' && text[pos] <= '9')
        value = value * 10 + (text[pos++] - '0');
    return pos > start;
}

bool Expect(const std::string &text, size_t &pos, char c)
{
    if (pos < text.size() && text[pos] == c) {
        ++pos;
        return true;
    }
    return false;
}

} // namespace

TDateTime TDateTime::Now()
{
    QDateTime now = QDateTime::currentDateTime();
    return FromParts(now.date().year(), now.date().month(), now.date().day(), now.time().hour(),
                     now.time().minute(), now.time().second(), now.time().msec());
}

TDateTime TDateTime::FromParts(int year, int month, int day, int hour, int minute, int second,
                               int msec)
{
    QDate date(year, month, day);
    if (!date.isValid() || hour < 0 || hour > 23 || minute < 0 || minute > 59 || second < 0 ||
        second > 59 || msec < 0 || msec > 999)
        return TDateTime();
    double days = static_cast<double>(Epoch().daysTo(date));
    double time = FromTime(hour, minute, second, msec).Days();
    return TDateTime(days >= 0 ? days + time : days - time);
}

TDateTime TDateTime::FromTime(int hour, int minute, int second, int msec)
{
    qint64 ms = ((static_cast<qint64>(hour) * 60 + minute) * 60 + second) * 1000 + msec;
    return TDateTime(static_cast<double>(ms) / kMsPerDay);
}

TDateTime::Parts TDateTime::Split() const
{
    qint64 wholeDays = 0, ms = 0;
    SplitDays(days_, wholeDays, ms);
    QDate date = Epoch().addDays(wholeDays);
    Parts parts{};
    parts.year = date.year();
    parts.month = date.month();
    parts.day = date.day();
    parts.hour = static_cast<int>(ms / 3600000);
    parts.minute = static_cast<int>(ms / 60000 % 60);
    parts.second = static_cast<int>(ms / 1000 % 60);
    parts.msec = static_cast<int>(ms % 1000);
    return parts;
}

int TDateTime::WholeDays() const
{
    qint64 wholeDays = 0, ms = 0;
    SplitDays(days_, wholeDays, ms);
    return static_cast<int>(wholeDays);
}

int TDateTime::SecondOfDay() const
{
    Parts p = Split();
    return (p.hour * 60 + p.minute) * 60 + p.second;
}

int TDateTime::DayOfWeek() const
{
    // 30 December 1899 was a Saturday.
    int index = (WholeDays() + 6) % 7;
    return index < 0 ? index + 7 : index;
}

std::string TDateTime::ToText() const
{
    Parts p = Split();
    char buffer[40];
    std::snprintf(buffer, sizeof buffer, "%02d/%02d/%04d %02d:%02d:%02d", p.month, p.day, p.year,
                  p.hour, p.minute, p.second);
    return buffer;
}

TDateTime TDateTime::FromText(const std::string &text, bool *ok)
{
    if (ok)
        *ok = false;
    size_t pos = 0;
    while (pos < text.size() && text[pos] == ' ')
        ++pos;
    int month = 0, day = 0, year = 0, hour = 0, minute = 0, second = 0;
    if (!ReadNumber(text, pos, 2, month) || !Expect(text, pos, '/') ||
        !ReadNumber(text, pos, 2, day) || !Expect(text, pos, '/') ||
        !ReadNumber(text, pos, 4, year))
        return TDateTime();
    if (Expect(text, pos, ' ')) {
        while (pos < text.size() && text[pos] == ' ')
            ++pos;
        if (!ReadNumber(text, pos, 2, hour) || !Expect(text, pos, ':') ||
            !ReadNumber(text, pos, 2, minute))
            return TDateTime();
        if (Expect(text, pos, ':') && !ReadNumber(text, pos, 2, second))
            return TDateTime();
    }
    while (pos < text.size() && text[pos] == ' ')
        ++pos;
    if (pos != text.size() || !QDate(year, month, day).isValid() || hour > 23 || minute > 59 ||
        second > 59)
        return TDateTime();
    if (ok)
        *ok = true;
    return FromParts(year, month, day, hour, minute, second);
}

std::string DateTimeTextOrEmpty(TDateTime value)
{
    return value.IsZero() ? std::string() : value.ToText();
}

std::string TDateTime::LocalText() const
{
    if (IsZero())
        return {};
    const Parts p = Split();
    const QDateTime at(QDate(p.year, p.month, p.day), QTime(p.hour, p.minute, p.second));
    return QLocale().toString(at, QLocale::ShortFormat).toStdString();
}

} // namespace arvelo
