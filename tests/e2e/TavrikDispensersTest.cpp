// Tavrik -Test against lanesim's dispenser events: a dispense, the cash pocket, a low coin
// dispenser and a jammed feed module end in the trace, the alerts raised, a report on request
// and the hive.
#include <algorithm>
#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include "tests/e2e/EndToEnd.h"

namespace lane::e2e {
namespace {

// The lines of a text.
std::vector<std::string> Split(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) {
        lines.push_back(line);
    }
    return lines;
}

constexpr const char* kScenario = R"(
connect within 20000
expect 02 56 03 02 48 03
bill-dispenser refilled     # the configuration: four feed modules, none low
dispense 20x2 5x1
cash-pocket light on
cash-pocket complete
delay 200                   # the two dispensers' lines come from their own workers
coins dispensed 75
delay 200
coin-dispenser low
delay 200
bill-dispenser jam 2
delay 200
send A0 01 03 45 4E 44      # the end of the traffic
expect DE AD BE EF FF FF within 30000
hold 10000
)";

using TavrikDispensersTest = LaneTest;

TEST_F(TavrikDispensersTest, DispenseLowCoinsAndJamEndInAlertsReportAndHive) {
    StartLanesim(kScenario);
    platform::ChildProcess tavrik;
    ASSERT_EQ(StartMonitorWithRecordingAlerts(tavrik), 0u);
    // Each dispenser's lines come from its own worker, so the two may interleave.
    std::vector<std::string> wanted = {
        "** Bill Dispenser: Feed Module: 4  Denomination: $20 (D)    Dispensed: 2  Rejected: 0 **",
        "** BillDispenser: Complete/Timeout **",
        "** Coin Dispenser: $0.75 **",
        "** Coin Dispenser: Coins Low **",
        "** Bill Dispenser: Jam Feed Module 2 **",
        "A0 01 [03] 45 4E 44",
    };
    std::vector<std::string> lines;
    while (!wanted.empty()) {
        std::string line;
        ASSERT_EQ(tavrik.ReadLine(line, kLineTimeoutMs), 0u) << "still waiting for " << wanted[0];
        lines.push_back(line);
        std::erase_if(wanted, [&line](const std::string& text) {
            return line.find(text) != std::string::npos;
        });
    }
    ASSERT_EQ(tavrik.SendServiceRequest(), 0u);
    ASSERT_TRUE(ReadUntil(tavrik, "Status report written on request", &lines));
    ASSERT_EQ(tavrik.Terminate(), 0u);
    EXPECT_EQ(ExitCode(tavrik), 0);
    EXPECT_EQ(ExitCode(lanesim), 0);

    // The coin dispenser's low alert and the jam; nothing for the clean dispense.
    std::vector<std::string> codes = Split(RecordedAlerts());
    std::sort(codes.begin(), codes.end());
    EXPECT_EQ(codes, (std::vector<std::string>{"11", "35"}));

    EXPECT_EQ(StatisticText("BillDispState"), "Jammed");
    EXPECT_EQ(StatisticText("StatusBillDispenser"), "Red");
    EXPECT_EQ(StatisticText("CoinDispState"), "Low");
    EXPECT_EQ(StatisticText("StatusCoinDispenser"), "Yellow");
    EXPECT_EQ(StatisticText("StatusSystem"), "Red");
    // The jam's reply dispensed nothing: it is the last summary, empty, and the last fault.
    EXPECT_EQ(StatisticText("BillDispLastCurrenciesDispensed"), "");
    EXPECT_EQ(StatisticText("BillDispLastFaultCodeReported"),
              "Error Code: 0x3e  Status Code: 0x32 0x36");
    EXPECT_NE(StatisticText("BillDispFM4LastTimeDispensedBills"), "1980-01-01 00:00:00");
    EXPECT_EQ(StatisticText("BillDispFM4Denomination"), "$20");
    EXPECT_EQ(StatisticText("CoinDispLastCoinsDispensed"), "$0.75");
    EXPECT_EQ(StatisticText("CashPocketLightState"), "false");
    EXPECT_NE(StatisticText("BillDispFM2LastTimeJammed"), "1980-01-01 00:00:00");
    EXPECT_NE(StatisticText("CashPocketLastTimeLightOn"), "1980-01-01 00:00:00");

    const std::string report = testing::ReadWholeFile(root / "c/tavrik.log");
    ASSERT_FALSE(report.empty());
    const std::vector<std::string> shown = {
        "    Coin Dispenser                  Low",
        "    Bill Dispenser                  Jammed",
        "    Last Fault Code Reported        Error Code: 0x3e  Status Code: 0x32 0x36",
        "Bill Dispenser Feed Module          2",
        "    Last time Jammed                " + StatisticText("BillDispFM2LastTimeJammed"),
        "Bill Dispenser Feed Module          4",
        "    Denomination                    $20",
    };
    for (const std::string& line : shown) {
        EXPECT_NE(report.find(line), std::string::npos) << line;
    }
}

}  // namespace
}  // namespace lane::e2e
