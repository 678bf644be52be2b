// The monitor under a service manager, in-process: ready once the pipe is open, the lane's colour,
// watchdog pings that stop while a worker hangs and come back when it turns again, and the stop.
// The manager is a datagram socket of the test; a worker hangs on the statistics lock the test
// holds, so nothing sleeps.
#include "monitor/acquisition/ServiceWatch.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <memory>
#include <string>
#include <thread>

#include "common/FakeClock.h"
#include "monitor/acquisition/TavrikApp.h"
#include "platform/DatagramListener.h"
#include "platform/NamedPipe.h"
#include "tests/support/TempLaneRoot.h"

namespace lane::monitor {
namespace {

using lane::testing::ReadWholeFile;
using lane::testing::TempLaneRoot;

constexpr int kRealTimeoutMs = 5000;
constexpr std::uint32_t kErrorTimeout = 1460;
// WatchdogSec=2: a thread that has not turned for a second withholds the ping.
constexpr const char* kWatchdogUs = "2000000";
constexpr std::int64_t kCheckMs = 1000;

class QuietMessageBox final : public platform::MessageBoxService {
  public:
    void Show(const std::string&, const std::string&, platform::MessageIcon) override {}
};

// Sets the service manager's variables for the test's life.
class ManagerEnvironment {
  public:
    ManagerEnvironment(const std::string& socket, const char* watchdogUs) {
        ::setenv("NOTIFY_SOCKET", socket.c_str(), 1);
        ::setenv("WATCHDOG_USEC", watchdogUs, 1);
        ::unsetenv("WATCHDOG_PID");
    }
    ~ManagerEnvironment() {
        ::unsetenv("NOTIFY_SOCKET");
        ::unsetenv("WATCHDOG_USEC");
    }
};

class ServiceWatchTest : public ::testing::Test {
  protected:
    ServiceWatchTest() {
        EXPECT_EQ(registry.SetValue(kSettingsKey, "LoggingState", platform::RegValue::Dword(2)),
                  0u);
    }

    // The next notification, "" when none came in time.
    std::string Next(std::int64_t timeoutMs = kRealTimeoutMs) {
        std::string datagram;
        return manager.Receive(datagram, timeoutMs) == 0 ? datagram : std::string();
    }
    // True once every watched thread waits for work (bounded): fake time runs ahead of threads
    // that the machine has not scheduled yet, which must not count as stuck.
    static bool AllWaiting(CTavrikView& view) {
        return Eventually([&view] {
            bool all = true;
            for (const WatchedThread& thread : view.WatchedThreads()) {
                all = all && thread.heartbeat->Read().state == Heartbeat::State::Waiting;
            }
            return all;
        });
    }
    // True once `holds` does (bounded, real time).
    template <typename Condition>
    static bool Eventually(Condition holds) {
        const auto deadline =
            std::chrono::steady_clock::now() + std::chrono::milliseconds(kRealTimeoutMs);
        while (std::chrono::steady_clock::now() < deadline) {
            if (holds()) {
                return true;
            }
            std::this_thread::yield();
        }
        return false;
    }
    // Moves the clock on to the monitor's next check, once it waits for it.
    void NextCheck() {
        const std::int64_t due = clock.TickMs() + kCheckMs;
        ASSERT_EQ(clock.AwaitDeadline([due](std::int64_t deadline) { return deadline == due; },
                                      kRealTimeoutMs),
                  due);
        clock.AdvanceMs(kCheckMs);
    }

    TempLaneRoot root;
    platform::LanePaths paths{root.Path()};
    platform::Registry registry{platform::Registry::DefaultHivePath(paths)};
    FakeClock clock{WallTime{1700000000, 0}};
    QuietMessageBox messageBox;
    ManualResetEvent stopRequested;
    platform::DatagramListener manager;
};

TEST_F(ServiceWatchTest, ReadyColourPingsWhileEveryThreadTurnsAndStopping) {
    {
        // Outside a service manager nothing is sent and nothing is checked.
        platform::ServiceNotifier outside;
        EXPECT_FALSE(outside.Listening());
        EXPECT_EQ(CServiceWatch(outside).CheckIntervalMs(), kInfiniteMs);
    }
    const std::string socket = (root / "notify").string();
    ASSERT_EQ(manager.Open(socket), 0u);
    const ManagerEnvironment environment(socket, kWatchdogUs);
    platform::ServiceNotifier notifier;
    ASSERT_TRUE(notifier.Listening());
    EXPECT_EQ(notifier.WatchdogTimeoutMs(), 2000);

    std::unique_ptr<platform::PipeServer> simulator;
    ASSERT_EQ(platform::ListenPipe(paths, kSimulatorPipeName, simulator), 0u);
    CTavrikApp app(ViewServices{clock, paths, registry, messageBox, stopRequested});
    app.SetServiceNotifier(&notifier);
    ASSERT_EQ(app.InitInstance({"-Test"}), CTavrikApp::InitResult::Run);
    auto connection = simulator->Accept(kRealTimeoutMs);
    ASSERT_TRUE(connection);
    int exitCode = -1;
    std::thread runner([&] { exitCode = app.Run(); });

    ASSERT_TRUE(AllWaiting(*app.View()));
    EXPECT_EQ(Next(), "READY=1");
    EXPECT_EQ(Next(), "STATUS=Lane Green");
    NextCheck();
    EXPECT_EQ(Next(), "WATCHDOG=1");

    CDeviceStatistics& statistics = app.View()->Statistics();
    {
        std::lock_guard<CDeviceStatistics> lock(statistics);
        statistics.StatusBillAcceptor = StatusColour::Red;
    }
    NextCheck();
    EXPECT_EQ(Next(), "STATUS=Lane Red");  // only when it changes
    EXPECT_EQ(Next(), "WATCHDOG=1");

    // The security module's worker takes a message and waits for the statistics lock we hold:
    // the next check still sees it freshly at work, the one after sees it stuck.
    statistics.lock();
    const Heartbeat& worker =
        app.View()->Monitors().Monitor(Device::SecurityModule).WorkerHeartbeat();
    app.View()->Monitors().Post(Device::SecurityModule, std::make_unique<MonitorMessage>());
    ASSERT_TRUE(Eventually([&worker] { return worker.Read().state == Heartbeat::State::Working; }));
    NextCheck();
    EXPECT_EQ(Next(), "WATCHDOG=1");
    NextCheck();
    EXPECT_EQ(Next(), "STATUS=Lane Red; not turning: security module monitor");
    NextCheck();
    EXPECT_EQ(Next(300), "");  // still hanging: no ping
    // It turns again: its batch ends and it waits for the next (and for its hourly timer); the
    // pings come back.
    statistics.unlock();
    ASSERT_TRUE(AllWaiting(*app.View()));
    NextCheck();
    EXPECT_EQ(Next(), "STATUS=Lane Red");
    EXPECT_EQ(Next(), "WATCHDOG=1");

    stopRequested.Set();
    EXPECT_EQ(Next(), "STOPPING=1");
    runner.join();
    EXPECT_EQ(exitCode, kExitNormal);
    std::string late;
    EXPECT_EQ(manager.Receive(late, 200), kErrorTimeout) << late;
    const std::string trace = ReadWholeFile(root / "c/tavrikitor.trc");
    EXPECT_NE(trace.find("** Watchdog pings withheld: not turning: security module monitor **"),
              std::string::npos)
        << trace;
    EXPECT_NE(trace.find("** Every monitor thread turns again; watchdog pings resume **"),
              std::string::npos);
}

}  // namespace
}  // namespace lane::monitor
