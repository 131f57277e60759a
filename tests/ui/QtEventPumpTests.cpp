// The desktop's pump on Qt's event loop: waits take their time, handle the
// window messages meanwhile, and sleep instead of spinning.

#include "qt/QtEventPump.h"

#include <QTimer>

#include <gtest/gtest.h>

#include <chrono>
#include <ctime>

namespace {

using Clock = std::chrono::steady_clock;

double MsSince(Clock::time_point start) {
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

TEST(QtEventPumpTest, WaitsItsTimeDispatchingAndSleeping) {
    QtEventPump pump;
    int handled = 0;
    QTimer ticker;
    QObject::connect(&ticker, &QTimer::timeout, [&] { ++handled; });
    ticker.start(20);
    QTimer::singleShot(0, [&] { ++handled; });

    const std::clock_t cpuStart = std::clock();
    const auto start = Clock::now();
    pump.DelayWithMessages(300);
    const double wall = MsSince(start);
    const double cpu = 1000.0 * static_cast<double>(std::clock() - cpuStart) / CLOCKS_PER_SEC;

    EXPECT_GE(wall, 299);
    EXPECT_LT(wall, 600);
    EXPECT_GE(handled, 5) << "messages are handled during the wait";
    EXPECT_LT(cpu, wall / 4) << "a wait sleeps; it does not spin";
}

TEST(QtEventPumpTest, DispatchesOnceForNoTimeAndWaitForEndsWhenReady) {
    QtEventPump pump;
    bool handled = false;
    QTimer::singleShot(0, [&] { handled = true; });
    pump.DelayWithMessages(0);
    EXPECT_TRUE(handled);

    bool ready = false;
    QTimer::singleShot(50, [&] { ready = true; });
    const auto start = Clock::now();
    EXPECT_TRUE(pump.WaitFor(2000, [&] { return ready; }));
    EXPECT_LT(MsSince(start), 1000);
    EXPECT_FALSE(pump.WaitFor(30, [] { return false; }));
}

} // namespace
