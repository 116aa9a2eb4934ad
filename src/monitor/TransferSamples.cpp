#include "monitor/TransferSamples.h"

#include <algorithm>

namespace arvelo {

bool TTransferSamples::Add(int connections, int64_t seconds, double kilobytes, int interval)
{
    if (seconds <= 0 || seconds % 60 == 0 || interval <= 0 || seconds % interval > 0)
        return false;
    if (!samples_.empty() && samples_.back().seconds >= seconds)
        return false;
    samples_.push_back({seconds, kilobytes, connections});
    return true;
}

QList<QPointF> TTransferSamples::RatePoints(qsizetype maxPoints) const
{
    QList<QPointF> points;
    const size_t count = samples_.size();
    auto point = [](const TTransferSample &sample) {
        return QPointF(static_cast<double>(sample.seconds), sample.Rate());
    };
    if (count <= static_cast<size_t>(std::max<qsizetype>(maxPoints, 2))) {
        points.reserve(static_cast<qsizetype>(count));
        for (const TTransferSample &sample : samples_)
            points.append(point(sample));
        return points;
    }
    const size_t stretches = static_cast<size_t>(std::max<qsizetype>(maxPoints / 2 - 1, 1));
    const size_t length = (count + stretches - 1) / stretches;
    points.reserve(static_cast<qsizetype>(2 * stretches + 1));
    for (size_t start = 0; start < count; start += length) {
        auto first = samples_.begin() + static_cast<std::ptrdiff_t>(start);
        auto last = samples_.begin() + static_cast<std::ptrdiff_t>(std::min(count, start + length));
        auto [low, high] = std::minmax_element(first, last, [](const TTransferSample &a, const TTransferSample &b) {
            return a.Rate() < b.Rate();
        });
        points.append(point(*std::min(low, high)));
        if (low != high)
            points.append(point(*std::max(low, high)));
    }
    if (points.last().x() != static_cast<double>(samples_.back().seconds))
        points.append(point(samples_.back()));
    return points;
}

} // namespace arvelo
