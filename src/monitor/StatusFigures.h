#pragma once

#include <cstdint>
#include <string>

namespace arvelo {

class TAVTask;

// One bar gauge of the status panel: what it holds and its caption
// ("12/40 -> "), which the gauge follows with a blank and its percentage.
struct TGaugeFigure {
    int64_t progress = 0, maximum = 0;
    std::string caption;
    // The percentage of the maximum that the progress fills, 0 without a maximum.
    int Percent() const;
    // The caption, a blank and the percentage: "12/40 ->  30%".
    std::string Text() const;
};

// What the status panel shows of a task's counters: three gauges, the
// elapsed time, the kilobytes transferred with one decimal and the average
// rate with two. Every figure comes from the task; none is kept here.
// Runs longer than a day show all their hours, and the rate divides by all
// the seconds of the run.
struct TStatusFigures {
    TGaugeFigure pages, resources, errors;
    int64_t hours = 0;
    int minutes = 0, seconds = 0;
    int64_t kilobytes = 0;
    int kilobyteTenths = 0;
    int64_t rate = 0;
    int rateHundredths = 0;

    static TStatusFigures Of(const TAVTask &task);
    // The same from the counters themselves.
    static TStatusFigures Of(int64_t pagesSaved, int64_t totalPages, int64_t resourcesSaved, int64_t totalResources,
                             int64_t errors, int64_t totalBytes, int64_t elapsedSeconds);
};

} // namespace arvelo
