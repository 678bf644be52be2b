// Tavrik's start-up: one instance only, the lane check, the switches, no simulator.
#include "tests/e2e/EndToEnd.h"

#include <filesystem>
#include <functional>

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
    // Standard error merged: the one line is the reason, and nothing of the list comes.
    ASSERT_EQ(second.Start(BinaryPath("monitor/Tavrik"), {"-Test", "-Debug"}, Environment(), true),
              0u);
    std::string line;
    ASSERT_EQ(second.ReadLine(line, kLineTimeoutMs), 0u);
    EXPECT_EQ(line, "Tavrik: another monitor is already running on this lane (it holds " +
                        (root / "locks/Quarnel_Orvel_Monitor_Debug_Window.lock").string() + ")");
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

TEST_F(TavrikStartupTest, EveryRefusalToStartSaysWhyOnStandardError) {
    const std::string where =
        "Tavrik: this lane is not set up for the USB security module: "
        "HKLM\\SOFTWARE\\Halvern Dynamics, Inc.\\Kel750\\Lane\\SecurityModuleType is ";
    struct Case {
        std::function<void()> setUp;
        std::vector<std::string> arguments;
        int exitCode;
        std::string line;
    };
    const Case cases[] = {
        {[&] { SetLaneType("TMCB_SECURITY_MODULE"); },
         {},
         1,
         where + "\"TMCB_SECURITY_MODULE\"; the monitor needs \"USB_SECURITY_MODULE\""},
        {[&] {
             ASSERT_EQ(registry.DeleteValue(kLaneKey, "SecurityModuleType"), 0u);
             ASSERT_EQ(registry.CreateKey(kLaneKey), 0u);
         },
         {},
         1,
         "Tavrik: this lane is not set up for the USB security module: "
         "HKLM\\SOFTWARE\\Halvern Dynamics, Inc.\\Kel750\\Lane\\SecurityModuleType is "
         "missing; the monitor needs \"USB_SECURITY_MODULE\""},
        // The instance lock cannot be made: the monitor does not start blind (fails closed).
        {[&] {
             std::filesystem::remove_all(root / "locks");
             std::ofstream(root / "locks") << "not a folder";
         },
         {"-Test"},
         5,
         "Tavrik: cannot take the instance lock " +
             (root / "locks/Quarnel_Orvel_Monitor_Debug_Window.lock").string() +
             ": The system cannot find the path specified. A second monitor could not be told "
             "apart, so this one does not start."},
    };
    for (const Case& c : cases) {
        c.setUp();
        platform::ChildProcess tavrik;
        ASSERT_EQ(tavrik.Start(BinaryPath("monitor/Tavrik"), c.arguments, Environment(), true), 0u);
        std::string line;
        ASSERT_EQ(tavrik.ReadLine(line, kLineTimeoutMs), 0u);
        EXPECT_EQ(line, c.line);
        EXPECT_EQ(ExitCode(tavrik), c.exitCode) << c.line;
    }
}

TEST_F(TavrikStartupTest, ATraceFileOutsideTheLaneRootOrBehindALinkIsNotTouched) {
    const std::filesystem::path victim = root / "victim.txt";  // outside drive c
    std::ofstream(victim) << "keep";
    std::filesystem::create_symlink(victim, root / "c/tavrikitor.trc");
    SetSetting("LoggingState", platform::RegValue::Dword(2));
    // Out of the lane's drives: refused by the path map; a link: refused at the open.
    const std::pair<std::string, std::string> cases[] = {
        {"..\\victim.txt", "The specified path is invalid."},
        {"c:\\tavrikitor.trc", "The name of the file cannot be resolved by the system."}};
    for (const auto& [name, reason] : cases) {
        SetSetting("TraceFileName", platform::RegValue::String(name));
        platform::ChildProcess tavrik;
        ASSERT_EQ(tavrik.Start(BinaryPath("monitor/Tavrik"), {"-Test"}, Environment(), true), 0u);
        std::string line;
        ASSERT_EQ(tavrik.ReadLine(line, kLineTimeoutMs), 0u);
        EXPECT_EQ(line, "Tavrik: Cannot open trace file " + name + ": " + reason);
        ASSERT_EQ(tavrik.Terminate(), 0u);
        EXPECT_EQ(ExitCode(tavrik), 2);  // stopped while it waited for the simulator
    }
    EXPECT_EQ(testing::ReadWholeFile(victim), "keep");
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
