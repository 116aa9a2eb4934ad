#include "monitor/StatusFigures.h"

#include "model/Task.h"

#include <algorithm>
#include <cmath>

namespace arvelo {
namespace {

TGaugeFigure Gauge(int64_t progress, int64_t maximum)
{
    TGaugeFigure gauge;
    gauge.maximum = std::max<int64_t>(maximum, 0);
    // A gauge holds no more than its maximum and nothing below zero.
    gauge.progress = std::clamp<int64_t>(progress, 0, gauge.maximum);
    gauge.caption = std::to_string(progress) + "/" + std::to_string(maximum) + " -> ";
    return gauge;
}

} // namespace

int TGaugeFigure::Percent() const
{
    return maximum > 0 ? static_cast<int>(progress * 100 / maximum) : 0;
}

std::string TGaugeFigure::Text() const { return caption + " " + std::to_string(Percent()) + "%"; }

TStatusFigures TStatusFigures::Of(const TAVTask &task)
{
    int64_t seconds = std::llround(task.elapsedTime.Days() * 86400.0);
    return Of(task.pagesSaved, task.totalPages, task.resourcesSaved, task.totalResources,
              task.pageErrors + task.resourceErrors, task.totalBytes, seconds);
}

TStatusFigures TStatusFigures::Of(int64_t pagesSaved, int64_t totalPages, int64_t resourcesSaved,
                                  int64_t totalResources, int64_t errors, int64_t totalBytes, int64_t elapsedSeconds)
{
    TStatusFigures figures;
    figures.pages = Gauge(pagesSaved, totalPages);
    figures.resources = Gauge(resourcesSaved, totalResources);
    // The errors' caption tells what their gauge holds.
    figures.errors = Gauge(errors, totalPages + totalResources);
    figures.errors.caption =
        std::to_string(figures.errors.progress) + "/" + std::to_string(figures.errors.maximum) + " -> ";

    int64_t bytes = std::max<int64_t>(totalBytes, 0);
    figures.kilobytes = bytes / 1024;
    figures.kilobyteTenths = static_cast<int>(bytes % 1024 * 10 / 1024);

    int64_t elapsed = std::max<int64_t>(elapsedSeconds, 0);
    figures.hours = elapsed / 3600;
    figures.minutes = static_cast<int>(elapsed / 60 % 60);
    figures.seconds = static_cast<int>(elapsed % 60);
    if (elapsed > 0) {
        // In hundredths, from the whole kilobytes as the LEDs show them.
        int64_t hundredths = figures.kilobytes * 100 / elapsed;
        figures.rate = hundredths / 100;
        figures.rateHundredths = static_cast<int>(hundredths % 100);
    }
    return figures;
}

} // namespace arvelo
