#include "core/WindowThread.h"

#include "support/ScriptedServer.h"

#include <gtest/gtest.h>

#include <QTimer>

#include <atomic>
#include <chrono>
#include <thread>

namespace arvelo {
namespace {

// Workers that post many calls at once must not hold the window thread for
// the whole queue: its timers (and so its paints and input) come in between,
// and every call still runs, in order.
TEST(WindowThread, AFloodOfCallsLeavesRoomForTheWindowsEvents)
{
    constexpr size_t kCalls = 400;
    std::vector<size_t> order;
    bool tickedMidway = false;
    QTimer tick;
    tick.setInterval(0);
    QObject::connect(&tick, &QTimer::timeout, [&] { tickedMidway |= !order.empty() && order.size() < kCalls; });
    tick.start();

    std::atomic<bool> returned{false};
    std::thread worker([&] {
        for (size_t i = 0; i < kCalls; ++i)
            PostToWindowThread([&order, i] {
                order.push_back(i);
                std::this_thread::sleep_for(std::chrono::microseconds(500));
            });
        // A waiting call behind them returns too.
        RunInWindowThread([] {});
        returned = true;
    });
    const bool done = test::PumpUntil([&] { return returned.load(); }, 60);
    worker.join();
    ASSERT_TRUE(done);
    ASSERT_EQ(order.size(), kCalls);
    for (size_t i = 0; i < kCalls; ++i)
        EXPECT_EQ(order[i], i);
    EXPECT_TRUE(tickedMidway) << "the calls held the window thread from first to last";
}

} // namespace
} // namespace arvelo
