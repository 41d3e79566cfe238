#include "platform/tick.h"

#include <gtest/gtest.h>

#include <cstdint>

namespace {

using platform::Tick;
using platform::TickDeadline;
using platform::TickReached;

TEST(Tick, ReachedAcrossTheWrap) {
    struct Case {
        Tick now;
        Tick deadline;
        bool reached;
    };
    const Case cases[] = {
        {1000, 1000, true},
        {999, 1000, false},
        {1001, 1000, true},
        // Deadline set just before the wrap, now just after it.
        {5, 0xFFFFFF00u, true},
        // Deadline just after the wrap, now just before it.
        {0xFFFFFF00u, 5, false},
        {0xFFFFFFFFu, 0xFFFFFFFFu, true},
    };
    for (const auto& c : cases)
        EXPECT_EQ(TickReached(c.now, c.deadline), c.reached) << c.now << " vs " << c.deadline;
}

TEST(Tick, DeadlineWrapsAndIsNeverZero) {
    EXPECT_EQ(TickDeadline(100, 300), 400u);
    EXPECT_EQ(TickDeadline(0xFFFFFFF0u, 0x20), 0x10u);
    // 0 means "no deadline" to callers, so a sum of exactly 0 moves by one.
    EXPECT_EQ(TickDeadline(0xFFFFFF00u, 0x100), 1u);
}

TEST(Tick, CountAdvancesAndShifts) {
    const Tick before = platform::TickCount();
    platform::Sleep(20);
    const Tick after = platform::TickCount();
    EXPECT_TRUE(TickReached(after, before + 20));

    // Shift the clock close to the wrap and watch it pass.
    const std::uint32_t toWrap = 0u - platform::TickCount() - 50u;
    platform::ShiftTickCount(toWrap);
    const Tick nearWrap = platform::TickCount();
    EXPECT_GT(nearWrap, 0xFFFFFF00u);
    const Tick deadline = TickDeadline(nearWrap, 100);
    EXPECT_LT(deadline, 100u);
    EXPECT_FALSE(TickReached(nearWrap, deadline));
    while (!TickReached(platform::TickCount(), deadline)) platform::Sleep(5);
    EXPECT_LT(platform::TickCount(), 0x80000000u);
    platform::ShiftTickCount(0u - toWrap);
}

}  // namespace
