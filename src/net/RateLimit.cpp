#include "net/RateLimit.h"

#include <algorithm>

namespace arvelo {

std::chrono::milliseconds TRateLimit::Take(int64_t bytes)
{
    using namespace std::chrono;
    const auto now = steady_clock::now();
    std::lock_guard lock(mutex_);
    // Time not used while nothing arrived is not saved up beyond a second:
    // a long quiet spell does not buy a burst far above the ceiling.
    due_ = std::max(due_, now - seconds(1)) + microseconds(bytes * 1000000 / bytesPerSecond_);
    return duration_cast<milliseconds>(std::max(due_ - now, steady_clock::duration::zero()));
}

} // namespace arvelo
