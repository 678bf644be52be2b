// Tavrik -Test against lanesim's lane events: a short shift of bills, coins, bills-only cash
// transactions and a jam ends in the trace, the alerts raised, a report on request and the hive.
#include <filesystem>
#include <string>
#include <vector>

#include "tests/e2e/EndToEnd.h"

namespace lane::e2e {
namespace {

constexpr const char* kScenario = R"(
connect within 20000
expect 02 56 03 02 48 03
transaction start           # a customer pays with a note and a coin
bill stacked 20
coin 25
transaction end
repeat 3                    # three customers pay with notes only
  transaction start
  bill stacked 10
  transaction end
end
delay 200
bill jam                    # the acceptor jams and reports it in three replies
bill jam
bill jam
delay 200
send A3 01                  # lane light: the module's own messages derive the lane's colour
delay 200
send A0 01 03 45 4E 44      # the end of the traffic
expect DE AD BE EF FF FF within 30000
hold 10000
)";

using TavrikAcceptorsTest = LaneTest;

TEST_F(TavrikAcceptorsTest, ShiftWithBillsOnlyRunAndJamEndsInAlertsReportAndHive) {
    SetSetting("CoinAccBillsWithoutCoinCount", platform::RegValue::String("3"));
    StartLanesim(kScenario);
    platform::ChildProcess tavrik;
    ASSERT_EQ(StartMonitorWithRecordingAlerts(tavrik), 0u);
    std::vector<std::string> lines;
    ASSERT_TRUE(ReadUntil(tavrik,
                          " <= Bill Acceptor: In Idling State,Bill Stacked,LRC Installed,"
                          "$20 Bill Last Inserted",
                          &lines));
    ASSERT_TRUE(ReadUntil(tavrik, " <= 0.25 Coin Inserted", &lines));
    ASSERT_TRUE(ReadUntil(tavrik, "** Coin Acceptor: $0.25 **", &lines));
    ASSERT_TRUE(ReadUntil(tavrik,
                          "** Number of cash transactions without coins indications possible "
                          "Coin Acceptor issue **",
                          &lines));
    ASSERT_TRUE(ReadUntil(tavrik, "A9 02 [07] 02 0B 00 04 00 00 00  <= Bill Acceptor: Bill Jammed,",
                          &lines));
    ASSERT_TRUE(ReadUntil(tavrik, "A0 01 [03] 45 4E 44", &lines));
    ASSERT_EQ(tavrik.SendServiceRequest(), 0u);
    ASSERT_TRUE(ReadUntil(tavrik, "Status report written on request", &lines));
    ASSERT_EQ(tavrik.Terminate(), 0u);
    EXPECT_EQ(ExitCode(tavrik), 0);
    EXPECT_EQ(ExitCode(lanesim), 0);

    // The bills-only alert on the third such transaction, the jam alert once for three replies.
    EXPECT_EQ(RecordedAlerts(), "9\n23\n");

    EXPECT_EQ(StatisticText("BillAccState"), "Jammed");
    EXPECT_EQ(StatisticText("StatusBillAcceptor"), "Red");
    EXPECT_EQ(StatisticText("StatusSystem"), "Red");
    EXPECT_EQ(StatisticText("CoinAccState"), "Offline");
    EXPECT_EQ(StatisticText("StatusCoinAcceptor"), "Yellow");
    EXPECT_EQ(StatisticText("CoinAccRejectRate"), "3");
    EXPECT_EQ(StatisticText("CoinAccCoinVolume"), "1029");
    EXPECT_NE(StatisticText("BillAccLastTimeJammed"), "1980-01-01 00:00:00");
    EXPECT_NE(StatisticText("CoinAccLastTimeReceivedCoin"), "1980-01-01 00:00:00");

    const std::string report = testing::ReadWholeFile(root / "c/tavrik.log");
    ASSERT_FALSE(report.empty());
    const std::string jammedLine =
        "    Last time Jammed                " + StatisticText("BillAccLastTimeJammed");
    EXPECT_NE(report.find(jammedLine), std::string::npos) << report;
    const std::vector<std::string> shown = {
        "    Bill Acceptor                   Jammed",
        "    Coin Acceptor                   Offline",
        "    Last time received coin         " + StatisticText("CoinAccLastTimeReceivedCoin"),
        "    Reject Rate                     100%",
    };
    for (const std::string& line : shown) {
        EXPECT_NE(report.find(line), std::string::npos) << line;
    }
}

}  // namespace
}  // namespace lane::e2e
