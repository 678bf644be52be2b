// Tavrik's start-up: one instance only, the lane check, the switches, no simulator.
#include "tests/e2e/EndToEnd.h"

namespace lane::e2e {
namespace {

constexpr const char* kLaneKey = "SOFTWARE\\Halvern Dynamics, Inc.\\Kel750\\Lane";

// Keeps the monitor connected until it stops.
constexpr const char* kIdleScenario = R"(
connect within 20000
send A3 01
expect DE AD BE EF FF FF within 60000
hold 10000
)";

class TavrikStartupTest : public LaneTest {
  protected:
    void SetLaneType(const std::string& type) {
        ASSERT_EQ(
            registry.SetValue(kLaneKey, "SecurityModuleType", platform::RegValue::String(type)),
            0u);
    }
    // Runs Tavrik without -Test to its end and gives its exit code.
    int RunWithoutSimulator(const std::vector<std::string>& arguments) {
        platform::ChildProcess tavrik;
        EXPECT_EQ(StartTavrik(tavrik, arguments), 0u);
        return ExitCode(tavrik);
    }
};

TEST_F(TavrikStartupTest, ASecondMonitorEndsAtOnceWhileOneRuns) {
    StartLanesim(kIdleScenario);
    platform::ChildProcess first;
    ASSERT_EQ(StartTavrik(first, {"-Test", "-Debug"}), 0u);
    ASSERT_TRUE(ReadUntil(first, "A3 01  - Lane Light On"));
    platform::ChildProcess second;
    ASSERT_EQ(StartTavrik(second, {"-Test", "-Debug"}), 0u);
    std::string line;
    EXPECT_EQ(second.ReadLine(line, kLineTimeoutMs), platform::kProcessOutputEnded);
    EXPECT_EQ(ExitCode(second), 0);
    ASSERT_EQ(first.Terminate(), 0u);
    EXPECT_EQ(ExitCode(first), 0);
    EXPECT_EQ(ExitCode(lanesim), 0);
}

TEST_F(TavrikStartupTest, RunsOnlyOnALaneConfiguredForTheUsbSecurityModule) {
    SetLaneType("USB_SECURITY_MODULE ");
    EXPECT_EQ(RunWithoutSimulator({}), 1);  // refused
    SetLaneType("usb_security_module");
    EXPECT_EQ(RunWithoutSimulator({}), 1);  // refused
    SetLaneType("USB_SECURITY_MODULE");
    // Accepted: it goes on to open the driver, which this build does not have.
    EXPECT_EQ(RunWithoutSimulator({}), 2);
}

TEST_F(TavrikStartupTest, AMissingLaneKeyDoesNotStopItButAMissingValueDoes) {
    EXPECT_EQ(RunWithoutSimulator({}), 2);
    ASSERT_EQ(registry.CreateKey(kLaneKey), 0u);
    EXPECT_EQ(RunWithoutSimulator({}), 1);
}

TEST_F(TavrikStartupTest, TestModeSkipsTheLaneCheckAndDebugShowsTheList) {
    SetLaneType("TMCB");
    StartLanesim(kIdleScenario);
    platform::ChildProcess tavrik;
    ASSERT_EQ(StartTavrik(tavrik, {"-TEST", "-dEbUg", "-raw", "other"}), 0u);
    std::vector<std::string> lines;
    ASSERT_TRUE(ReadUntil(tavrik, "A3 01  - Lane Light On", &lines));
    EXPECT_NE(lines.front().find("2 bytes rec'd from SecMod"), std::string::npos);
    ASSERT_EQ(tavrik.Terminate(), 0u);
    EXPECT_EQ(ExitCode(tavrik), 0);
}

TEST_F(TavrikStartupTest, WithoutASimulatorItAsksForOneAndKeepsTrying) {
    platform::ChildProcess tavrik;
    ASSERT_EQ(tavrik.Start(BinaryPath("monitor/Tavrik"), {"-Test"}, Environment(), true), 0u);
    // Without a terminal the box goes to standard error, merged here into the output.
    ASSERT_TRUE(ReadUntil(tavrik, "Simulator not running.  Start and click OK!"));
    ASSERT_TRUE(ReadUntil(tavrik, "Simulator not running.  Start and click OK!"));
    ASSERT_EQ(tavrik.Terminate(), 0u);
    EXPECT_EQ(ExitCode(tavrik), 2);
}

}  // namespace
}  // namespace lane::e2e
