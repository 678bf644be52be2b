// The security-module monitor on its worker thread: button repeats, EPROM checks, version,
// dispenser maker, power events, the hourly colour recovery and the histories in the registry.
#include "monitor/stats/SecurityModuleMonitor.h"

#include <gtest/gtest.h>

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

constexpr std::uint8_t kStatus = 0xA1;
constexpr std::uint8_t kButtons = 0xA2;
constexpr std::uint8_t kPower = 0xA4;
constexpr std::time_t kMinute = 60;

const std::string kGreenNote = "Green Button Pressed 10 times in 720 minutes";

class SecurityModuleMonitorTest : public ::testing::Test {
  protected:
    void StartMonitor() {
        monitor.Start(host);
        ASSERT_TRUE(clock.AwaitWaiters(1));
    }
    void Post(std::uint8_t code, std::uint8_t subCode, std::time_t time = 0,
              std::initializer_list<std::uint8_t> data = {}) {
        testing::PostAndWait(clock, monitor, Message(code, subCode, time, data));
    }
    void PressGreen(std::time_t time) { Post(kButtons, 1, time); }
    TimeHistory StoredHistory(const char* name) const {
        TimeHistory history;
        LoadTimeList(host.registry, kSecModGroup, name, history);
        return history;
    }
    StatusColour ModuleColour() {
        std::lock_guard<CDeviceStatistics> lock(host.statistics);
        return host.statistics.StatusSecurityModule;
    }
    std::size_t NoteCount(const std::string& note) const {
        std::size_t count = 0;
        for (const std::string& line : host.Notes()) {
            count += line == note ? 1 : 0;
        }
        return count;
    }

    ScratchFolder folder;
    AlertRecord alerts{folder.File("alerts.txt")};
    FakeHost host{folder.File("HKEY_LOCAL_MACHINE.reg")};
    FakeClock clock;
    CSecurityModuleMonitor monitor{clock, testing::kTestAlertLibrary};
    const std::time_t start = LocalSeconds(2005, 3, 4, 8, 0, 0);
};

TEST_F(SecurityModuleMonitorTest, TenGreenPressesWithinTheIntervalMakeARepeat) {
    StartMonitor();
    for (int i = 0; i < 9; ++i) {
        PressGreen(start + i * 60 * kMinute);
    }
    EXPECT_TRUE(host.Notes().empty());
    EXPECT_EQ(ModuleColour(), StatusColour::Green);

    PressGreen(start + 9 * 60 * kMinute);
    EXPECT_EQ(host.Notes(), std::vector<std::string>{kGreenNote});
    EXPECT_EQ(ModuleColour(), StatusColour::Yellow);
    EXPECT_EQ(host.statistics.StatusSystem, StatusColour::Yellow);
    EXPECT_EQ(alerts.Codes(), std::vector<int>(10, kEventSMGreenButtonRepeat));

    // Ten minutes later the history still spans less than the interval.
    PressGreen(start + 9 * 60 * kMinute + 10 * kMinute);
    EXPECT_EQ(NoteCount(kGreenNote), 2u);
    testing::SaveHistoriesAndWait(clock);
    EXPECT_EQ(StoredHistory(kGreenButtonTimesHistory).size(), 11u);
    EXPECT_EQ(alerts.Codes().size(), 11u);

    // The next tick lets the colour step back: the history is far shorter than 720 entries.
    testing::TickAndWait(clock);
    EXPECT_EQ(ModuleColour(), StatusColour::Green);
    EXPECT_EQ(host.statistics.StatusSystem, StatusColour::Green);
}

TEST_F(SecurityModuleMonitorTest, ASpanOfExactlyTheIntervalIsNoRepeat) {
    StartMonitor();
    for (int i = 0; i < 10; ++i) {
        PressGreen(start + i * 80 * kMinute);  // first to tenth: 720 minutes
    }
    EXPECT_TRUE(host.Notes().empty());
    testing::SaveHistoriesAndWait(clock);
    EXPECT_EQ(StoredHistory(kGreenButtonTimesHistory).size(), 10u);

    // The eleventh makes the first fall out before it could count; the twelfth counts.
    PressGreen(start + 730 * kMinute);
    EXPECT_TRUE(host.Notes().empty());
    testing::SaveHistoriesAndWait(clock);
    const TimeHistory history = StoredHistory(kGreenButtonTimesHistory);
    ASSERT_EQ(history.size(), 10u);
    EXPECT_EQ(history.front(), start + 80 * kMinute);

    PressGreen(start + 740 * kMinute);
    EXPECT_EQ(host.Notes(), std::vector<std::string>{kGreenNote});
    EXPECT_EQ(ModuleColour(), StatusColour::Yellow);
}

TEST_F(SecurityModuleMonitorTest, HistoriesAreKeptAcrossRestartsAndNotEmptiedByTime) {
    // A stored history: one press far too old, two recent ones.
    TimeHistory stored = {start - 2000 * kMinute, start - 20 * kMinute, start - 10 * kMinute};
    ASSERT_EQ(SaveTimeList(host.registry, kSecModGroup, kGreenButtonTimesHistory, stored), 0u);
    StartMonitor();
    EXPECT_EQ(StoredHistory(kGreenButtonTimesHistory),
              (TimeHistory{start - 20 * kMinute, start - 10 * kMinute}));

    // A day of ticks drops nothing: only a newer press makes old ones fall out.
    for (int hour = 0; hour < 24; ++hour) {
        testing::TickAndWait(clock);
    }
    EXPECT_EQ(StoredHistory(kGreenButtonTimesHistory).size(), 2u);
    EXPECT_EQ(clock.EarliestDeadlineMs(), 25 * kMonitorTickMs);

    // With the two stored presses, eight more make ten.
    for (int i = 0; i < 8; ++i) {
        PressGreen(start + i * kMinute);
    }
    EXPECT_EQ(host.Notes(), std::vector<std::string>{kGreenNote});
}

TEST_F(SecurityModuleMonitorTest, AStuckButtonReachesTheRegistryOnceASecondAndAtTheStop) {
    StartMonitor();
    // The first press after a quiet time is saved at once.
    PressGreen(start);
    EXPECT_EQ(StoredHistory(kGreenButtonTimesHistory), TimeHistory{start});

    // Presses within the next second wait for it, however many they are.
    const std::size_t presses = kRepeatHistoryCap + 20;
    for (std::size_t i = 1; i <= presses; ++i) {
        PressGreen(start + static_cast<std::time_t>(i));
    }
    EXPECT_EQ(alerts.Codes().size(), presses + 1);
    EXPECT_EQ(StoredHistory(kGreenButtonTimesHistory).size(), 1u);
    clock.AdvanceMs(kHistorySaveIntervalMs - 1);
    PressGreen(start + static_cast<std::time_t>(presses) + 1);
    EXPECT_EQ(StoredHistory(kGreenButtonTimesHistory).size(), 1u);

    // A second after the first save they are saved as one history, capped.
    const std::uint64_t begun = clock.WaitsBegun();
    clock.AdvanceMs(1);
    ASSERT_TRUE(clock.AwaitWaitAfter(begun));
    TimeHistory stored = StoredHistory(kGreenButtonTimesHistory);
    ASSERT_EQ(stored.size(), kRepeatHistoryCap);
    EXPECT_EQ(stored.back(), start + static_cast<std::time_t>(presses) + 1);

    // What is pressed after the last save is saved by the stop, before the worker ends.
    PressGreen(start + 5000);
    Post(kButtons, 2, start + 5001);
    EXPECT_EQ(StoredHistory(kGreenButtonTimesHistory).back(), stored.back());
    monitor.Stop();
    EXPECT_EQ(StoredHistory(kGreenButtonTimesHistory).back(), start + 5000);
    EXPECT_EQ(StoredHistory(kRedButtonTimesHistory), TimeHistory{start + 5001});
}

TEST_F(SecurityModuleMonitorTest, RedButtonCountsWithItsOwnSettingsAndHistory) {
    host.settings.SMRedButtonTimes = 2;
    host.settings.SMRedButtonIntervalMinutes = 5;
    host.settings.FireSMGreenButtonRepeat = false;
    StartMonitor();
    Post(kButtons, 2, start);
    Post(kButtons, 1, start);  // green: no alert, its own history
    Post(kButtons, 2, start + 4 * kMinute);
    EXPECT_EQ(host.Notes(), std::vector<std::string>{"Red Button Pressed 2 times in 5 minutes"});
    EXPECT_EQ(alerts.Codes(), (std::vector<int>{kEventSMRedButtonRepeat, kEventSMRedButtonRepeat}));
    testing::SaveHistoriesAndWait(clock);
    EXPECT_EQ(StoredHistory(kRedButtonTimesHistory).size(), 2u);
    EXPECT_EQ(StoredHistory(kGreenButtonTimesHistory).size(), 1u);

    // A setting changed while the monitor runs shows in the next note.
    host.settings.SMRedButtonTimes = 3;
    Post(kButtons, 2, start + 4 * kMinute + 1);
    EXPECT_EQ(host.Notes().back(), "Red Button Pressed 3 times in 5 minutes");
}

TEST_F(SecurityModuleMonitorTest, EpromFailureKeepsAWorseStateAndHoldsTheColour) {
    host.statistics.SecModState = DeviceState::Jammed;
    StartMonitor();
    Post(kStatus, 4);
    EXPECT_TRUE(host.statistics.SecModEPROMFailed);
    EXPECT_EQ(host.statistics.SecModState, DeviceState::Jammed);
    EXPECT_EQ(ModuleColour(), StatusColour::Yellow);
    EXPECT_EQ(host.Notes(), std::vector<std::string>{"EPROM Firmware Failure"});
    EXPECT_EQ(alerts.Codes(), std::vector<int>{kEventSMChecksumFail});

    // While the flag is set no tick brings the colour back.
    testing::TickAndWait(clock);
    EXPECT_EQ(ModuleColour(), StatusColour::Yellow);

    Post(kStatus, 3);
    EXPECT_FALSE(host.statistics.SecModEPROMFailed);
    EXPECT_EQ(host.statistics.SecModState, DeviceState::Jammed);
    testing::TickAndWait(clock);
    EXPECT_EQ(ModuleColour(), StatusColour::Green);
}

TEST_F(SecurityModuleMonitorTest, EpromFailureOfAReadyModuleShowsAsItsState) {
    host.settings.FireSMChecksumFail = false;
    StartMonitor();
    Post(kStatus, 4);
    EXPECT_EQ(host.statistics.SecModState, DeviceState::CheckSumError);
    Post(kStatus, 3);
    EXPECT_EQ(host.statistics.SecModState, DeviceState::Ready);
    EXPECT_TRUE(alerts.Codes().empty());
}

TEST_F(SecurityModuleMonitorTest, RedColourNeedsTwoTicks) {
    host.statistics.StatusSecurityModule = StatusColour::Red;
    StartMonitor();
    testing::TickAndWait(clock);
    EXPECT_EQ(ModuleColour(), StatusColour::Yellow);
    EXPECT_EQ(host.statistics.StatusSystem, StatusColour::Yellow);
    testing::TickAndWait(clock);
    EXPECT_EQ(ModuleColour(), StatusColour::Green);
}

TEST_F(SecurityModuleMonitorTest, VersionMakerAndPowerEvents) {
    StartMonitor();
    Post(kStatus, 2, start, {0x01, 0x23, 0x12, 0x05, 0x20, 0x03, 'A'});
    EXPECT_EQ(host.statistics.SecModEPROMVersion, "01.23 12/05/2003 A");
    Post(kStatus, 5, start, {2});
    EXPECT_EQ(host.statistics.BillDispManufacturer, 2u);
    Post(kStatus, 5, start, {1});
    Post(kStatus, 5, start, {7});
    EXPECT_EQ(host.statistics.BillDispManufacturer, 7u);
    Post(kPower, 3);
    Post(kPower, 4);
    Post(kPower, 1);  // power OK: nothing to do
    EXPECT_EQ(host.Notes(), (std::vector<std::string>{
                                "Security Module Firmware Version - 01.23 12/05/2003 A",
                                "Bill Dispenser Manufacturer: Fujitsu",
                                "Bill Dispenser Manufacturer: Diebold",
                                "Bill Dispenser Manufacturer: <Unknown> (7)",
                                "Improper Power Down",
                            }));
    EXPECT_EQ(alerts.Codes(), (std::vector<int>{kEventSMUPSEvent, kEventSMAbnormalPowerOff}));

    host.settings.FireSMUPSEvent = false;
    host.settings.FireSMAbnormalPowerOff = false;
    Post(kPower, 3);
    Post(kPower, 4);
    EXPECT_EQ(alerts.Codes().size(), 2u);
}

TEST(FirmwareVersionTextTest, NibblesBecomeDigitsAndTheRevisionIsACharacter) {
    auto message = Message(kStatus, 2, 0, {0x04, 0x6A, 0x01, 0x31, 0x19, 0x99, 0});
    // A nibble above 9 runs on past '9'; a revision byte of 0 ends the text.
    EXPECT_EQ(FirmwareVersionText(*message), "04.6: 01/31/1999 ");
}

}  // namespace
}  // namespace lane::monitor
