// The device-monitor base: the queue and worker, the hourly timer, stopping, the alert library
// (found, missing, without its entry point), repeat counting and hex dumps.
#include "monitor/stats/DeviceMonitor.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <future>
#include <mutex>
#include <string>
#include <vector>

#include "common/FakeClock.h"
#include "tests/monitor/stats/MonitorTestSupport.h"

namespace lane::monitor {
namespace {

using testing::AlertRecord;
using testing::FakeHost;
using testing::Message;
using testing::ScratchFolder;

constexpr auto kPromptly = std::chrono::seconds(5);

// Keeps the sub-codes of the messages it is given, and raises each sub-code as an event.
class RecordingMonitor final : public CDeviceMonitor {
  public:
    using CDeviceMonitor::CDeviceMonitor;
    ~RecordingMonitor() override { Stop(); }

    void ProcessMessage(const MonitorMessage& message) override {
        {
            std::lock_guard<std::mutex> lock(mutex_);
            subCodes_.push_back(message.subCode);
        }
        FireEvent(message.subCode);
    }
    std::vector<int> SubCodes() const {
        std::lock_guard<std::mutex> lock(mutex_);
        return subCodes_;
    }

  private:
    mutable std::mutex mutex_;
    std::vector<int> subCodes_;
};

class DeviceMonitorTest : public ::testing::Test {
  protected:
    ScratchFolder folder;
    AlertRecord alerts{folder.File("alerts.txt")};
    FakeHost host{folder.File("HKEY_LOCAL_MACHINE.reg")};
    FakeClock clock;
};

TEST_F(DeviceMonitorTest, WorkerTakesMessagesInOrderAndSkipsEmptyOnes) {
    RecordingMonitor monitor(clock, testing::kTestAlertLibrary);
    // Posted before the worker runs: they wait in the queue.
    monitor.Post(Message(0xA9, 1));
    monitor.Post(nullptr);
    monitor.Post(Message(0xA9, 2));
    monitor.Start(host);
    ASSERT_TRUE(clock.AwaitWaiters(1));
    testing::PostAndWait(clock, monitor, Message(0xA9, 3));
    EXPECT_EQ(monitor.SubCodes(), (std::vector<int>{1, 2, 3}));
    EXPECT_EQ(alerts.Codes(), (std::vector<int>{1, 2, 3}));
}

TEST_F(DeviceMonitorTest, HourlyTickRecomputesTheLaneColourAndRearmsTheTimer) {
    CDeviceMonitor monitor(clock, testing::kTestAlertLibrary);
    host.statistics.StatusBillAcceptor = StatusColour::Red;
    monitor.Start(host);
    ASSERT_TRUE(clock.AwaitWaiters(1));
    EXPECT_EQ(clock.EarliestDeadlineMs(), kMonitorTickMs);
    EXPECT_EQ(host.statistics.StatusSystem, StatusColour::Green);

    testing::TickAndWait(clock);
    EXPECT_EQ(host.statistics.StatusSystem, StatusColour::Red);
    EXPECT_EQ(clock.EarliestDeadlineMs(), 2 * kMonitorTickMs);
    testing::TickAndWait(clock);
    EXPECT_EQ(clock.EarliestDeadlineMs(), 3 * kMonitorTickMs);
}

TEST_F(DeviceMonitorTest, StopEndsTheWorkerPromptlyAndLeavesQueuedMessages) {
    RecordingMonitor monitor(clock, testing::kTestAlertLibrary);
    monitor.Start(host);
    ASSERT_TRUE(clock.AwaitWaiters(1));
    auto stopped = std::async(std::launch::async, [&monitor] { monitor.Stop(); });
    ASSERT_EQ(stopped.wait_for(kPromptly), std::future_status::ready);
    // Nothing runs after the stop; what is posted now is freed with the monitor.
    monitor.Post(Message(0xA9, 1));
    monitor.Stop();
    EXPECT_TRUE(monitor.SubCodes().empty());
}

TEST_F(DeviceMonitorTest, AFullQueueHoldsThePosterUntilTheWorkerTakesIt) {
    // The worker handles the first message only when the test lets it.
    class GatedMonitor final : public CDeviceMonitor {
      public:
        using CDeviceMonitor::CDeviceMonitor;
        ~GatedMonitor() override { Stop(); }
        void ProcessMessage(const MonitorMessage&) override {
            const std::size_t handled = handled_++;
            if (handled == 0) {
                entered.set_value();
                gate.get_future().wait();
            }
            if (handled + 1 == kMaxQueuedMessages + 3) {
                allHandled.set_value();
            }
        }
        std::size_t Handled() const { return handled_.load(); }
        std::promise<void> entered;
        std::promise<void> gate;
        std::promise<void> allHandled;  // the first, the full queue, the one held back, the last

      private:
        std::atomic<std::size_t> handled_{0};
    };
    GatedMonitor monitor(clock, testing::kTestAlertLibrary);
    monitor.Start(host);
    ASSERT_TRUE(clock.AwaitWaiters(1));
    monitor.Post(Message(0xA9, 1));
    ASSERT_EQ(monitor.entered.get_future().wait_for(kPromptly), std::future_status::ready);

    const auto batchOf = [](std::size_t count) {
        std::vector<std::unique_ptr<MonitorMessage>> batch;
        for (std::size_t i = 0; i < count; ++i) {
            batch.push_back(Message(0xA9, 2));
        }
        return batch;
    };
    auto full = batchOf(kMaxQueuedMessages);
    monitor.PostAll(full);  // fills the queue exactly
    EXPECT_TRUE(full.empty());
    auto more = batchOf(1);
    auto posted = std::async(std::launch::async, [&] { monitor.PostAll(more); });
    EXPECT_EQ(posted.wait_for(std::chrono::milliseconds(100)), std::future_status::timeout);
    monitor.gate.set_value();
    ASSERT_EQ(posted.wait_for(kPromptly), std::future_status::ready);
    // The worker may still be busy with the full queue: the count is awaited, not the wait.
    monitor.Post(Message(0xA9, 3));
    ASSERT_EQ(monitor.allHandled.get_future().wait_for(kPromptly), std::future_status::ready);
    EXPECT_EQ(monitor.Handled(), kMaxQueuedMessages + 3);
}

TEST_F(DeviceMonitorTest, StopWithoutStartReturns) {
    CDeviceMonitor monitor(clock, testing::kTestAlertLibrary);
    auto stopped = std::async(std::launch::async, [&monitor] { monitor.Stop(); });
    EXPECT_EQ(stopped.wait_for(kPromptly), std::future_status::ready);
}

TEST_F(DeviceMonitorTest, AlertsNeedTheLibraryAndItsEntryPoint) {
    struct Case {
        const char* library;
        bool available;
    };
    for (const Case& c :
         {Case{testing::kTestAlertLibrary, true}, Case{"NoSuchAlertLibrary.dll", false},
          Case{testing::kNoEntryAlertLibrary, false}}) {
        SCOPED_TRACE(c.library);
        RecordingMonitor monitor(clock, c.library);
        EXPECT_EQ(monitor.AlertsAvailable(), c.available);
        monitor.Start(host);
        ASSERT_TRUE(clock.AwaitWaiters(1));
        // Without alerts the message is still handled in full.
        testing::PostAndWait(clock, monitor, Message(0xA9, 23));
        EXPECT_EQ(monitor.SubCodes(), std::vector<int>{23});
        monitor.Stop();
    }
    EXPECT_EQ(alerts.Codes(), std::vector<int>{23});
}

TEST(RepeatCountingTest, SpansAreWholeMinutesBetweenEntries) {
    const std::time_t t0 = 1'000'000'000;
    TimeHistory history;
    EXPECT_FALSE(CDeviceMonitor::RecordRepeat(t0, 3, 10, history));
    EXPECT_FALSE(CDeviceMonitor::RecordRepeat(t0 + 300, 3, 10, history));
    // 10 minutes 59 seconds counts as 10: not less than the interval, and not more either.
    EXPECT_FALSE(CDeviceMonitor::RecordRepeat(t0 + 659, 3, 10, history));
    EXPECT_EQ(history.size(), 3u);
    // 11 minutes: the oldest falls out, leaving a span of 6.
    EXPECT_FALSE(CDeviceMonitor::RecordRepeat(t0 + 660, 4, 10, history));
    EXPECT_EQ(history, (TimeHistory{t0 + 300, t0 + 659, t0 + 660}));
    // A repeat leaves the history as it is.
    EXPECT_TRUE(CDeviceMonitor::RecordRepeat(t0 + 700, 4, 10, history));
    EXPECT_EQ(history.size(), 4u);

    // A single entry stays however old it is.
    TimeHistory single = {t0};
    CDeviceMonitor::PruneRepeats(0, single);
    EXPECT_EQ(single.size(), 1u);
    TimeHistory pair = {t0, t0 + 120};
    CDeviceMonitor::PruneRepeats(1, pair);
    EXPECT_EQ(pair, TimeHistory{t0 + 120});
}

TEST(RepeatCountingTest, AHistoryKeepsItsNewestEntriesUpToTheCap) {
    const std::time_t t0 = 1'000'000'000;
    // A stuck button, one press a second: every press from the tenth on is a repeat, and the
    // history keeps the newest kRepeatHistoryCap presses.
    TimeHistory history;
    int repeats = 0;
    for (std::size_t i = 0; i < kRepeatHistoryCap + 10; ++i) {
        repeats += CDeviceMonitor::RecordRepeat(t0 + static_cast<std::time_t>(i), 10, 720, history)
                       ? 1
                       : 0;
    }
    EXPECT_EQ(repeats, static_cast<int>(kRepeatHistoryCap + 1));
    ASSERT_EQ(history.size(), kRepeatHistoryCap);
    EXPECT_EQ(history.front(), t0 + 10);
    EXPECT_EQ(history.back(), t0 + static_cast<std::time_t>(kRepeatHistoryCap) + 9);

    // A setting above the cap needs the cap's worth of presses, no more (it could never count).
    TimeHistory many;
    for (std::size_t i = 0; i + 1 < kRepeatHistoryCap; ++i) {
        ASSERT_FALSE(CDeviceMonitor::RecordRepeat(t0, 100000, 720, many));
    }
    EXPECT_TRUE(CDeviceMonitor::RecordRepeat(t0, 100000, 720, many));
}

TEST(FormatHexBytesTest, DumpsBytesAfterOneBlankAndStopsBelowAThousandCharacters) {
    const std::uint8_t bytes[] = {0x00, 0xAB, 0x7F};
    EXPECT_EQ(CDeviceMonitor::FormatHexBytes(bytes, 3), " 00 AB 7F ");
    EXPECT_EQ(CDeviceMonitor::FormatHexBytes(bytes, 0), " ");
    EXPECT_EQ(CDeviceMonitor::FormatHexBytes(bytes, -5), " ");

    const std::vector<std::uint8_t> many(400, 0x5A);
    const std::string text = CDeviceMonitor::FormatHexBytes(many.data(), 400);
    EXPECT_EQ(text.size(), 997u);  // 332 bytes: one more would reach 1000
    EXPECT_EQ(text.substr(text.size() - 4), " 5A ");
}

}  // namespace
}  // namespace lane::monitor
