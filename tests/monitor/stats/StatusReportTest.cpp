// The status report: its layout against golden files, the coin percentages, the numbered
// copies, the save before the report, and the report thread on the fake clock.
#include "monitor/stats/StatusReport.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "common/FakeClock.h"
#include "monitor/stats/ReportThread.h"
#include "platform/LanePath.h"
#include "tests/monitor/stats/MonitorTestSupport.h"
#include "tests/monitor/stats/StatsGeneration.h"

namespace lane::monitor {
namespace {

using testing::FakeHost;
using testing::Lines;
using testing::LocalSeconds;
using testing::ReadText;
using testing::ScratchFolder;

const std::time_t kNow = LocalSeconds(2005, 3, 4, 14, 5, 9);

// Compares a report with a golden file of the source tree (kept with LF line ends), after
// checking that every line of the report ends with CR LF.
void ExpectReportMatchesGolden(const std::string& report, const std::string& goldenName) {
    std::string unixText;
    for (std::size_t i = 0; i < report.size(); ++i) {
        if (report[i] == '\n') {
            ASSERT_TRUE(i > 0 && report[i - 1] == '\r') << "bare line feed at " << i;
        }
        if (report[i] != '\r') {
            unixText.push_back(report[i]);
        }
    }
    const std::string golden =
        ReadText(std::string(LANE_SOURCE_DIR) + "/tests/monitor/stats/golden/" + goldenName);
    ASSERT_FALSE(golden.empty()) << "missing golden file " << goldenName;
    const std::vector<std::string> expected = Lines(golden);
    const std::vector<std::string> actual = Lines(unixText);
    for (std::size_t i = 0; i < actual.size() && i < expected.size(); ++i) {
        ASSERT_EQ(actual[i], expected[i]) << "line " << i + 1;
    }
    EXPECT_EQ(actual.size(), expected.size());
    EXPECT_EQ(unixText, golden);
}

// Every stored field different (generation 1), with a Diebold dispenser, feed modules 1 and 3,
// a diverter bin, states beyond the stored ones, and times either side of noon.
void FillKnownRecord(CDeviceStatistics& s) {
    testing::FillGeneration(s, 1);
    s.SecModState = DeviceState::CheckSumError;
    s.CoinAccState = DeviceState::LowUsage;
    s.BillDispState = static_cast<DeviceState>(12);
    s.SecModEPROMFailed = true;
    s.SecModLastTimeLaneOpened = LocalSeconds(2005, 3, 4, 12, 0, 0);
    s.SecModLastTimeLaneClosed = LocalSeconds(2005, 3, 4, 0, 30, 0);
    s.SecModLastTimePresenceClear = DefaultStatisticsTime();
    s.CoinAccCoinVolume = 1000000;
    s.CoinAccRejectRate = 10;
    s.BillAccModel = 0x54;
    s.BillAccRevision = 0x0A;
    s.BillDispManufacturer = 1;
    s.BillDispFMn = {1, 0, 3, 0, 0, 0};
    s.BillDispDivBin = 1;
    s.CashPocketLightState = true;
    s.CashPocketBuzzerState = false;
}

// The lines from the bill dispenser's heading up to its "Last time communicated" line.
std::vector<std::string> MakerLines(const std::string& report) {
    const std::vector<std::string> lines = Lines(report);
    std::vector<std::string> maker;
    bool inside = false;
    for (const std::string& line : lines) {
        if (line == "Bill Dispenser") {
            inside = true;
            continue;
        }
        if (inside && line.rfind("    Last time communicated", 0) == 0) {
            break;
        }
        if (inside) {
            maker.push_back(line);
        }
    }
    return maker;
}

std::string LineStartingWith(const std::string& report, const std::string& start) {
    for (const std::string& line : Lines(report)) {
        if (line.rfind(start, 0) == 0) {
            return line;
        }
    }
    return {};
}

TEST(StatusReportTextTest, KnownRecordMatchesItsGoldenReport) {
    CDeviceStatistics statistics;
    FillKnownRecord(statistics);
    const MonitorSettings settings;
    ExpectReportMatchesGolden(StatusReportText(statistics, settings, kNow),
                              "StatusReportKnownRecord.txt");
}

TEST(StatusReportTextTest, FreshRecordPrintsEmptyTimesAndAnUnknownDispenser) {
    CDeviceStatistics statistics;
    statistics.LaneSoftwareVersion = "<Unknown>";
    const MonitorSettings settings;
    ExpectReportMatchesGolden(StatusReportText(statistics, settings, kNow),
                              "StatusReportFresh.txt");
}

TEST(StatusReportTextTest, EachManufacturerHasItsOwnLines) {
    CDeviceStatistics statistics;
    statistics.BillDispModel = "MDD";
    statistics.BillDispRevision = "R12";
    const MonitorSettings settings;
    statistics.BillDispManufacturer = 2;
    EXPECT_EQ(MakerLines(StatusReportText(statistics, settings, kNow)),
              (std::vector<std::string>{"    Manufacturer                    Fujitsu",
                                        "    Firmware Version                R12"}));
    statistics.BillDispManufacturer = 1;
    EXPECT_EQ(MakerLines(StatusReportText(statistics, settings, kNow)),
              (std::vector<std::string>{"    Manufacturer                    Diebold",
                                        "    Model                           MDD",
                                        "    Revision                        R12"}));
    statistics.BillDispManufacturer = 3;
    EXPECT_EQ(MakerLines(StatusReportText(statistics, settings, kNow)),
              std::vector<std::string>{"    Manufacturer                    <Unknown>"});
}

TEST(StatusReportTextTest, CoinPercentagesAreCappedOrFullWithoutADivisor) {
    CDeviceStatistics statistics;
    MonitorSettings settings;
    statistics.CoinAccRejectRate = 50;
    statistics.CoinAccCoinVolume = 5000000;
    std::string report = StatusReportText(statistics, settings, kNow);
    EXPECT_EQ(LineStartingWith(report, "    Reject Rate"),
              "    Reject Rate                     100%");
    // The volume is not capped: the estimate may pass the bin's size.
    EXPECT_EQ(LineStartingWith(report, "    Coin Volume"),
              "    Coin Volume                     125%");

    settings.CoinAccBinVolume = 0;
    settings.CoinAccBillsWithoutCoinCount = 0;
    statistics.CoinAccRejectRate = 0;
    statistics.CoinAccCoinVolume = 0;
    report = StatusReportText(statistics, settings, kNow);
    EXPECT_EQ(LineStartingWith(report, "    Reject Rate"),
              "    Reject Rate                     100%");
    EXPECT_EQ(LineStartingWith(report, "    Coin Volume"),
              "    Coin Volume                     100%");
}

class StatusReportFileTest : public ::testing::Test {
  protected:
    StatusReportFileTest() { std::filesystem::create_directories(folder.Path() / "c"); }

    std::string ReportFile(const std::string& suffix = "") const {
        return (folder.Path() / "c" / ("tavrik.log" + suffix)).string();
    }
    std::string CurrentTimeOf(const std::string& suffix) const {
        return LineStartingWith(ReadText(ReportFile(suffix)), "Current Time");
    }

    ScratchFolder folder;
    FakeHost host{folder.File("HKEY_LOCAL_MACHINE.reg")};
    platform::LanePaths paths{folder.Path().string()};
};

TEST_F(StatusReportFileTest, CopiesKeepThePreviousReports) {
    host.settings.ReportCopies = 3;
    for (int report = 0; report < 5; ++report) {
        ASSERT_EQ(WriteStatusReport(host, paths, kNow + report * 60), 0u);
    }
    EXPECT_EQ(CurrentTimeOf(""), "Current Time            2005-03-04 14:09:09 PM");
    EXPECT_EQ(CurrentTimeOf(".01"), "Current Time            2005-03-04 14:08:09 PM");
    EXPECT_EQ(CurrentTimeOf(".02"), "Current Time            2005-03-04 14:07:09 PM");
    EXPECT_EQ(CurrentTimeOf(".03"), "Current Time            2005-03-04 14:06:09 PM");
    EXPECT_FALSE(std::filesystem::exists(ReportFile(".04")));

    // With no copies wanted the report is rewritten and older copies stay as they are.
    host.settings.ReportCopies = 0;
    ASSERT_EQ(WriteStatusReport(host, paths, kNow + 300), 0u);
    EXPECT_EQ(CurrentTimeOf(""), "Current Time            2005-03-04 14:10:09 PM");
    EXPECT_EQ(CurrentTimeOf(".01"), "Current Time            2005-03-04 14:08:09 PM");
}

TEST_F(StatusReportFileTest, StatisticsAreSavedEvenWhenTheReportCannotBeWritten) {
    host.statistics.BillAccState = DeviceState::Jammed;
    host.settings.LogFileName = "c:\\no such folder\\tavrik.log";
    EXPECT_EQ(WriteStatusReport(host, paths, kNow), kReportNotOpened);
    EXPECT_EQ(host.Texts(), std::vector<std::string>{kGeneratingReportText});
    platform::RegValue value;
    ASSERT_EQ(host.registry.QueryValue(kValuesKey, "BillAccState", value), 0u);
    EXPECT_EQ(value.text, "Jammed");
}

TEST_F(StatusReportFileTest, ThreadReportsEachIntervalAndWhenAsked) {
    FakeClock clock(WallTime{kNow, 0});
    ManualResetEvent stopEvent;
    CReportThread thread(clock, host, paths);
    thread.Start(stopEvent);
    ASSERT_TRUE(clock.AwaitWaiters(1));
    EXPECT_EQ(clock.EarliestDeadlineMs(), 10 * 60 * 1000);

    std::uint64_t begun = clock.WaitsBegun();
    clock.AdvanceMs(10 * 60 * 1000);
    ASSERT_TRUE(clock.AwaitWaitAfter(begun));
    EXPECT_EQ(CurrentTimeOf(""), "Current Time            2005-03-04 14:15:09 PM");
    EXPECT_EQ(clock.EarliestDeadlineMs(), 20 * 60 * 1000);

    // Asked for five minutes later: the next interval counts from this report.
    clock.AdvanceMs(5 * 60 * 1000);
    begun = clock.WaitsBegun();
    thread.RequestReport();
    ASSERT_TRUE(clock.AwaitWaitAfter(begun));
    EXPECT_EQ(CurrentTimeOf(""), "Current Time            2005-03-04 14:20:09 PM");
    EXPECT_EQ(CurrentTimeOf(".01"), "Current Time            2005-03-04 14:15:09 PM");
    EXPECT_EQ(clock.EarliestDeadlineMs(), 25 * 60 * 1000);
    EXPECT_EQ(host.Texts().size(), 2u);

    stopEvent.Set();
    thread.Join();
}

}  // namespace
}  // namespace lane::monitor
