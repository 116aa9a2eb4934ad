#include "core/UpdateBatch.h"

namespace arvelo {

TUpdateBatch::TUpdateBatch(int intervalMs, std::function<void()> update) : update_(std::move(update))
{
    timer_.setSingleShot(true);
    // A coarse timer may fire up to 5% early, which would let a view redraw
    // more often than its interval allows.
    timer_.setTimerType(Qt::PreciseTimer);
    timer_.setInterval(intervalMs);
    QObject::connect(&timer_, &QTimer::timeout, [this] { update_(); });
}

void TUpdateBatch::Touch()
{
    if (!timer_.isActive())
        timer_.start();
}

void TUpdateBatch::Flush()
{
    if (!timer_.isActive())
        return;
    timer_.stop();
    update_();
}

} // namespace arvelo
