#include "core/WorkerThread.h"

#include "core/ThreadPriority.h"

namespace arvelo {

TWorkerThread::~TWorkerThread()
{
    {
        std::lock_guard lock(mutex_);
        ending_ = true;
    }
    wake_.notify_one();
    if (thread_.joinable())
        thread_.join();
}

void TWorkerThread::Run(std::function<void()> job)
{
    {
        std::lock_guard lock(mutex_);
        job_ = std::move(job);
        if (!thread_.joinable())
            thread_ = std::thread([this] { Loop(); });
    }
    wake_.notify_one();
}

void TWorkerThread::WaitIdle()
{
    std::unique_lock lock(mutex_);
    idle_.wait(lock, [&] { return !busy_ && !job_; });
}

void TWorkerThread::Loop()
{
    LowerThisThreadPriority();
    for (;;) {
        std::function<void()> job;
        {
            std::unique_lock lock(mutex_);
            wake_.wait(lock, [&] { return ending_ || job_; });
            if (!job_)
                return;
            job = std::move(job_);
            job_ = nullptr;
            busy_ = true;
        }
        job();
        job = nullptr;
        {
            std::lock_guard lock(mutex_);
            busy_ = false;
        }
        idle_.notify_all();
    }
}

} // namespace arvelo
