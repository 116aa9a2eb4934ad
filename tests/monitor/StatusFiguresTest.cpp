#include "model/Task.h"
#include "monitor/Resources.h"
#include "monitor/StatusFigures.h"
#include "monitor/TransferSamples.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace arvelo {
namespace {

TEST(StatusFigures, KilobytesTimeAndRate)
{
    struct Case {
        const char *what;
        int64_t bytes, seconds;
        int64_t kilobytes;
        int tenths;
        int64_t hours;
        int minutes, secs;
        int64_t rate;
        int hundredths;
    } cases[] = {
        {"1536 bytes", 1536, 1, 1, 5, 0, 0, 1, 1, 0},
        {"10 KB after 4 s", 10240, 4, 10, 0, 0, 0, 4, 2, 50},
        {"no time yet", 10240, 0, 10, 0, 0, 0, 0, 0, 0},
        {"below a kilobyte", 1023, 3, 0, 9, 0, 0, 3, 0, 0},
        {"an hour and a bit", 3 * 1024 * 3723, 3723, 3 * 3723, 0, 1, 2, 3, 3, 0},
        // A run longer than a day shows all its hours and its rate over all of them.
        {"25 hours", int64_t(90062) * 1024, 90062, 90062, 0, 25, 1, 2, 1, 0},
        // Beyond six digits of kilobytes, and beyond 32 bits of bytes.
        {"6 GiB in 100 s", int64_t(6) << 30, 100, 6291456, 0, 0, 1, 40, 62914, 56},
    };
    for (const Case &c : cases) {
        TStatusFigures f = TStatusFigures::Of(0, 0, 0, 0, 0, c.bytes, c.seconds);
        SCOPED_TRACE(c.what);
        EXPECT_EQ(f.kilobytes, c.kilobytes);
        EXPECT_EQ(f.kilobyteTenths, c.tenths);
        EXPECT_EQ(f.hours, c.hours);
        EXPECT_EQ(f.minutes, c.minutes);
        EXPECT_EQ(f.seconds, c.secs);
        EXPECT_EQ(f.rate, c.rate);
        EXPECT_EQ(f.rateHundredths, c.hundredths);
    }
}

TEST(StatusFigures, Gauges)
{
    TStatusFigures f = TStatusFigures::Of(12, 40, 5, 0, 7, 0, 0);
    EXPECT_EQ(f.pages.caption, "12/40 -> ");
    EXPECT_EQ(f.pages.Text(), "12/40 ->  30%");
    EXPECT_EQ(f.resources.Text(), "5/0 ->  0%");
    EXPECT_EQ(f.resources.progress, 0); // a gauge holds no more than its maximum
    EXPECT_EQ(f.errors.Text(), "7/40 ->  17%");
    // The errors' caption tells what their gauge holds.
    f = TStatusFigures::Of(1, 2, 0, 1, 9, 0, 0);
    EXPECT_EQ(f.errors.caption, "3/3 -> ");
    EXPECT_EQ(f.errors.Percent(), 100);
}

TEST(StatusFigures, OfATask)
{
    TAVTask task;
    task.pagesSaved = 3;
    task.totalPages = 4;
    task.resourcesSaved = 1;
    task.totalResources = 2;
    task.pageErrors = 1;
    task.resourceErrors = 1;
    task.totalBytes = 1536;
    task.elapsedTime = TDateTime::FromTime(0, 2, 5);
    TStatusFigures f = TStatusFigures::Of(task);
    EXPECT_EQ(f.pages.Text(), "3/4 ->  75%");
    EXPECT_EQ(f.errors.caption, "2/6 -> ");
    EXPECT_EQ(f.minutes, 2);
    EXPECT_EQ(f.seconds, 5);
    EXPECT_EQ(f.kilobyteTenths, 5);
}

TEST(TransferSamples, OneSamplePerElapsedSecond)
{
    TTransferSamples samples;
    struct Step {
        int64_t seconds;
        int interval;
        bool taken;
    } steps[] = {
        {0, 1, false},  {1, 1, true},   {1, 1, false}, // the same second again, from another slot
        {3, 2, false},  {4, 2, true},   {2, 1, false}, // off the interval; going back
        {60, 1, false}, {61, 1, true},  {120, 1, false}, {121, 1, true},
    };
    for (const Step &step : steps)
        EXPECT_EQ(samples.Add(4, step.seconds, 10.0 * static_cast<double>(step.seconds), step.interval), step.taken)
            << step.seconds;
    ASSERT_EQ(samples.Samples().size(), 4u);
    EXPECT_EQ(samples.Samples()[2].seconds, 61);
    EXPECT_DOUBLE_EQ(samples.Samples()[2].Rate(), 10.0);
    EXPECT_EQ(samples.Samples()[2].connections, 4);
    samples.Clear();
    EXPECT_TRUE(samples.Add(4, 5, 1.0));
}

TEST(TransferSamples, ADayOfSamplesDrawsAFewPointsAndKeepsItsPeaks)
{
    TTransferSamples samples;
    double kilobytes = 0;
    for (int64_t second = 1; second <= 86400; ++second) {
        // A steady 50 KB/s with one burst.
        kilobytes += second == 40000 ? 5e6 : 50.0;
        samples.Add(10, second, kilobytes);
    }
    ASSERT_EQ(samples.Samples().size(), 86400u - 1440u); // no whole minutes
    QList<QPointF> points = samples.RatePoints(2000);
    EXPECT_LE(points.size(), 2000);
    EXPECT_GE(points.size(), 1000);
    EXPECT_TRUE(std::is_sorted(points.begin(), points.end(),
                               [](const QPointF &a, const QPointF &b) { return a.x() < b.x(); }));
    EXPECT_EQ(points.front().x(), 1.0);
    EXPECT_EQ(points.back().x(), 86399.0);
    double highest = 0;
    for (const TTransferSample &sample : samples.Samples())
        highest = std::max(highest, sample.Rate());
    EXPECT_TRUE(std::any_of(points.begin(), points.end(), [&](const QPointF &p) { return p.y() == highest; }));

    // Few samples are drawn as they are.
    TTransferSamples few;
    for (int64_t second = 1; second <= 30; ++second)
        few.Add(1, second, 2.0 * static_cast<double>(second));
    EXPECT_EQ(few.RatePoints(2000).size(), 30);
}

TEST(Resources, FreeMemoryFromMeminfo)
{
    struct Case {
        const char *text;
        int percent;
    } cases[] = {
        {"MemTotal:       16000000 kB\nMemFree:         1000000 kB\nMemAvailable:    4000000 kB\n", 25},
        {"MemAvailable:    800 kB\nMemTotal:  1000 kB", 80},
        {"MemTotal:       16000000 kB\nMemFree:         1000000 kB\n", -1}, // an old kernel: no figure
        {"MemTotal: 0 kB\nMemAvailable: 0 kB\n", -1},
        {"MemTotalX: 100 kB\nMemAvailable: 5 kB\n", -1},
        {"", -1},
    };
    for (const Case &c : cases)
        EXPECT_EQ(FreeMemoryPercent(c.text), c.percent) << c.text;
    int here = FreeMemoryPercent();
    EXPECT_GE(here, 0);
    EXPECT_LE(here, 100);
    EXPECT_EQ(TResourceWatch::Hint(42), "Free memory: 42%");
}

TEST(Resources, TheLowMemoryWarningComesOnceUntilMemoryRecovers)
{
    TResourceWatch watch;
    struct Reading {
        int percent;
        bool warns;
    } readings[] = {{50, false}, {9, true}, {5, false}, {15, false}, {8, false}, {21, false}, {9, true}, {-1, false}};
    for (const Reading &r : readings)
        EXPECT_EQ(watch.Check(r.percent), r.warns) << r.percent;
}

} // namespace
} // namespace arvelo
