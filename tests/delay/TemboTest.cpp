// Tembo: twelve seconds on the clock, and the real program's wait and exit code.
#include "delay/Tembo.h"

#include <gtest/gtest.h>

#include <chrono>
#include <future>

#include "common/FakeClock.h"
#include "platform/Process.h"

namespace lane::delay {
namespace {

TEST(Tembo, SleepsTwelveSecondsInOneWaitAndEndsWithZero) {
    FakeClock clock;
    auto run = std::async(std::launch::async, [&] { return RunTembo(clock); });
    ASSERT_EQ(clock.AwaitDeadline([](std::int64_t due) { return due == 12000; }), 12000);
    clock.AdvanceMs(11999);
    EXPECT_EQ(run.wait_for(std::chrono::milliseconds(20)), std::future_status::timeout);
    clock.AdvanceMs(1);
    EXPECT_EQ(run.get(), 0);
    EXPECT_EQ(clock.WaitsBegun(), 1u);
}

TEST(Tembo, ARequestOfNothingSleepsOneMillisecond) {
    FakeClock clock;
    auto run = std::async(std::launch::async, [&] { Delay(clock, 0); });
    ASSERT_EQ(clock.AwaitDeadline([](std::int64_t due) { return due == 1; }), 1);
    clock.AdvanceMs(1);
    run.get();
}

// The one test that lets real time pass: the program the batch files call waits its twelve
// seconds, with arguments or without.
TEST(Tembo, TheProgramWaitsTwelveSecondsWhateverItIsGiven) {
    platform::ChildProcess tembo;
    const auto start = std::chrono::steady_clock::now();
    ASSERT_EQ(tembo.Start(std::string(LANE_BINARY_DIR) + "/delay/Tembo", {"/x", "ignored"}, {}),
              0u);
    std::string line;
    EXPECT_EQ(tembo.ReadLine(line, 30000), platform::kProcessOutputEnded);
    EXPECT_TRUE(line.empty());  // no output
    platform::ProcessExit exit;
    ASSERT_EQ(tembo.Wait(exit), 0u);
    const auto elapsed = std::chrono::steady_clock::now() - start;
    EXPECT_FALSE(exit.signalled);
    EXPECT_EQ(exit.code, 0);
    EXPECT_GE(elapsed, std::chrono::milliseconds(12000));
}

}  // namespace
}  // namespace lane::delay
