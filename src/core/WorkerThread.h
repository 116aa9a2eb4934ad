#pragma once

#include <condition_variable>
#include <functional>
#include <mutex>
#include <thread>

namespace arvelo {

// A thread that runs the jobs handed to it, one at a time, for as long as
// it lives: work that repeats (a slot's fetches) starts no thread per job.
// It runs at the lowered priority of background work.
class TWorkerThread {
public:
    TWorkerThread() = default;
    // Waits for the job under way, if any.
    ~TWorkerThread();
    TWorkerThread(const TWorkerThread &) = delete;
    TWorkerThread &operator=(const TWorkerThread &) = delete;

    // Hands a job over; the one before must have ended. The thread starts
    // with the first job.
    void Run(std::function<void()> job);
    // Blocks until no job is waiting or under way.
    void WaitIdle();

private:
    void Loop();

    std::mutex mutex_;
    std::condition_variable wake_, idle_;
    std::function<void()> job_;
    bool busy_ = false;
    bool ending_ = false;
    std::thread thread_;
};

} // namespace arvelo
