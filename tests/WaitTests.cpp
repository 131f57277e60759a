#include "link/EventPump.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

// A fake 32-bit millisecond tick counter: blocking moves it on by what the
// wait asks for, or by less when an event wakes the wait early.
struct FakeTicks {
    explicit FakeTicks(std::uint32_t start) : now(start) {}
    std::uint32_t now;
    std::int64_t wakeEarlyBy = 0;
    std::int64_t passed = 0;
    int dispatches = 0;
    std::vector<std::int64_t> blocks;

    WaitHooks Hooks() {
        return {[this] { return now; }, [this] { ++dispatches; },
                [this](std::int64_t ms) {
                    blocks.push_back(ms);
                    const std::int64_t step = ms > wakeEarlyBy ? ms - wakeEarlyBy : ms;
                    now += static_cast<std::uint32_t>(step); // wraps as the real counter does
                    passed += step;
                }};
    }
};

TEST(WaitTest, DispatchesOnceForNoTime) {
    for (int ms : {0, -5}) {
        FakeTicks t{1000};
        WaitWithMessages(ms, t.Hooks());
        EXPECT_EQ(t.dispatches, 1);
        EXPECT_TRUE(t.blocks.empty());
        EXPECT_EQ(t.now, 1000u);
    }
}

TEST(WaitTest, BlocksForTheRemainingTimeInsteadOfSpinning) {
    FakeTicks t{5};
    WaitWithMessages(100, t.Hooks());
    EXPECT_EQ(t.blocks, (std::vector<std::int64_t>{100}));
    EXPECT_EQ(t.dispatches, 1);
    EXPECT_EQ(t.now, 105u);
}

TEST(WaitTest, EarlyWakeUpsBlockAgainForWhatIsLeft) {
    FakeTicks t{0};
    t.wakeEarlyBy = 60;
    WaitWithMessages(100, t.Hooks());
    EXPECT_EQ(t.blocks, (std::vector<std::int64_t>{100, 60}));
    EXPECT_EQ(t.dispatches, 1) << "the blocks handle what comes; the loop dispatches once";
    EXPECT_EQ(t.now, 100u);
}

TEST(WaitTest, LastsItsWholeTimeWhereTheCounterPasses2To31AndWraps) {
    // Compared as signed numbers the first wait would end at once; taken
    // without the modulo, the second would go on past its time.
    for (std::uint32_t start : {0x7FFFFFF0u, 0xFFFFFFF0u}) {
        SCOPED_TRACE(start);
        FakeTicks t{start};
        t.wakeEarlyBy = 30;
        WaitWithMessages(100, t.Hooks());
        EXPECT_EQ(t.passed, 100);
        EXPECT_EQ(t.now, static_cast<std::uint32_t>(start + 100u));
    }
}

} // namespace
