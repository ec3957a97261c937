// The message pump's throttle: it asks the window system the first time,
// then once the interval has passed since it last asked, also across the
// wrap of the millisecond clock.
#include "pump_throttle.h"

#include <gtest/gtest.h>

TEST(PumpThrottle, AsksFirstThenOncePerInterval)
{
    PumpThrottle t;
    EXPECT_EQ(t.due(5000), 1);  // the first call always asks
    EXPECT_EQ(t.due(5000), 0);
    EXPECT_EQ(t.due(5000 + kPumpIntervalMs - 1), 0);
    EXPECT_EQ(t.due(5000 + kPumpIntervalMs), 1);
    // Measured from the call that asked, not from the ones that did not.
    EXPECT_EQ(t.due(5000 + 2 * kPumpIntervalMs - 1), 0);
    EXPECT_EQ(t.due(5000 + 2 * kPumpIntervalMs), 1);
    // A long record (seconds) asks at its end.
    EXPECT_EQ(t.due(60000), 1);
    EXPECT_EQ(t.due(60001), 0);
}

TEST(PumpThrottle, FirstCallAsksWhateverTheClockSays)
{
    PumpThrottle zero;
    EXPECT_EQ(zero.due(0), 1);
    EXPECT_EQ(zero.due(1), 0);
    PumpThrottle late;
    EXPECT_EQ(late.due(0xFFFFFFFFu), 1);
}

TEST(PumpThrottle, ClockWrapAroundIsOneInterval)
{
    PumpThrottle t;
    const uint32_t before_wrap = 0xFFFFFFFFu - 3;
    ASSERT_EQ(t.due(before_wrap), 1);
    EXPECT_EQ(t.due(before_wrap + kPumpIntervalMs - 1), 0);  // wrapped, still within the interval
    EXPECT_EQ(t.due(before_wrap + kPumpIntervalMs), 1);
    // A clock that went back (it cannot, but a wrap looks alike to a
    // difference) is a long time: it asks rather than staying silent.
    EXPECT_EQ(t.due(before_wrap), 1);
}
