#pragma once

#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace arvelo::test {

// A name server on a loopback UDP port that keeps every query unanswered
// until Release, then answers each "no such name". While it lives, the
// program's look-ups (all but localhost's) go to it instead of the
// system's resolver.
class TFakeResolver {
public:
    TFakeResolver();
    ~TFakeResolver();
    TFakeResolver(const TFakeResolver &) = delete;
    TFakeResolver &operator=(const TFakeResolver &) = delete;

    bool Listening() const { return socket_ >= 0; }
    // The names asked for so far, one entry per query, in order.
    std::vector<std::string> Queries() const;
    // Answers the queries held and every later one.
    void Release();

private:
    void Serve();

    int socket_ = -1;
    int stopFd_ = -1;
    mutable std::mutex mutex_;
    std::vector<std::string> names_;
    std::vector<std::pair<std::string, std::string>> held_; // query, sender address
    bool released_ = false;
    std::thread thread_;
};

} // namespace arvelo::test
