// Tavrik ends in order, statistics saved, on every stop signal, reloads its settings on SIGHUP,
// and outlives a reader of its list that went away.
#include "tests/e2e/EndToEnd.h"

namespace lane::e2e {
namespace {

// Keeps the monitor connected until it sends its stop bytes.
constexpr const char* kIdleScenario = R"(
connect within 20000
send A3 01
expect DE AD BE EF FF FF within 60000
)";

// Runs Tavrik (the script's $0) in the background and passes the test's SIGTERM on to it as
// signal $1; ends with Tavrik's exit status. A script's background command starts with SIGINT and
// SIGQUIT ignored, which Tavrik would keep: env gives them back their default.
constexpr const char* kForwardSignal = R"(env --default-signal=INT,QUIT "$0" -Test -Debug &
pid=$!
trap 'kill -s "$1" "$pid"' TERM
wait "$pid"
wait "$pid"
)";

// As above, with Tavrik's list read by `head -n 1` through a named pipe ($2): the reader ends
// after the first line, and later writes of the list find nobody reading. The test's SIGTERM
// and SIGUSR1 (a status report, which writes a line to the list) are passed on to Tavrik.
constexpr const char* kClosedOutput = R"(mkfifo "$2"
head -n 1 <"$2" &
"$0" -Test -Debug >"$2" &
pid=$!
trap 'kill -s TERM "$pid"' TERM
trap 'kill -s USR1 "$pid"' USR1
status=0
while kill -0 "$pid" 2>/dev/null; do
    wait "$pid"
    status=$?
done
exit "$status"
)";

constexpr const char* kValuesKey = "SOFTWARE\\Quarnel\\Tavrik\\Values";
constexpr const char* kCommunicated = "SecModLastTimeCommunicated";

class TavrikSignalsTest : public LaneTest {
  protected:
    // The time the security module was last heard from, as the stop saved it.
    std::string SavedCommunicatedTime() {
        platform::RegValue value;
        if (registry.QueryValue(kValuesKey, kCommunicated, value) != 0) {
            return "";
        }
        return value.text;
    }
    void ExpectOrderlyStop(platform::ChildProcess& shell) {
        EXPECT_EQ(ExitCode(shell), 0);
        EXPECT_EQ(ExitCode(lanesim), 0);  // the stop bytes came
        const std::string saved = SavedCommunicatedTime();
        EXPECT_FALSE(saved.empty());
        EXPECT_NE(saved, "1980-01-01 00:00:00");
    }
};

TEST_F(TavrikSignalsTest, QuitAndAlarmStopInOrderLikeTerminate) {
    for (const char* signal : {"QUIT", "ALRM"}) {
        SCOPED_TRACE(signal);
        if (!SavedCommunicatedTime().empty()) {  // left by the signal before
            ASSERT_EQ(registry.DeleteValue(kValuesKey, kCommunicated), 0u);
        }
        StartLanesim(kIdleScenario);
        platform::ChildProcess shell;
        ASSERT_EQ(
            shell.Start("/bin/sh", {"-c", kForwardSignal, BinaryPath("monitor/Tavrik"), signal},
                        Environment()),
            0u);
        ASSERT_TRUE(ReadUntil(shell, "A3 01  - Lane Light On"));
        ASSERT_EQ(shell.Terminate(), 0u);
        ExpectOrderlyStop(shell);
    }
}

TEST_F(TavrikSignalsTest, HangUpReloadsWhatStaffChangedWithLaneregWithoutARestart) {
    StartLanesim(kIdleScenario);
    platform::ChildProcess tavrik;
    ASSERT_EQ(StartTavrik(tavrik, {"-Test", "-Debug"}), 0u);
    ASSERT_TRUE(ReadUntil(tavrik, "A3 01  - Lane Light On"));
    // Staff move the status report and switch the coin acceptor off, then ask for the reload.
    for (const auto& [name, data] : {std::pair{"LogFileName", "c:\\reloaded.log"},
                                     std::pair{"MonitorCoinAcceptor", "false"}}) {
        platform::ChildProcess lanereg;
        ASSERT_EQ(
            lanereg.Start(BinaryPath("tools/reg/lanereg"),
                          {"add", "HKLM\\SOFTWARE\\Quarnel\\Tavrik", "/v", name, "/d", data, "/f"},
                          Environment()),
            0u);
        EXPECT_EQ(ExitCode(lanereg), 0);
    }
    ASSERT_EQ(tavrik.SendReloadRequest(), 0u);
    ASSERT_TRUE(
        ReadUntil(tavrik,
                  "** Settings reloaded from the registry: LogFileName=\"c:\\reloaded.log\" "
                  "MonitorCoinAcceptor=false **"));
    // The running monitor acts on it: the report goes to the new file.
    ASSERT_EQ(tavrik.SendServiceRequest(), 0u);
    ASSERT_TRUE(ReadUntil(tavrik, "** Status report written on request **"));
    EXPECT_NE(testing::ReadWholeFile(root / "c/reloaded.log").find("System Status"),
              std::string::npos);
    EXPECT_FALSE(std::filesystem::exists(root / "c/tavrik.log"));
    // A second reload with nothing changed says so.
    ASSERT_EQ(tavrik.SendReloadRequest(), 0u);
    ASSERT_TRUE(ReadUntil(tavrik, "** Settings reloaded from the registry: nothing changed **"));
    ASSERT_EQ(tavrik.Terminate(), 0u);
    ExpectOrderlyStop(tavrik);
    // The stop saved the reloaded settings, not the ones it started with.
    platform::RegValue value;
    ASSERT_EQ(registry.QueryValue("SOFTWARE\\Quarnel\\Tavrik", "LogFileName", value), 0u);
    EXPECT_EQ(value.text, "c:\\reloaded.log");
}

TEST_F(TavrikSignalsTest, AListReaderThatWentAwayIsReportedAndMonitoringGoesOn) {
    StartLanesim(kIdleScenario);
    platform::ChildProcess shell;
    ASSERT_EQ(shell.Start("/bin/sh",
                          {"-c", kClosedOutput, BinaryPath("monitor/Tavrik"), "TERM",
                           (root / "list.fifo").string()},
                          Environment(), true),
              0u);
    ASSERT_TRUE(ReadUntil(shell, "2 bytes rec'd from SecMod"));  // head's one line
    // Each report request writes a line to the list; once head has gone, a write fails.
    bool told = false;
    for (int request = 0; request < 20 && !told; ++request) {
        ASSERT_EQ(shell.SendServiceRequest(), 0u);
        told = ReadUntil(shell, "Tavrik: standard output is closed", nullptr, 1000);
    }
    EXPECT_TRUE(told);
    ASSERT_EQ(shell.Terminate(), 0u);
    // Still running after the failed writes: it stops in order now.
    ExpectOrderlyStop(shell);
}

}  // namespace
}  // namespace lane::e2e
