// Tests of the scaled clock over a fake base clock, and of the time-scale setting.
#include "common/ScaledClock.h"

#include <gtest/gtest.h>

#include <chrono>
#include <future>

#include "common/FakeClock.h"

namespace lane {
namespace {

TEST(ScaledClock, EveryWaitIsDividedByTheFactor) {
    FakeClock base(WallTime{1000, 250});
    base.AdvanceMs(500);
    ScaledClock clock(base, 1000);
    EXPECT_EQ(clock.TickMs(), 500);
    auto sleep = std::async(std::launch::async, [&] { clock.SleepMs(60000); });
    // Sixty seconds on the scaled clock are sixty milliseconds on the base.
    ASSERT_EQ(base.AwaitDeadline([](std::int64_t due) { return due == 560; }), 560);
    base.AdvanceMs(59);
    EXPECT_EQ(sleep.wait_for(std::chrono::milliseconds(20)), std::future_status::timeout);
    base.AdvanceMs(1);
    sleep.get();
    EXPECT_EQ(clock.TickMs(), 60500);
    // Wall time is not scaled: log stamps stay true.
    EXPECT_EQ(clock.Now().seconds, base.Now().seconds);
    EXPECT_EQ(clock.Now().milliseconds, base.Now().milliseconds);
}

TEST(ScaledClock, PartsOfABaseMillisecondRoundUpSoNoWaitEndsEarly) {
    FakeClock base;
    ScaledClock clock(base, 1000);
    auto sleep = std::async(std::launch::async, [&] { clock.SleepMs(50); });
    ASSERT_EQ(base.AwaitDeadline([](std::int64_t due) { return due == 1; }), 1);
    base.AdvanceMs(1);
    sleep.get();
    EXPECT_GE(clock.TickMs(), 50);
}

TEST(ScaledClock, TheFactorComesFromAWholeNumberOrIsOne) {
    EXPECT_EQ(TimeScaleFromText(nullptr), 1);
    EXPECT_EQ(TimeScaleFromText(""), 1);
    EXPECT_EQ(TimeScaleFromText("1000"), 1000);
    EXPECT_EQ(TimeScaleFromText("1000000"), 1000000);
    for (const char* bad : {"0", "-5", "10x", "2.5", " 10", "1000001", "99999999999999999999"}) {
        EXPECT_EQ(TimeScaleFromText(bad), 1) << bad;
    }
    FakeClock base;
    EXPECT_EQ(ScaledClock(base, 0).Factor(), 1);
}

}  // namespace
}  // namespace lane
