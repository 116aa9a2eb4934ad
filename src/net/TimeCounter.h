#pragma once

#include <chrono>

namespace arvelo {

// A countdown of whole seconds for the waits of a socket. Once Remaining has
// reached 0 while the counter runs, Expired stays true until ClearExpired,
// whether or not the counter is started again.
class TTimeCounter {
public:
    int TimeOut = 60;

    void Start();
    // Until ClearLimit, no start runs past TimeOut seconds from now.
    void SetLimit();
    void ClearLimit() { limited_ = false; }
    void Stop() { running_ = false; }
    bool Running() const { return running_; }
    // Seconds left, counted down once a second from TimeOut.
    int Remaining() const;
    bool Expired();
    void ClearExpired() { expired_ = false; }
    // How long a wait may last before the counter expires; -1 for ever when
    // it does not run.
    int MillisecondsLeft() const;

private:
    using Clock = std::chrono::steady_clock;
    Clock::time_point deadline_{};
    Clock::time_point limit_{};
    bool limited_ = false;
    bool running_ = false;
    bool expired_ = false;
};

} // namespace arvelo
