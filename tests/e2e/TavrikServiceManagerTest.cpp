// Tavrik started by a service manager: its notifications reach the manager's socket, from the
// start to the stop.
#include "platform/DatagramListener.h"
#include "tests/e2e/EndToEnd.h"

namespace lane::e2e {
namespace {

constexpr const char* kIdleScenario = R"(
connect within 20000
send A3 01
expect DE AD BE EF FF FF within 60000
)";

class TavrikServiceManagerTest : public LaneTest {
  protected:
    std::string Next() {
        std::string datagram;
        return manager.Receive(datagram, kLineTimeoutMs) == 0 ? datagram : std::string();
    }
    platform::DatagramListener manager;
};

TEST_F(TavrikServiceManagerTest, ReadyStatusWatchdogAndStoppingReachTheManager) {
    const std::string socket = (root / "notify").string();
    ASSERT_EQ(manager.Open(socket), 0u);
    StartLanesim(kIdleScenario);
    auto environment = Environment();
    environment.emplace_back("NOTIFY_SOCKET", socket);
    environment.emplace_back("WATCHDOG_USEC", "2000000");  // a check every second
    platform::ChildProcess tavrik;
    ASSERT_EQ(tavrik.Start(BinaryPath("monitor/Tavrik"), {"-Test"}, environment), 0u);
    EXPECT_EQ(Next(), "READY=1");
    EXPECT_EQ(Next(), "STATUS=Lane Green");
    EXPECT_EQ(Next(), "WATCHDOG=1");
    ASSERT_EQ(tavrik.Terminate(), 0u);
    // Pings that were due before the stop may come first.
    std::string notification = Next();
    while (notification == "WATCHDOG=1") {
        notification = Next();
    }
    EXPECT_EQ(notification, "STOPPING=1");
    EXPECT_EQ(ExitCode(tavrik), 0);
    EXPECT_EQ(ExitCode(lanesim), 0);
}

}  // namespace
}  // namespace lane::e2e
