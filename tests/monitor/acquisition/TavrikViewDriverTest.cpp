// The view in driver mode, in-process against a fake security-module driver: the link start-up
// (driver open, port 7 open), the remote-monitor stream in the trace, the link shut-down at the
// stop, and a driver that refuses a handle.
#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <future>
#include <mutex>
#include <string>
#include <vector>

#include "common/FakeClock.h"
#include "monitor/acquisition/StartupTexts.h"
#include "monitor/acquisition/TavrikView.h"
#include "tests/monitor/acquisition/FakeModuleDriver.h"
#include "tests/support/TempLaneRoot.h"

namespace lane::monitor {
namespace {

using Bytes = std::vector<std::uint8_t>;
using lane::testing::ReadWholeFile;
using lane::testing::TempLaneRoot;

constexpr int kRealTimeoutMs = 5000;

class CountingMessageBox final : public platform::MessageBoxService {
  public:
    void Show(const std::string& text, const std::string&, platform::MessageIcon) override {
        std::lock_guard<std::mutex> lock(mutex_);
        shown_.push_back(text);
    }
    std::vector<std::string> Shown() {
        std::lock_guard<std::mutex> lock(mutex_);
        return shown_;
    }

  private:
    std::mutex mutex_;
    std::vector<std::string> shown_;
};

// The list's lines, with a bounded wait for one to appear.
class Lines {
  public:
    void Add(const TraceListItem& item) {
        std::lock_guard<std::mutex> lock(mutex_);
        lines_.push_back(item.message);
        changed_.notify_all();
    }
    bool WaitFor(const std::string& text) {
        std::unique_lock<std::mutex> lock(mutex_);
        return changed_.wait_for(lock, std::chrono::milliseconds(kRealTimeoutMs), [&] {
            return std::find(lines_.begin(), lines_.end(), text) != lines_.end();
        });
    }
    int Count(const std::string& text) {
        std::lock_guard<std::mutex> lock(mutex_);
        return static_cast<int>(std::count(lines_.begin(), lines_.end(), text));
    }

  private:
    std::mutex mutex_;
    std::condition_variable changed_;
    std::vector<std::string> lines_;
};

class TavrikViewDriverTest : public ::testing::Test {
  protected:
    TavrikViewDriverTest() {
        EXPECT_EQ(registry.SetValue(kSettingsKey, "LoggingState", platform::RegValue::Dword(2)),
                  0u);
    }

    std::unique_ptr<CTavrikView> MakeView() {
        RunFlags flags;
        flags.displayMode = true;
        auto view = std::make_unique<CTavrikView>(
            ViewServices{clock, paths, registry, messageBox, stopRequested}, flags);
        view->List().SetObserver([this](const TraceListItem& item) { lines.Add(item); });
        return view;
    }

    // StopMonitoring waits by the clock (the link's pause after closing port 7): the clock is
    // moved on until it has ended.
    bool Stop(CTavrikView& view) {
        auto stopped = std::async(std::launch::async, [&view] { view.StopMonitoring(); });
        for (int step = 0; step < 200; ++step) {
            if (stopped.wait_for(std::chrono::milliseconds(20)) == std::future_status::ready) {
                return true;
            }
            clock.AdvanceMs(100);
        }
        return stopped.wait_for(std::chrono::milliseconds(kRealTimeoutMs)) ==
               std::future_status::ready;
    }

    std::string TraceFile() const { return ReadWholeFile(root / "c/tavrikitor.trc"); }

    TempLaneRoot root;
    platform::LanePaths paths{root.Path()};
    platform::Registry registry{platform::Registry::DefaultHivePath(paths)};
    FakeClock clock{WallTime{1700000000, 0}};
    CountingMessageBox messageBox;
    ManualResetEvent stopRequested;
    Lines lines;
};

TEST_F(TavrikViewDriverTest, TracesTheRemoteMonitorStreamAndClosesPortSevenAtTheStop) {
    test::FakeModuleDriver driver(paths);
    ASSERT_TRUE(driver.Listening());
    auto view = MakeView();
    view->OnCreate();
    EXPECT_FALSE(view->SourceFailed());
    ASSERT_TRUE(lines.WaitFor("Remote Monitor Port (0x7) Opened"));
    EXPECT_EQ(driver.Opens(), 5);
    driver.SendRemoteMonitor({0x07, 0x06, 0x04, 0xA3, 0x01, 0xA2, 0x02, 0x59});
    ASSERT_TRUE(lines.WaitFor("A2 02  - Red Button Pressed"));

    ASSERT_TRUE(Stop(*view));
    // The link shut-down closes port 7, and the driver close sends its close again.
    EXPECT_EQ(driver.Written(),
              (std::vector<Bytes>{
                  {0x07, 0x02, 0x00, 0x09}, {0x07, 0x03, 0x00, 0x0A}, {0x07, 0x03, 0x00, 0x0A}}));
    EXPECT_EQ(lines.Count("Remote Monitor Port (0x7) Opened"), 1);
    const std::string trace = TraceFile();
    for (const char* line :
         {" : *** RemoteMonitorPortRead - IO Pending\n", " : Remote Monitor Port (0x7) Opened\n",
          " : USB Data Packet Received...Length = 4\n", " : 4 bytes rec'd from SecMod\n",
          " : (A3 01 A2 02 ) -- Raw Input --\n", " : A3 01  - Lane Light On\n",
          " : A2 02  - Red Button Pressed\n", " : Close TMCB Ports...\n",
          " : Release Handles...\n"}) {
        EXPECT_NE(trace.find(line), std::string::npos) << line;
    }
    EXPECT_LT(trace.find("IO Pending"), trace.find("Remote Monitor Port (0x7) Opened"));
    EXPECT_TRUE(messageBox.Shown().empty());
    view.reset();
}

TEST_F(TavrikViewDriverTest, AHandleTheDriverRefusesStopsWithTheInitialisationError) {
    test::FakeModuleDriver driver(paths);
    driver.RefuseOpen(3, 32);
    auto view = MakeView();
    view->OnCreate();
    EXPECT_TRUE(view->SourceFailed());
    EXPECT_TRUE(view->QuitRequested().IsSet());
    EXPECT_EQ(messageBox.Shown(), (std::vector<std::string>{kErrorInitializingMonitor}));
    EXPECT_TRUE(driver.Written().empty());
    const std::string trace = TraceFile();
    EXPECT_NE(trace.find(" : Error Opending Security Module ( hDevice_Write_SerialPortData ) "
                         "RtnValue: 0x20 )\n"),
              std::string::npos);
    EXPECT_NE(trace.find(" : Error Opening USB Device Driver\n"), std::string::npos);
    EXPECT_NE(trace.find(" :   ** Error Initializing Orvel Monitor:  **\n"), std::string::npos);
}

}  // namespace
}  // namespace lane::monitor
