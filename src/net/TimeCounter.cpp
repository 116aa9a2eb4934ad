#include "net/TimeCounter.h"

#include <algorithm>

namespace arvelo {

void TTimeCounter::Start()
{
    deadline_ = Clock::now() + std::chrono::seconds(TimeOut);
    if (limited_)
        deadline_ = std::min(deadline_, limit_);
    running_ = true;
}

void TTimeCounter::SetLimit()
{
    limit_ = Clock::now() + std::chrono::seconds(TimeOut);
    limited_ = true;
}

int TTimeCounter::MillisecondsLeft() const
{
    if (!running_)
        return -1;
    auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline_ - Clock::now()).count();
    return static_cast<int>(std::clamp<long long>(left, 0, 24LL * 3600 * 1000));
}

int TTimeCounter::Remaining() const
{
    if (!running_)
        return TimeOut;
    return (MillisecondsLeft() + 999) / 1000;
}

bool TTimeCounter::Expired()
{
    if (running_ && Clock::now() >= deadline_)
        expired_ = true;
    return expired_;
}

} // namespace arvelo
