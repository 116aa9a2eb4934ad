#pragma once

#include <QList>
#include <QPointF>

#include <cstdint>
#include <vector>

namespace arvelo {

// One point of the transfer graph: the kilobytes transferred after so many
// seconds of the run, with the connections at work then.
struct TTransferSample {
    int64_t seconds = 0;
    double kilobytes = 0;
    int connections = 0;
    // The average rate since the start of the run, in kilobytes a second.
    double Rate() const { return seconds > 0 ? kilobytes / static_cast<double>(seconds) : 0.0; }
};

// The samples of the status panel's graph, at most one per elapsed second,
// kept for the whole run (a day holds 86,400), and the few hundred points of
// them that are worth drawing.
class TTransferSamples {
public:
    // Takes the sample unless its second is sampled already, is off the
    // interval, or is a whole minute, which the statistics step passes over.
    bool Add(int connections, int64_t seconds, double kilobytes, int interval = 1);
    void Clear() { samples_.clear(); }
    const std::vector<TTransferSample> &Samples() const { return samples_; }

    // The rate curve in X order: every sample while there are no more than
    // maxPoints, else the lowest and the highest rate of each of maxPoints / 2
    // stretches, so that no peak is lost; the last sample always ends it.
    QList<QPointF> RatePoints(qsizetype maxPoints) const;

private:
    std::vector<TTransferSample> samples_;
};

} // namespace arvelo
