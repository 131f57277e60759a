#include "link/EventPump.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

// A fake monotonic clock: blocking moves it on by what the wait asks for,
// or by less when an event wakes the wait early.
struct FakeTime {
    explicit FakeTime(std::int64_t start) : now(start) {}
    std::int64_t now;
    std::int64_t wakeEarlyBy = 0;
    int dispatches = 0;
    std::vector<std::int64_t> blocks;

    WaitHooks Hooks() {
        return {[this] { return static_cast<double>(now); }, [this] { ++dispatches; },
                [this](std::int64_t ms) {
                    blocks.push_back(ms);
                    now += ms > wakeEarlyBy ? ms - wakeEarlyBy : ms;
                }};
    }
};

TEST(WaitTest, DispatchesOnceForNoTime) {
    for (int ms : {0, -5}) {
        FakeTime t{1000};
        WaitWithMessages(ms, t.Hooks());
        EXPECT_EQ(t.dispatches, 1);
        EXPECT_TRUE(t.blocks.empty());
        EXPECT_EQ(t.now, 1000);
    }
}

TEST(WaitTest, BlocksForTheRemainingTimeInsteadOfSpinning) {
    FakeTime t{5};
    WaitWithMessages(100, t.Hooks());
    EXPECT_EQ(t.blocks, (std::vector<std::int64_t>{100}));
    EXPECT_EQ(t.dispatches, 1);
    EXPECT_EQ(t.now, 105);
}

TEST(WaitTest, EarlyWakeUpsDispatchAndWaitOnForTheRest) {
    FakeTime t{0};
    t.wakeEarlyBy = 60;
    WaitWithMessages(100, t.Hooks());
    EXPECT_EQ(t.blocks, (std::vector<std::int64_t>{100, 60}));
    EXPECT_EQ(t.now, 100);
}

TEST(WaitTest, LastsItsWholeTimeAcrossTwoToThe31Milliseconds) {
    // A 32-bit tick counter turns negative here; a monotonic clock does not.
    for (std::int64_t start : {std::int64_t{0x7FFFFFF0}, std::int64_t{0xFFFFFFF0}}) {
        FakeTime t{start};
        t.wakeEarlyBy = 30;
        WaitWithMessages(100, t.Hooks());
        EXPECT_EQ(t.now - start, 100);
    }
}

} // namespace
