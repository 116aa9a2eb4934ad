#include "core/DateTime.h"

#include <gtest/gtest.h>

namespace arvelo {
namespace {

TEST(DateTime, WritesTheFileForm)
{
    EXPECT_EQ(TDateTime().ToText(), "12/30/1899 00:00:00");
    EXPECT_EQ(TDateTime::FromTime(0, 5, 12).ToText(), "12/30/1899 00:05:12");
    EXPECT_EQ(TDateTime::FromParts(2026, 12, 9, 7, 3, 9).ToText(), "12/09/2026 07:03:09");
    EXPECT_EQ(TDateTime(1.5).ToText(), "12/31/1899 12:00:00");
}

TEST(DateTime, ReadsBackWhatItWrites)
{
    for (TDateTime value : {TDateTime::FromParts(2026, 2, 28, 23, 59, 59), TDateTime::FromTime(0, 5, 12),
                            TDateTime::FromParts(1999, 1, 1), TDateTime::FromParts(2100, 12, 31, 12, 0, 1)}) {
        bool ok = false;
        TDateTime back = TDateTime::FromText(value.ToText(), &ok);
        EXPECT_TRUE(ok) << value.ToText();
        EXPECT_EQ(back.ToText(), value.ToText());
        EXPECT_NEAR(back.Days(), value.Days(), 1e-9);
    }
}

TEST(DateTime, UnreadableTextIsZero)
{
    for (const char *text : {"", "yesterday", "13/01/2020 00:00:00", "02/30/2020", "01/01/2020 25:00:00",
                             "01/01/2020 10:00:00 trailing", "\xff\xfe", "1/2"}) {
        bool ok = true;
        EXPECT_TRUE(TDateTime::FromText(text, &ok).IsZero()) << text;
        EXPECT_FALSE(ok) << text;
    }
    EXPECT_EQ(TDateTime::FromText("1/2/2020 3:04").ToText(), "01/02/2020 03:04:00");
}

TEST(DateTime, DayOfWeekCountsFromSunday)
{
    EXPECT_EQ(TDateTime::FromParts(2026, 12, 9).DayOfWeek(), 3); // a Wednesday
    EXPECT_EQ(TDateTime::FromParts(2026, 12, 13, 23, 59).DayOfWeek(), 0);
    EXPECT_EQ(TDateTime().DayOfWeek(), 6);
    EXPECT_EQ(TDateTime::FromParts(1899, 12, 24).DayOfWeek(), 0);
}

TEST(DateTime, SplitRoundsToTheMillisecond)
{
    TDateTime almostMidnight(0.99999999999);
    EXPECT_EQ(almostMidnight.ToText(), "12/31/1899 00:00:00");
    EXPECT_EQ(TDateTime::FromTime(1, 2, 3).SecondOfDay(), 3723);
}

} // namespace
} // namespace arvelo
