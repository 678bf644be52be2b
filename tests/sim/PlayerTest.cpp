// Tests of the player against a real monitor-side pipe client, on the fake clock.
#include "sim/Player.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <thread>

#include "common/FakeClock.h"
#include "platform/SystemError.h"
#include "sim/PipeFace.h"
#include "sim/Record.h"
#include "tests/sim/SimTestSupport.h"

namespace lane::sim {
namespace {

using test::Bytes;
using test::kBoundMs;
using test::MonitorEnd;

class PlayerTest : public ::testing::Test {
  protected:
    PlayerTest() : paths_(root_.Path()) {}
    ~PlayerTest() override {
        stop_.Set();
        if (thread_.joinable()) {
            thread_.join();
        }
    }

    void Start(const std::string& text, double speed = 1.0) {
        ScenarioError error;
        ASSERT_EQ(ParseScenario(text, scenario_, error), kScenarioOk) << error.message;
        std::unique_ptr<platform::PipeServer> server;
        ASSERT_EQ(platform::ListenPipe(paths_, kSimulatorPipeName, server), 0u);
        ASSERT_EQ(record_.Open(root_.File("record.txt")), 0);
        face_ = std::make_unique<PipeFace>(std::move(server), record_);
        player_ = std::make_unique<Player>(scenario_, *face_, clock_, stop_, speed);
        thread_ = std::thread([this] {
            result_ = player_->Run(message_);
            finished_.Set();
        });
    }

    std::unique_ptr<platform::PipeClient> Connect() {
        std::unique_ptr<platform::PipeClient> client;
        EXPECT_EQ(platform::OpenPipeClient(paths_, kSimulatorPipeName, client), 0u);
        return client;
    }

    // Waits for the player to end and returns its result (-1 when it did not end in time).
    int Result() {
        if (!WaitFor(realClock_, finished_, kBoundMs)) {
            return -1;
        }
        thread_.join();
        return result_;
    }

    // Lets the player's current clock wait begin, then moves the clock on.
    void Advance(std::int64_t stepMs) {
        ASSERT_TRUE(clock_.AwaitWaiters(1, static_cast<int>(kBoundMs)));
        clock_.AdvanceMs(stepMs);
    }

    std::string RecordText() const { return test::ReadText(root_.File("record.txt")); }

    RecordedBytes Recorded() const {
        RecordedBytes connections;
        int badLine = 0;
        EXPECT_EQ(ReadRecord(RecordText(), connections, badLine), kRecordOk) << badLine;
        return connections;
    }

    test::TemporaryRoot root_;
    platform::LanePaths paths_;
    FakeClock clock_;
    RealClock realClock_;
    ManualResetEvent stop_;
    RecordWriter record_;
    Scenario scenario_;
    std::unique_ptr<PipeFace> face_;
    std::unique_ptr<Player> player_;
    std::thread thread_;
    ManualResetEvent finished_;
    int result_ = -1;
    std::string message_;
};

TEST_F(PlayerTest, PlaysPacketsInOrderAndRecordsTheMonitor) {
    Start(
        "expect 02 56 03 02 48 03\n"
        "send A3 01\n"
        "send A2 01\n"
        "send A5 01\n");
    auto client = Connect();
    MonitorEnd monitor(*client);
    EXPECT_TRUE(monitor.NothingWaiting());  // nothing is sent before the start bytes

    monitor.Write({0x02, 0x56, 0x03});
    monitor.Write({0x02, 0x48, 0x03});
    EXPECT_EQ(monitor.Read(6), (Bytes{0xA3, 0x01, 0xA2, 0x01, 0xA5, 0x01}));

    // After the last step the connection stays open and recorded until the monitor closes it.
    monitor.Write({0xDE, 0xAD, 0xBE, 0xEF});
    monitor.Write({0xFF, 0xFF});
    client->Close();
    EXPECT_EQ(Result(), kPlayDone);

    const RecordedBytes recorded = Recorded();
    ASSERT_EQ(recorded.size(), 1u);
    EXPECT_EQ(recorded.at(1),
              (Bytes{0x02, 0x56, 0x03, 0x02, 0x48, 0x03, 0xDE, 0xAD, 0xBE, 0xEF, 0xFF, 0xFF}));
    const std::string text = RecordText();
    EXPECT_EQ(text.rfind("# 1 opened\n", 0), 0u) << text;
    EXPECT_NE(text.find("\n# 1 closed by the monitor\n"), std::string::npos) << text;
}

TEST_F(PlayerTest, DelaysWaitOnTheClockDividedBySpeed) {
    Start(
        "send A5 01\n"
        "delay 1000\n"
        "repeat 3\n"
        "  send A6 01\n"
        "end\n"
        "send A5 02\n"
        "hold 0\n",
        10.0);
    auto client = Connect();
    MonitorEnd monitor(*client);
    EXPECT_EQ(monitor.Read(2), (Bytes{0xA5, 0x01}));
    EXPECT_TRUE(monitor.NothingWaiting());
    Advance(100);
    EXPECT_EQ(monitor.Read(8), (Bytes{0xA6, 0x01, 0xA6, 0x01, 0xA6, 0x01, 0xA5, 0x02}));
    EXPECT_EQ(Result(), kPlayDone);
}

TEST_F(PlayerTest, DropClosesTheConnectionAndTheNextOneContinues) {
    Start(
        "expect 02 56 03\n"
        "send A3 01\n"
        "drop within 5000\n"
        "expect 02 48 03\n"
        "send A2 01\n"
        "hold 0\n");
    auto first = Connect();
    MonitorEnd firstMonitor(*first);
    firstMonitor.Write({0x02, 0x56, 0x03});
    EXPECT_EQ(firstMonitor.Read(2), (Bytes{0xA3, 0x01}));
    EXPECT_EQ(firstMonitor.ReadUntilFailure(), platform::kErrorPipeNotConnected);

    auto second = Connect();
    MonitorEnd secondMonitor(*second);
    secondMonitor.Write({0x02, 0x48, 0x03});
    EXPECT_EQ(secondMonitor.Read(2), (Bytes{0xA2, 0x01}));
    EXPECT_EQ(Result(), kPlayDone);
    face_.reset();
    EXPECT_EQ(secondMonitor.ReadUntilFailure(), platform::kErrorPipeNotConnected);

    const RecordedBytes recorded = Recorded();
    EXPECT_EQ(recorded.at(1), (Bytes{0x02, 0x56, 0x03}));
    EXPECT_EQ(recorded.at(2), (Bytes{0x02, 0x48, 0x03}));
    const std::string text = RecordText();
    EXPECT_NE(text.find("# 1 dropped\n# 2 opened\n"), std::string::npos) << text;
    EXPECT_NE(text.find("# 2 closed at the end\n"), std::string::npos) << text;
    EXPECT_EQ(text.find("closed by the monitor"), std::string::npos) << text;
}

TEST_F(PlayerTest, PacketsForAMonitorThatLeftGoToItsNextConnection) {
    Start(
        "send A3 01\n"
        "delay 1000\n"
        "send A2 01\n"
        "hold 0\n");
    {
        auto first = Connect();
        MonitorEnd monitor(*first);
        EXPECT_EQ(monitor.Read(2), (Bytes{0xA3, 0x01}));
    }
    Advance(1000);
    auto second = Connect();
    MonitorEnd monitor(*second);
    EXPECT_EQ(monitor.Read(2), (Bytes{0xA2, 0x01}));
    EXPECT_EQ(Result(), kPlayDone);
    EXPECT_NE(RecordText().find("# 1 closed by the monitor\n# 2 opened\n"), std::string::npos)
        << RecordText();
}

TEST_F(PlayerTest, TheEndHoldsTheConnectionForTheHoldTime) {
    Start("send A3 01\nhold 3000\n");
    auto client = Connect();
    MonitorEnd monitor(*client);
    EXPECT_EQ(monitor.Read(2), (Bytes{0xA3, 0x01}));
    Advance(2999);
    EXPECT_FALSE(finished_.IsSet());
    clock_.AdvanceMs(1);
    EXPECT_EQ(Result(), kPlayDone);
}

TEST_F(PlayerTest, WaitsRunOutWithTheLineOfTheStep) {
    Start("connect\nexpect 02 56 03\nsend A3 01\nexpect 02 56 03 within 5000\n");
    auto client = Connect();
    MonitorEnd monitor(*client);
    // The second expect looks past the bytes the first one matched.
    monitor.Write({0x02, 0x56, 0x03, 0x02, 0x56});
    EXPECT_EQ(monitor.Read(2), (Bytes{0xA3, 0x01}));
    Advance(5000);
    EXPECT_EQ(Result(), kPlayTimedOut);
    EXPECT_EQ(message_, "line 4: 02 56 03 not received within 5000 ms");
}

TEST_F(PlayerTest, ConnectRunsOutWhenNobodyComes) {
    Start("# nobody\nconnect within 100\nsend A3 01\n");
    Advance(100);
    EXPECT_EQ(Result(), kPlayTimedOut);
    EXPECT_EQ(message_, "line 2: the monitor did not connect within 100 ms");
}

TEST_F(PlayerTest, StopEndsAnyWait) {
    Start("connect within 600000\n");
    ASSERT_TRUE(clock_.AwaitWaiters(1, static_cast<int>(kBoundMs)));
    stop_.Set();
    EXPECT_EQ(Result(), kPlayStopped);
}

}  // namespace
}  // namespace lane::sim
