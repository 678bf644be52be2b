// Tavrik -Test against lanesim with a recording alert library beside it: repeated green button
// presses and an EPROM failure end in the hive, in the alerts raised and in a report on request.
#include <filesystem>
#include <sstream>

#include "tests/e2e/EndToEnd.h"

namespace lane::e2e {
namespace {

constexpr const char* kScenario = R"(
connect within 20000
expect 02 56 03 02 48 03
send A2 01                  # green button, three times: a repeat at the third
delay 200
send A2 01
delay 200
send A2 01
delay 200
send A1 04                  # EPROM check failed
delay 200
send A0 01 03 45 4E 44      # the end of the traffic
expect DE AD BE EF FF FF within 30000
hold 10000
)";

using TavrikAlertsTest = LaneTest;

TEST_F(TavrikAlertsTest, ButtonRepeatsAndEpromFailureRaiseAlertsAndShowInTheReport) {
    SetSetting("SMGreenButtonTimes", platform::RegValue::String("3"));
    StartLanesim(kScenario);
    platform::ChildProcess tavrik;
    ASSERT_EQ(StartMonitorWithRecordingAlerts(tavrik), 0u);
    std::vector<std::string> lines;
    ASSERT_TRUE(ReadUntil(tavrik, "Green Button Pressed 3 times in 720 minutes", &lines));
    ASSERT_TRUE(ReadUntil(tavrik, "EPROM Firmware Failure", &lines));
    ASSERT_TRUE(ReadUntil(tavrik, "A0 01 [03] 45 4E 44", &lines));
    ASSERT_EQ(tavrik.SendServiceRequest(), 0u);
    ASSERT_TRUE(ReadUntil(tavrik, "Status report written on request", &lines));
    ASSERT_EQ(tavrik.Terminate(), 0u);
    EXPECT_EQ(ExitCode(tavrik), 0);
    EXPECT_EQ(ExitCode(lanesim), 0);

    // Alert 2 for every green press, alert 1 for the failed EPROM check.
    EXPECT_EQ(RecordedAlerts(), "2\n2\n2\n1\n");

    EXPECT_EQ(StatisticText("StatusSecurityModule"), "Yellow");
    EXPECT_EQ(StatisticText("SecModState"), "Check Sum Error");
    EXPECT_EQ(StatisticText("StatusSystem"), "Yellow");
    std::vector<std::pair<std::string, platform::RegValue>> history;
    ASSERT_EQ(registry.ReadKey(std::string(kStatisticsKey) + "\\SecMod\\GreenButtonTimes", history),
              0u);
    EXPECT_EQ(history.size(), 3u);

    const std::string report = testing::ReadWholeFile(root / "c/tavrik.log");
    ASSERT_FALSE(report.empty());
    EXPECT_NE(report.find("\r\n"), std::string::npos);
    EXPECT_NE(report.find("Yellow"), std::string::npos);
}

}  // namespace
}  // namespace lane::e2e
