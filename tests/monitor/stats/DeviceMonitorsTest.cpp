// The seven monitors together: each device's messages reach its own monitor, the scale counts
// its resets and calibrations, and every monitor ticks and stops.
#include "monitor/stats/DeviceMonitors.h"

#include <gtest/gtest.h>

#include <chrono>
#include <future>
#include <string>
#include <vector>

#include "common/FakeClock.h"
#include "monitor/stats/StatisticsStore.h"
#include "tests/monitor/stats/MonitorTestSupport.h"

namespace lane::monitor {
namespace {

using testing::AlertRecord;
using testing::FakeHost;
using testing::LocalSeconds;
using testing::Message;
using testing::ScratchFolder;

constexpr std::uint8_t kScale = 0xA6;

class DeviceMonitorsTest : public ::testing::Test {
  protected:
    void StartMonitors() {
        monitors.Start(host);
        ASSERT_TRUE(clock.AwaitWaiters(kDeviceCount));
    }
    void Post(Device device, std::uint8_t code, std::uint8_t subCode, std::time_t time = 0) {
        testing::PostAndWait(clock, monitors.Monitor(device), Message(code, subCode, time));
    }

    ScratchFolder folder;
    AlertRecord alerts{folder.File("alerts.txt")};
    FakeHost host{folder.File("HKEY_LOCAL_MACHINE.reg")};
    FakeClock clock;
    CDeviceMonitors monitors{clock, testing::kTestAlertLibrary};
    const std::time_t start = LocalSeconds(2005, 3, 4, 8, 0, 0);
};

TEST_F(DeviceMonitorsTest, EachDeviceHasItsOwnMonitor) {
    StartMonitors();
    // An EPROM failure means something to the security module only.
    for (const Device device : {Device::CoinAcceptor, Device::BillAcceptor, Device::CoinDispenser,
                                Device::BillDispenser, Device::SecurityScale, Device::Conveyor}) {
        Post(device, 0xA1, 4);
    }
    EXPECT_TRUE(host.Notes().empty());
    EXPECT_TRUE(alerts.Codes().empty());
    Post(Device::SecurityModule, 0xA1, 4);
    EXPECT_EQ(host.Notes(), std::vector<std::string>{"EPROM Firmware Failure"});
    EXPECT_EQ(alerts.Codes(), std::vector<int>{kEventSMChecksumFail});

    // The view's hand-over by device.
    const std::uint64_t begun = clock.WaitsBegun();
    monitors.Post(Device::SecurityScale, Message(kScale, 2, start));
    ASSERT_TRUE(clock.AwaitWaitAfter(begun));
    EXPECT_EQ(alerts.Codes().back(), kEventSSScaleCalibrateRepeat);

    // Each cash message is described by the decoder the frame table sends it to.
    EXPECT_EQ(monitors.FormatTrace(*Message(0xA9, 2)), " <= Bill Acceptor: ");
    EXPECT_EQ(monitors.FormatTrace(*Message(0xA8, 3)), "Raw Data to CoinAcc:  ");
    EXPECT_EQ(monitors.FormatTrace(*Message(0xAA, 3)),
              "** Coin Dispenser: Bad/Incomplete Packet! **");
    EXPECT_EQ(monitors.FormatTrace(*Message(0xAB, 1)), " - Bill Dispenser OUTPUT");
}

TEST_F(DeviceMonitorsTest, ScaleRepeatsTurnTheScaleYellowUntilTheNextTick) {
    host.settings.SSScaleResetTimes = 3;
    host.settings.SSScaleResetIntervalMinutes = 30;
    host.settings.FireSSScaleCalibrateRepeat = false;
    StartMonitors();
    Post(Device::SecurityScale, kScale, 1, start);
    Post(Device::SecurityScale, kScale, 2, start);
    Post(Device::SecurityScale, kScale, 1, start + 10 * 60);
    EXPECT_TRUE(host.Notes().empty());
    Post(Device::SecurityScale, kScale, 1, start + 29 * 60);
    EXPECT_EQ(host.Notes(), std::vector<std::string>{"Scale Reset Pressed 3 times in 30 minutes"});
    EXPECT_EQ(host.statistics.StatusSecurityScale, StatusColour::Yellow);
    EXPECT_EQ(host.statistics.StatusSystem, StatusColour::Yellow);
    EXPECT_EQ(alerts.Codes(), std::vector<int>(3, kEventSSScaleResetRepeat));

    // Only the scale's worker has a save due.
    testing::SaveHistoriesAndWait(clock);
    TimeHistory resets;
    LoadTimeList(host.registry, kSecScaleGroup, kResetTimesHistory, resets);
    EXPECT_EQ(resets.size(), 3u);
    TimeHistory calibrations;
    LoadTimeList(host.registry, kSecScaleGroup, kCalibrateTimesHistory, calibrations);
    EXPECT_EQ(calibrations, TimeHistory{start});

    // All seven monitors tick; the scale steps back to Green.
    testing::TickAndWait(clock, kDeviceCount);
    EXPECT_EQ(host.statistics.StatusSecurityScale, StatusColour::Green);
    EXPECT_EQ(host.statistics.StatusSystem, StatusColour::Green);
}

TEST_F(DeviceMonitorsTest, StopEndsEveryWorker) {
    StartMonitors();
    auto stopped = std::async(std::launch::async, [this] { monitors.Stop(); });
    ASSERT_EQ(stopped.wait_for(std::chrono::seconds(5)), std::future_status::ready);
    EXPECT_EQ(clock.Waiters(), 0);
}

}  // namespace
}  // namespace lane::monitor
