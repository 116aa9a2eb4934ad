#pragma once

// Measures how responsive the window thread stays: the longest time its
// event loop was away, and how often a widget paints.

#include <QApplication>
#include <QElapsedTimer>
#include <QEvent>
#include <QObject>
#include <QTimer>
#include <QWidget>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

namespace arvelo::bench {

// A 5 ms precise timer on the window thread; each tick records how late it
// came, which is how long the loop was busy with something else. The event
// under way when a long gap began is kept, to tell what to move or batch.
class TLoopGapMonitor : public QObject {
public:
    static constexpr qint64 kTickMs = 5;
    static constexpr qint64 kLongGapMs = 50;

    TLoopGapMonitor()
    {
        timer_.setTimerType(Qt::PreciseTimer);
        timer_.setInterval(static_cast<int>(kTickMs));
        QObject::connect(&timer_, &QTimer::timeout, [this] { Tick(); });
        qApp->installEventFilter(this);
    }
    ~TLoopGapMonitor() override { qApp->removeEventFilter(this); }

    void Start()
    {
        longest_ = 0;
        longGaps_.clear();
        clock_.start();
        last_ = 0;
        timer_.start();
    }
    void Stop() { timer_.stop(); }

    double LongestGapMs() const { return static_cast<double>(longest_); }
    // Each gap over 50 ms with the event that was under way.
    const std::vector<std::pair<qint64, std::string>> &LongGaps() const { return longGaps_; }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (timer_.isActive() && event->type() != QEvent::Timer) {
            current_ = std::string(watched->metaObject()->className()) + " event " + std::to_string(event->type());
        }
        return false;
    }

private:
    void Tick()
    {
        const qint64 now = clock_.elapsed();
        const qint64 gap = std::max<qint64>(0, now - last_ - kTickMs);
        last_ = now;
        longest_ = std::max(longest_, gap);
        if (gap > kLongGapMs)
            longGaps_.emplace_back(gap, current_ + " at " + std::to_string(now - gap) + " ms");
    }

    QTimer timer_;
    QElapsedTimer clock_;
    qint64 last_ = 0, longest_ = 0;
    std::vector<std::pair<qint64, std::string>> longGaps_;
    std::string current_;
};

// The application object of a benchmark: times every event it delivers and
// keeps those that took long, to tell a slow handler from a thread that did
// not get the processor.
class TTimedApplication : public QApplication {
public:
    using QApplication::QApplication;
    static constexpr qint64 kSlowMs = 20;
    std::vector<std::pair<qint64, std::string>> slowEvents;

    bool notify(QObject *receiver, QEvent *event) override
    {
        QElapsedTimer clock;
        clock.start();
        const int type = event->type();
        // Taken first: the event may delete its receiver.
        const char *receiverClass = receiver->metaObject()->className();
        const bool result = QApplication::notify(receiver, event);
        const qint64 took = clock.elapsed();
        if (took > kSlowMs)
            slowEvents.emplace_back(took, std::string(receiverClass) + " event " + std::to_string(type));
        return result;
    }
};

// Counts the paint events of a widget, and the most that fell within any
// one second.
class TPaintCounter : public QObject {
public:
    explicit TPaintCounter(QWidget *widget) : widget_(widget)
    {
        widget->installEventFilter(this);
        clock_.start();
    }
    ~TPaintCounter() override
    {
        if (widget_)
            widget_->removeEventFilter(this);
    }
    int Paints() const { return static_cast<int>(times_.size()); }
    int MostInOneSecond() const
    {
        int most = 0;
        for (size_t first = 0, last = 0; last < times_.size(); ++last) {
            while (times_[last] - times_[first] >= 1000)
                ++first;
            most = std::max(most, static_cast<int>(last - first + 1));
        }
        return most;
    }

protected:
    bool eventFilter(QObject *, QEvent *event) override
    {
        if (event->type() == QEvent::Paint)
            times_.push_back(clock_.elapsed());
        return false;
    }

private:
    QWidget *widget_;
    QElapsedTimer clock_;
    std::vector<qint64> times_;
};

} // namespace arvelo::bench
