#pragma once

#include <atomic>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <thread>

namespace arvelo {

// Once a second asks the window thread to run the check that starts the
// first due task. The sleep lies outside the call, so ending the thread
// never waits for a sleeping check.
class TThreadSchedule {
public:
    explicit TThreadSchedule(std::function<void()> check);
    // Ends the loop; on the window thread it keeps events running meanwhile.
    ~TThreadSchedule();
    TThreadSchedule(const TThreadSchedule &) = delete;
    TThreadSchedule &operator=(const TThreadSchedule &) = delete;

    void Terminate();

private:
    void Run();

    std::function<void()> check_;
    std::mutex mutex_;
    std::condition_variable wake_;
    bool terminated_ = false;
    std::atomic<bool> done_{false};
    std::thread thread_;
};

} // namespace arvelo
