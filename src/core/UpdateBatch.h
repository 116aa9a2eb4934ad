#pragma once

#include <QTimer>

#include <functional>

namespace arvelo {

// Gathers many small changes into one update, so that a view redraws a few
// times a second however fast its data changes: Touch notes a change, and
// the update runs once, intervalMs after the first change it has not taken.
// Window thread only.
class TUpdateBatch {
public:
    TUpdateBatch(int intervalMs, std::function<void()> update);
    TUpdateBatch(const TUpdateBatch &) = delete;
    TUpdateBatch &operator=(const TUpdateBatch &) = delete;

    void Touch();
    bool Pending() const { return timer_.isActive(); }
    // Runs a pending update at once.
    void Flush();
    // Drops a pending update (the view was bound to other data).
    void Cancel() { timer_.stop(); }

private:
    QTimer timer_;
    std::function<void()> update_;
};

} // namespace arvelo
