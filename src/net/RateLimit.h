#pragma once

#include <chrono>
#include <cstdint>
#include <mutex>

namespace arvelo {

// A ceiling on the bytes a second that every connection sharing it receives
// together: each counts what it received and pauses as long as it is told.
class TRateLimit {
public:
    explicit TRateLimit(int64_t bytesPerSecond) : bytesPerSecond_(bytesPerSecond > 0 ? bytesPerSecond : 1) {}
    int64_t BytesPerSecond() const { return bytesPerSecond_; }
    // Any thread: counts bytes just received; how long the receiver pauses
    // before it reads on.
    std::chrono::milliseconds Take(int64_t bytes);

private:
    const int64_t bytesPerSecond_;
    std::mutex mutex_;
    // When the bytes counted so far will have been received at the ceiling.
    std::chrono::steady_clock::time_point due_{};
};

} // namespace arvelo
