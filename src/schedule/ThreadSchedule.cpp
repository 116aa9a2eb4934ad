#include "schedule/ThreadSchedule.h"

#include "core/Notifier.h"
#include "core/WindowThread.h"

#include <chrono>
#include <exception>

namespace arvelo {

TThreadSchedule::TThreadSchedule(std::function<void()> check)
    : check_(std::move(check)), thread_([this] { Run(); })
{
}

TThreadSchedule::~TThreadSchedule()
{
    Terminate();
    PumpEventsUntil([this] { return done_.load(); });
    thread_.join();
}

void TThreadSchedule::Terminate()
{
    {
        std::lock_guard lock(mutex_);
        terminated_ = true;
    }
    wake_.notify_all();
}

void TThreadSchedule::Run()
{
    std::unique_lock lock(mutex_);
    while (!terminated_) {
        lock.unlock();
        RunInWindowThread([this] {
            try {
                check_();
            } catch (const std::exception &error) {
                // One failed check never ends the schedule.
                Notifier().Error(error.what());
            }
        });
        lock.lock();
        wake_.wait_for(lock, std::chrono::seconds(1), [this] { return terminated_; });
    }
    done_ = true;
}

} // namespace arvelo
