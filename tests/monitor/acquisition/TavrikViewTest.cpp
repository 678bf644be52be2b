// The view in-process: start-up against a simulator pipe, the trace file, the start and stop
// bytes, losing the simulator, and the failed starts.
#include "monitor/acquisition/TavrikView.h"

#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

#include "common/FakeClock.h"
#include "monitor/acquisition/MonitorReader.h"
#include "monitor/acquisition/StartupTexts.h"
#include "monitor/ui/ReportingDialog.h"
#include "monitor/ui/TracingDialog.h"
#include "platform/NamedPipe.h"
#include "platform/SystemError.h"
#include "tests/support/TempLaneRoot.h"

namespace lane::monitor {
namespace {

using lane::testing::ReadWholeFile;
using lane::testing::TempLaneRoot;

constexpr int kRealTimeoutMs = 5000;

struct ShownBox {
    std::string text;
    std::string caption;
};

class FakeMessageBox final : public platform::MessageBoxService {
  public:
    void Show(const std::string& text, const std::string& caption, platform::MessageIcon) override {
        std::function<void()> action;
        {
            std::lock_guard<std::mutex> lock(mutex);
            shown.push_back(ShownBox{text, caption});
            action = onShow;
        }
        if (action) {
            action();
        }
    }
    std::vector<ShownBox> Shown() {
        std::lock_guard<std::mutex> lock(mutex);
        return shown;
    }
    std::mutex mutex;
    std::vector<ShownBox> shown;
    std::function<void()> onShow;
};

// Collects the list's lines and lets a test wait, bounded, for one to appear.
class LineWatcher {
  public:
    void Add(const TraceListItem& item) {
        std::lock_guard<std::mutex> lock(mutex_);
        lines_.push_back(item.message);
        changed_.notify_all();
    }
    bool WaitFor(const std::string& text) {
        std::unique_lock<std::mutex> lock(mutex_);
        return changed_.wait_for(lock, std::chrono::milliseconds(kRealTimeoutMs), [&] {
            for (const auto& line : lines_) {
                if (line == text) {
                    return true;
                }
            }
            return false;
        });
    }

  private:
    std::mutex mutex_;
    std::condition_variable changed_;
    std::vector<std::string> lines_;
};

// Reads from a simulator connection until `count` bytes have come or the time is up.
std::vector<std::uint8_t> ReadBytes(platform::PipeConnection& connection, std::size_t count) {
    std::vector<std::uint8_t> bytes;
    std::uint8_t buffer[64];
    const auto deadline =
        std::chrono::steady_clock::now() + std::chrono::milliseconds(kRealTimeoutMs);
    while (bytes.size() < count && std::chrono::steady_clock::now() < deadline) {
        const long got = connection.Read(buffer, sizeof buffer, 100);
        if (got < 0) {
            break;
        }
        bytes.insert(bytes.end(), buffer, buffer + got);
    }
    return bytes;
}

class TavrikViewTest : public ::testing::Test {
  protected:
    TavrikViewTest() {
        EXPECT_EQ(registry.SetValue(kSettingsKey, "LoggingState", platform::RegValue::Dword(2)),
                  0u);
    }

    std::unique_ptr<CTavrikView> MakeView(bool simulatorMode) {
        RunFlags flags;
        flags.simulatorMode = simulatorMode;
        flags.displayMode = true;
        auto view = std::make_unique<CTavrikView>(
            ViewServices{clock, paths, registry, messageBox, stopRequested}, flags);
        view->List().SetObserver([this](const TraceListItem& item) { watcher.Add(item); });
        return view;
    }
    std::unique_ptr<platform::PipeServer> Listen() {
        std::unique_ptr<platform::PipeServer> server;
        EXPECT_EQ(platform::ListenPipe(paths, kSimulatorPipeName, server), 0u);
        return server;
    }
    std::string TraceFile() const { return ReadWholeFile(root / "c/tavrikitor.trc"); }

    TempLaneRoot root;
    platform::LanePaths paths{root.Path()};
    platform::Registry registry{platform::Registry::DefaultHivePath(paths)};
    FakeClock clock{WallTime{1700000000, 0}};
    FakeMessageBox messageBox;
    ManualResetEvent stopRequested;
    LineWatcher watcher;
};

TEST_F(TavrikViewTest, TracesTheSimulatorStreamAndSendsStartAndStopBytes) {
    auto server = Listen();
    auto view = MakeView(true);
    view->OnCreate();
    auto connection = server->Accept(kRealTimeoutMs);
    ASSERT_TRUE(connection);
    EXPECT_EQ(ReadBytes(*connection, 6),
              (std::vector<std::uint8_t>{0x02, 0x56, 0x03, 0x02, 0x48, 0x03}));

    const std::uint8_t packet[] = {0xA3, 0x01, 0xA2, 0x02};
    ASSERT_TRUE(connection->Write(packet, sizeof packet));
    ASSERT_TRUE(watcher.WaitFor("A2 02  - Red Button Pressed"));
    // The pipe is read ahead in large pieces, but each read still takes at most 100 bytes.
    std::vector<std::uint8_t> lights;
    for (int i = 0; i < 125; ++i) {
        lights.insert(lights.end(), {0xA3, 0x01});
    }
    ASSERT_TRUE(connection->Write(lights.data(), lights.size()));
    ASSERT_TRUE(watcher.WaitFor("50 bytes rec'd from SecMod"));
    view->StopMonitoring();
    EXPECT_EQ(ReadBytes(*connection, 6),
              (std::vector<std::uint8_t>{0xDE, 0xAD, 0xBE, 0xEF, 0xFF, 0xFF}));

    const std::string trace = TraceFile();
    EXPECT_NE(trace.find(" : 4 bytes rec'd from SecMod\n"), std::string::npos);
    EXPECT_NE(trace.find(" : (A3 01 A2 02 ) -- Raw Input --\n"), std::string::npos);
    EXPECT_NE(trace.find(" : A3 01  - Lane Light On\n"), std::string::npos);
    EXPECT_NE(trace.find(" : A2 02  - Red Button Pressed\n"), std::string::npos);
    EXPECT_LT(trace.find("Lane Light On"), trace.find("Red Button Pressed"));
    const auto count = [&trace](const std::string& text) {
        std::size_t n = 0;
        for (auto at = trace.find(text); at != std::string::npos; at = trace.find(text, at + 1)) {
            ++n;
        }
        return n;
    };
    EXPECT_EQ(count(" : 100 bytes rec'd from SecMod\n"), 2u) << trace;
    EXPECT_EQ(count(" : 50 bytes rec'd from SecMod\n"), 1u);
    EXPECT_EQ(count(" : A3 01  - Lane Light On\n"), 126u);
    EXPECT_TRUE(messageBox.Shown().empty());
}

TEST_F(TavrikViewTest, ReopensTheLostPipeEveryTwoAndAHalfSeconds) {
    auto server = Listen();
    auto view = MakeView(true);
    view->OnCreate();
    auto first = server->Accept(kRealTimeoutMs);
    ASSERT_TRUE(first);
    ReadBytes(*first, 6);
    server.reset();  // nobody listens any more
    first->Close();
    // A read that was pending fails and the reader pauses 250 ms first; the next read finds the
    // pipe gone, and from then on the reader tries to reopen it every 2.5 s. (The monitors' and
    // the report's timers wait on the same clock, much further ahead.)
    const std::int64_t start = clock.TickMs();
    const auto pauseOrReopen = [&](std::int64_t deadline) {
        return deadline == start + 250 || deadline == start + 2500;
    };
    std::int64_t deadline = clock.AwaitDeadline(pauseOrReopen, kRealTimeoutMs);
    ASSERT_NE(deadline, kInfiniteMs);
    if (deadline == start + 250) {
        clock.AdvanceMs(250);
        deadline = clock.AwaitDeadline([&](std::int64_t due) { return due == start + 250 + 2500; },
                                       kRealTimeoutMs);
        ASSERT_NE(deadline, kInfiniteMs);
    }
    // Nobody listens yet: after 2.5 s the reader tries again and waits another 2.5 s.
    clock.AdvanceMs(deadline - clock.TickMs());
    const std::int64_t retry = clock.TickMs() + 2500;
    ASSERT_EQ(clock.AwaitDeadline([&](std::int64_t due) { return due == retry; }, kRealTimeoutMs),
              retry);
    server = Listen();
    clock.AdvanceMs(2499);
    EXPECT_FALSE(server->Accept(200));
    clock.AdvanceMs(1);
    auto second = server->Accept(kRealTimeoutMs);
    ASSERT_TRUE(second);
    const std::uint8_t packet[] = {0xA7, 0x02};
    ASSERT_TRUE(second->Write(packet, sizeof packet));
    EXPECT_TRUE(watcher.WaitFor("A7 02  - Sensor Blocked"));
    view->StopMonitoring();
}

TEST_F(TavrikViewTest, AFrameLeftUnfinishedByALostConnectionDiesWithIt) {
    auto server = Listen();
    auto view = MakeView(true);
    view->OnCreate();
    auto first = server->Accept(kRealTimeoutMs);
    ASSERT_TRUE(first);
    ReadBytes(*first, 6);
    // A coin acceptor frame announces five data bytes; the connection ends after one.
    const std::uint8_t unfinished[] = {0xA8, 0x01, 0x05, 0x11};
    ASSERT_TRUE(first->Write(unfinished, sizeof unfinished));
    ASSERT_TRUE(watcher.WaitFor("4 bytes rec'd from SecMod"));
    const std::int64_t start = clock.TickMs();
    first->Close();
    // A read that was pending fails and the reader pauses 250 ms first; the read that finds the
    // pipe lost reopens it at once, since the simulator still listens: no 2.5 s go by.
    std::unique_ptr<platform::PipeConnection> second;
    bool paused = false;
    for (int attempt = 0; attempt < kRealTimeoutMs / 200 && !second; ++attempt) {
        second = server->Accept(100);
        if (!second && !paused &&
            clock.AwaitDeadline([&](std::int64_t due) { return due == start + 250; }, 100) ==
                start + 250) {
            paused = true;
            clock.AdvanceMs(250);
        }
    }
    ASSERT_TRUE(second);
    EXPECT_LE(clock.TickMs(), start + 250);
    const std::uint8_t presses[] = {0xA2, 0x01, 0xA2, 0x01, 0xA2, 0x01};
    ASSERT_TRUE(second->Write(presses, sizeof presses));
    ASSERT_TRUE(watcher.WaitFor("6 bytes rec'd from SecMod"));
    view->StopMonitoring();

    const std::string trace = TraceFile();
    const auto count = [&trace](const std::string& text) {
        std::size_t n = 0;
        for (auto at = trace.find(text); at != std::string::npos; at = trace.find(text, at + 1)) {
            ++n;
        }
        return n;
    };
    EXPECT_EQ(count("A2 01  - Green Button Pressed"), 3u) << trace;
    EXPECT_EQ(count(" : A8 01 05 11  ** UNKNOWN MESSAGE **\n"), 1u) << trace;
    EXPECT_EQ(count(std::string("  ** ") + kPipeLostNote + " **"), 1u);
    EXPECT_EQ(count(std::string("  ** ") + kPipeReopenedNote + " **"), 1u);
    EXPECT_LT(trace.find(kPipeLostNote), trace.find("A8 01 05 11  ** UNKNOWN"));
    EXPECT_LT(trace.find(kPipeReopenedNote), trace.find("Green Button Pressed"));
}

TEST_F(TavrikViewTest, AsksForTheSimulatorUntilItListens) {
    std::unique_ptr<platform::PipeServer> server;
    int shows = 0;
    messageBox.onShow = [&] {
        if (++shows == 3) {
            server = Listen();
        }
    };
    auto view = MakeView(true);
    view->OnCreate();
    ASSERT_TRUE(server);
    auto connection = server->Accept(kRealTimeoutMs);
    ASSERT_TRUE(connection);
    const auto boxes = messageBox.Shown();
    ASSERT_EQ(boxes.size(), 3u);
    for (const auto& box : boxes) {
        EXPECT_EQ(box.text, "Simulator not running.  Start and click OK!");
        EXPECT_EQ(box.caption, "TAVRIK Startup Error");
    }
    EXPECT_FALSE(view->SourceFailed());
    view->StopMonitoring();
}

TEST_F(TavrikViewTest, ASimulatorThatNeverAcceptsFailsTheStartInsteadOfHangingIt) {
    std::unique_ptr<platform::PipeServer> server;
    ASSERT_EQ(platform::ListenPipe(paths, kSimulatorPipeName, server, 1), 0u);
    // Other clients fill the server's waiting room; it never takes them.
    std::vector<std::unique_ptr<platform::PipeClient>> waiting;
    for (std::uint32_t error = 0; error == 0 && waiting.size() < 8;) {
        waiting.emplace_back();
        error = platform::OpenPipeClient(paths, kSimulatorPipeName, waiting.back());
    }
    auto view = MakeView(true);
    view->OnCreate();
    EXPECT_TRUE(view->SourceFailed());
    EXPECT_TRUE(view->QuitRequested().IsSet());
    const auto shown = messageBox.Shown();
    ASSERT_EQ(shown.size(), 2u);
    EXPECT_EQ(shown[0].text, platform::SystemErrorText(platform::kErrorPipeBusy));
    EXPECT_EQ(shown[1].text, kErrorInitializingMonitor);
}

TEST_F(TavrikViewTest, AStopRequestEndsTheWaitForTheSimulator) {
    messageBox.onShow = [&] { stopRequested.Set(); };
    auto view = MakeView(true);
    view->OnCreate();
    EXPECT_TRUE(view->SourceFailed());
    EXPECT_TRUE(view->QuitRequested().IsSet());
    EXPECT_EQ(messageBox.Shown().size(), 1u);
}

TEST_F(TavrikViewTest, DriverModeWithoutADriverStopsWithTheInitialisationError) {
    auto view = MakeView(false);
    view->OnCreate();
    EXPECT_TRUE(view->SourceFailed());
    EXPECT_TRUE(view->QuitRequested().IsSet());
    const auto boxes = messageBox.Shown();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].text, "Error Initializing Orvel Monitor: ");
    EXPECT_EQ(boxes[0].caption, "TAVRIK Startup Error");
    EXPECT_NE(TraceFile().find(" :   ** Error Initializing Orvel Monitor:  **\n"),
              std::string::npos);
}

TEST_F(TavrikViewTest, FirstStartWritesEverySettingBack) {
    auto view = MakeView(false);
    std::vector<std::pair<std::string, platform::RegValue>> values;
    ASSERT_EQ(registry.ReadKey(kSettingsKey, values), 0u);
    bool sawSwitch = false;
    for (const auto& [name, value] : values) {
        if (name == "MonitorBillDispenser") {
            sawSwitch = value.text == "true";
        }
    }
    EXPECT_TRUE(sawSwitch);
    EXPECT_EQ(view->Settings().LoggingState, 2u);
    EXPECT_EQ(view->Settings().MaxLogSize, 40u);
}

// The tracing dialog's OK in a running view: Stop writes what was pending and closes the file;
// Start on a new name appends there; a reporting change is stored at once.
TEST_F(TavrikViewTest, TracingDialogSwitchesTheTraceFileOfTheRunningView) {
    auto server = Listen();
    auto view = MakeView(true);
    view->OnCreate();
    auto connection = server->Accept(kRealTimeoutMs);
    ASSERT_TRUE(connection);
    ASSERT_EQ(ReadBytes(*connection, 6).size(), 6u);
    const auto opener = [&view](const std::string& path,
                                std::unique_ptr<platform::SharedFile>& file, std::string& reason) {
        return view->OpenTraceFileAtEnd(path, file, reason);
    };
    // Sends a packet, waits for its line in the list and lets the reader's pause pass, after
    // which it hands its lines over to the trace queue.
    const auto send = [&](std::vector<std::uint8_t> bytes, const std::string& line) {
        ASSERT_TRUE(connection->Write(bytes.data(), bytes.size()));
        ASSERT_TRUE(watcher.WaitFor(line));
        const std::int64_t pauseEnd = clock.TickMs() + kHandOverDelayMs;
        ASSERT_EQ(clock.AwaitDeadline([&](std::int64_t deadline) { return deadline == pauseEnd; }),
                  pauseEnd);
        clock.AdvanceMs(kHandOverDelayMs);
    };
    send({0xA3, 0x01}, "A3 01  - Lane Light On");

    SettingsBlock block = view->CopySettingsBlock();
    EXPECT_TRUE(block.traceFileOpen);
    CTracingDialog stop(std::move(block), opener);
    EXPECT_EQ(stop.Click(kIdTraceStartStop), "");
    view->ApplySettingsBlock(stop.TakeBlock());
    EXPECT_NE(TraceFile().find(" : A3 01  - Lane Light On\n"), std::string::npos);
    send({0xA2, 0x02}, "A2 02  - Red Button Pressed");

    CTracingDialog start(view->CopySettingsBlock(), opener);
    start.ChangeText(kIdTraceFileNameButton, "c:\\second.trc");
    EXPECT_EQ(start.Click(kIdTraceStartStop), "");
    view->ApplySettingsBlock(start.TakeBlock());
    CReportingDialog reporting(view->CopySettingsBlock());
    reporting.ChangeText(kIdReportInterval, "0");
    view->ApplySettingsBlock(reporting.TakeBlock());
    send({0xA0, 0x01, 0x03, 0x45, 0x4E, 0x44}, "A0 01 [03] 45 4E 44  - Security Module Debug Data");
    view->StopMonitoring();

    const std::string first = TraceFile();
    EXPECT_EQ(first.find("Red Button Pressed"), std::string::npos);
    EXPECT_EQ(first.find("Security Module Debug Data"), std::string::npos);
    const std::string second = ReadWholeFile(root / "c/second.trc");
    EXPECT_EQ(second.find("Lane Light On"), std::string::npos);
    EXPECT_EQ(second.find("Red Button Pressed"), std::string::npos);
    EXPECT_NE(second.find(" : A0 01 [03] 45 4E 44  - Security Module Debug Data\n"),
              std::string::npos);
    MonitorSettings stored;
    LoadSettings(registry, stored);
    EXPECT_EQ(stored.LoggingState, 2u);
    EXPECT_EQ(stored.TraceFileName, "c:\\second.trc");
    EXPECT_EQ(stored.ReportingIntervalMinutes, 1u);
    EXPECT_TRUE(messageBox.Shown().empty());
    // After the stop a dialog's OK changes nothing.
    SettingsBlock late = view->CopySettingsBlock();
    late.settings.ReportCopies = 9;
    view->ApplySettingsBlock(std::move(late));
    EXPECT_EQ(view->Settings().ReportCopies, 3u);
}

}  // namespace
}  // namespace lane::monitor
