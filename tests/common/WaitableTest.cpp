// Events, timers and waits on the fake clock.
#include "common/Waitable.h"

#include <gtest/gtest.h>

#include <future>
#include <thread>

#include "common/FakeClock.h"
#include "common/RealClock.h"

namespace lane {
namespace {

TEST(ManualResetEvent, StaysSetUntilReset) {
    FakeClock clock;
    ManualResetEvent event;
    EXPECT_FALSE(WaitFor(clock, event, 0));
    event.Set();
    EXPECT_TRUE(WaitFor(clock, event, 0));
    EXPECT_TRUE(WaitFor(clock, event, 0));
    event.Reset();
    EXPECT_FALSE(event.IsSet());
}

TEST(WaitForAny, ReturnsFirstSignalledInListOrder) {
    FakeClock clock;
    ManualResetEvent first;
    ManualResetEvent second;
    second.Set();
    EXPECT_EQ(WaitForAny(clock, {&first, &second}, kInfiniteMs), 1);
    first.Set();
    EXPECT_EQ(WaitForAny(clock, {&first, &second}, kInfiniteMs), 0);
}

TEST(WaitForAny, WakesWhenAnotherThreadSets) {
    FakeClock clock;
    ManualResetEvent stop;
    ManualResetEvent work;
    // A long time-out makes the wait visible to AwaitWaiters; the clock never reaches it.
    auto waiter = std::async(std::launch::async, [&] {
        return WaitForAny(clock, {&stop, &work}, 3600 * 1000);
    });
    ASSERT_TRUE(clock.AwaitWaiters(1));
    work.Set();
    EXPECT_EQ(waiter.get(), 1);
}

TEST(WaitForAny, TimesOutOnlyWhenTheClockIsAdvanced) {
    FakeClock clock;
    ManualResetEvent never;
    auto waiter = std::async(std::launch::async, [&] { return WaitForAny(clock, {&never}, 2500); });
    ASSERT_TRUE(clock.AwaitWaiters(1));
    clock.AdvanceMs(2499);
    EXPECT_EQ(waiter.wait_for(std::chrono::milliseconds(20)), std::future_status::timeout);
    clock.AdvanceMs(1);
    EXPECT_EQ(waiter.get(), kWaitTimeout);
}

TEST(WaitableTimer, FiresAtItsDueTimeAndStaysSignalledUntilSetAgain) {
    FakeClock clock;
    ManualResetEvent stop;
    WaitableTimer hourly(clock);
    hourly.SetRelative(3600 * 1000);
    auto waiter = std::async(std::launch::async, [&] {
        return WaitForAny(clock, {&stop, &hourly}, kInfiniteMs);
    });
    ASSERT_TRUE(clock.AwaitWaiters(1));
    clock.AdvanceMs(3600 * 1000);
    EXPECT_EQ(waiter.get(), 1);
    EXPECT_TRUE(hourly.IsSignalled(clock.TickMs()));
    hourly.SetRelative(1000);
    EXPECT_FALSE(hourly.IsSignalled(clock.TickMs()));
    hourly.Cancel();
    clock.AdvanceMs(5000);
    EXPECT_FALSE(hourly.IsSignalled(clock.TickMs()));
}

TEST(WaitableTimer, RearmingWakesAWaiterToTakeTheNewDeadline) {
    FakeClock clock;
    WaitableTimer timer(clock);
    timer.SetRelative(10000);
    auto waiter =
        std::async(std::launch::async, [&] { return WaitForAny(clock, {&timer}, kInfiniteMs); });
    ASSERT_TRUE(clock.AwaitWaiters(1));
    timer.SetRelative(100);
    clock.AdvanceMs(100);
    EXPECT_EQ(waiter.get(), 0);
}

TEST(Clock, SleepEndsWhenFakeTimeHasPassed) {
    FakeClock clock(WallTime{1000, 900});
    auto sleeper = std::async(std::launch::async, [&] { clock.SleepMs(12000); });
    ASSERT_TRUE(clock.AwaitWaiters(1));
    clock.AdvanceMs(11999);
    EXPECT_EQ(sleeper.wait_for(std::chrono::milliseconds(20)), std::future_status::timeout);
    clock.AdvanceMs(1);
    sleeper.get();
    EXPECT_EQ(clock.Now().seconds, 1012);
    EXPECT_EQ(clock.Now().milliseconds, 900u);
}

TEST(RealClock, ShortWaitTimesOut) {
    RealClock clock;
    ManualResetEvent never;
    const std::int64_t before = clock.TickMs();
    EXPECT_EQ(WaitForAny(clock, {&never}, 20), kWaitTimeout);
    EXPECT_GE(clock.TickMs() - before, 20);
}

}  // namespace
}  // namespace lane
