// Tests of the signal watcher: which signals stop in order, the reload request, and that a
// closed pipe kills nobody.
#include "platform/Signals.h"

#include <gtest/gtest.h>

#include <atomic>

#include "common/RealClock.h"
#include "common/Waitable.h"

namespace lane::platform {
namespace {

// Long enough for the watcher thread to be scheduled on a loaded machine; it ends early.
constexpr std::int64_t kDeliveryTimeoutMs = 10000;

TEST(SignalsTest, EveryStopSignalRunsTheOrderlyStopAndAClosedPipeIsNotFatal) {
    RealClock clock;
    ManualResetEvent stop;
    ManualResetEvent serviced;
    SignalWatcher watcher(stop, [&serviced] { serviced.Set(); });

    // Without the watcher each of these would end the test program.
    for (const ProcessSignal signal :
         {ProcessSignal::Terminate, ProcessSignal::Interrupt, ProcessSignal::HangUp,
          ProcessSignal::Quit, ProcessSignal::Alarm}) {
        SCOPED_TRACE(static_cast<int>(signal));
        stop.Reset();
        ASSERT_EQ(SendSignalToThisProcess(signal), 0u);
        EXPECT_TRUE(WaitFor(clock, stop, kDeliveryTimeoutMs));
    }

    // The service request does not stop; a broken pipe neither stops nor ends the process.
    stop.Reset();
    ASSERT_EQ(SendSignalToThisProcess(ProcessSignal::BrokenPipe), 0u);
    ASSERT_EQ(SendSignalToThisProcess(ProcessSignal::ServiceRequest), 0u);
    EXPECT_TRUE(WaitFor(clock, serviced, kDeliveryTimeoutMs));
    EXPECT_FALSE(stop.IsSet());
}

TEST(SignalsTest, AProgramThatReloadsTakesTheHangUpAsItsReloadRequest) {
    RealClock clock;
    ManualResetEvent stop;
    ManualResetEvent reloaded;
    SignalWatcher watcher(stop, {}, [&reloaded] { reloaded.Set(); });

    ASSERT_EQ(SendSignalToThisProcess(ProcessSignal::HangUp), 0u);
    EXPECT_TRUE(WaitFor(clock, reloaded, kDeliveryTimeoutMs));
    EXPECT_FALSE(stop.IsSet());
    ASSERT_EQ(SendSignalToThisProcess(ProcessSignal::Terminate), 0u);
    EXPECT_TRUE(WaitFor(clock, stop, kDeliveryTimeoutMs));
}

}  // namespace
}  // namespace lane::platform
