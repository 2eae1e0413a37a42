#include "link/Time.h"

#include <gtest/gtest.h>

namespace {
struct FakeClock : TickSource {
    uint32_t now = 0;
    uint32_t Now() const override { return now; }
};
} // namespace

TEST(Time, ElapsedIsRightAcrossTheWrap) {
    FakeClock clock;
    ScopedTickSource use(clock);
    clock.now = 0xFFFFFFFFu - 99u; // 100 ms before the wrap
    const uint32_t stamp = TickNow();
    clock.now = 500u; // 500 ms after it
    EXPECT_EQ(TickElapsed(stamp), 600u);
    EXPECT_EQ(TickElapsed(10u, 10u), 0u);
}

TEST(Time, MonotonicClockMovesForward) {
    const uint32_t a = TickNow();
    uint32_t b = a;
    for (int i = 0; i < 100000000 && b == a; ++i)
        b = TickNow();
    EXPECT_GE(TickElapsed(b, a), 1u);
    EXPECT_LT(TickElapsed(b, a), 1000u);
}
