// Tests of lanesim's command line and of its exit codes for each failure.
#include "sim/Lanesim.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "common/FakeClock.h"
#include "common/RealClock.h"
#include "platform/NamedPipe.h"
#include "sim/PipeFace.h"
#include "tests/sim/SimTestSupport.h"

namespace lane::sim {
namespace {

TEST(LanesimOptionsTest, ReadsOptionsAndRefusesBadOnes) {
    LanesimOptions options;
    std::string error;
    ASSERT_EQ(ParseOptions({"--speed", "60", "--record", "r.txt", "--ready", "up", "demo.scn"},
                           options, error),
              0)
        << error;
    EXPECT_EQ(options.speed, 60.0);
    EXPECT_EQ(options.recordPath, "r.txt");
    EXPECT_EQ(options.readyPath, "up");
    EXPECT_EQ(options.scenarioPath, "demo.scn");
    ASSERT_EQ(ParseOptions({"--upload-image", "image.TSK", "module.scn"}, options, error), 0);
    EXPECT_EQ(options.uploadImagePath, "image.TSK");
    EXPECT_EQ(options.scenarioPath, "module.scn");
    ASSERT_EQ(ParseOptions({"--show-record", "r.txt"}, options, error), 0);
    EXPECT_EQ(options.showRecordPath, "r.txt");

    const std::vector<std::vector<std::string>> bad = {
        {},
        {"a.scn", "b.scn"},
        {"--speed", "0", "a.scn"},
        {"--speed", "fast", "a.scn"},
        {"--speed", "2x", "a.scn"},
        {"a.scn", "--record"},
        {"--verbose", "a.scn"},
        {"--show-record", "r.txt", "a.scn"},
        {"a.scn", "--upload-image"},
    };
    for (const auto& args : bad) {
        error.clear();
        EXPECT_EQ(ParseOptions(args, options, error), 1) << testing::PrintToString(args);
        EXPECT_FALSE(error.empty());
    }
}

class LanesimRunTest : public ::testing::Test {
  protected:
    LanesimRunTest() : paths_(root_.Path()) {
        options_.scenarioPath = root_.File("test.scn");
        options_.recordPath = root_.File("record.txt");
        options_.readyPath = root_.File("ready");
    }

    void WriteScenario(const std::string& text) {
        std::ofstream(options_.scenarioPath, std::ios::binary) << text;
    }

    int Run() { return RunLanesim(options_, paths_, clock_, stop_, message_); }

    // Starts a run on its own thread and waits until it listens.
    void StartInBackground() {
        running_ = std::thread([this] {
            background_ = RunLanesim(options_, paths_, clock_, stop_, backgroundMessage_,
                                     [this](const std::string&) { listening_.Set(); });
            listening_.Set();
        });
        ASSERT_TRUE(WaitFor(realClock_, listening_, test::kBoundMs));
    }
    int WaitForBackground() {
        running_.join();
        return background_;
    }

    // Connects as the monitor does and writes `bytes`.
    void ConnectAndWrite(const test::Bytes& bytes) {
        std::unique_ptr<platform::PipeClient> client;
        ASSERT_EQ(platform::OpenPipeClient(paths_, kSimulatorPipeName, client), 0u);
        test::MonitorEnd(*client).Write(bytes);
    }

    test::TemporaryRoot root_;
    platform::LanePaths paths_;
    FakeClock clock_;
    ManualResetEvent stop_;
    LanesimOptions options_;
    std::string message_;
    RealClock realClock_;
    ManualResetEvent listening_;
    std::thread running_;
    int background_ = -1;
    std::string backgroundMessage_;
};

TEST_F(LanesimRunTest, BadScenarioGivesTwoWithTheReasonOrTheLine) {
    std::ofstream(root_.File("big.scn"));
    std::filesystem::resize_file(root_.File("big.scn"), kMaxScenarioFileBytes + 1);
    const std::vector<std::pair<std::string, std::string>> unreadable = {
        {root_.File("none.scn"), "error 2: The system cannot find the file specified."},
        {root_.Path(), "error 336: An operation is not supported on a directory."},
        {root_.File("big.scn"), "larger than the 16 MiB a scenario may have"},
    };
    for (const auto& [path, reason] : unreadable) {
        options_.scenarioPath = path;
        EXPECT_EQ(Run(), kExitUsage);
        EXPECT_EQ(message_, "cannot read scenario " + path + " (" + reason + ")");
    }

    options_.scenarioPath = root_.File("test.scn");
    WriteScenario("send A3 01\n\nsned A2 01\n");
    EXPECT_EQ(Run(), kExitUsage);
    EXPECT_EQ(message_, options_.scenarioPath + ":3: unknown command \"sned\"");
}

TEST_F(LanesimRunTest, PipeInUseGivesThree) {
    WriteScenario("send A3 01\n");
    std::unique_ptr<platform::PipeServer> other;
    ASSERT_EQ(platform::ListenPipe(paths_, kSimulatorPipeName, other), 0u);
    EXPECT_EQ(Run(), kExitCannotListen);
    EXPECT_FALSE(std::filesystem::exists(options_.readyPath));
}

TEST_F(LanesimRunTest, TimeOutGivesFourAndLeavesNoReadyFile) {
    WriteScenario("connect within 0\n");
    std::ofstream(options_.readyPath) << "stale\n";
    EXPECT_EQ(Run(), kExitTimedOut);
    EXPECT_EQ(message_, "line 1: the monitor did not connect within 0 ms");
    EXPECT_FALSE(std::filesystem::exists(options_.readyPath));
    EXPECT_EQ(test::ReadText(options_.recordPath), "");
}

TEST_F(LanesimRunTest, UnwritableRecordGivesFive) {
    WriteScenario("send A3 01\n");
    options_.recordPath = root_.File("no/such/folder/record.txt");
    EXPECT_EQ(Run(), kExitCannotWrite);
    EXPECT_EQ(message_, "cannot create record file " + options_.recordPath +
                            " (error 3: The system cannot find the path specified.)");
}

TEST_F(LanesimRunTest, ARecordThatFailsDuringTheRunGivesFive) {
    WriteScenario("connect\nexpect 55\n");
    options_.recordPath = "/dev/full";  // opens, then every write finds the disk full
    StartInBackground();
    ConnectAndWrite({0x55});
    EXPECT_EQ(WaitForBackground(), kExitCannotWrite);
    EXPECT_EQ(backgroundMessage_,
              "record file /dev/full could not be written to its end (error 112: There is not "
              "enough space on the disk.)");
}

TEST_F(LanesimRunTest, SocketsThatCannotBeMadeNameThePathAndTheReason) {
    WriteScenario("send A3 01\n");
    const std::string exists = " (error 183: Cannot create a file when that file already exists.)";
    struct Case {
        std::string root;
        std::string fileInTheWay;  // below the root
        std::string message;       // after "cannot listen on \\.\pipe\OrvelSim at <root>"
    };
    const std::string longRoot = root_.File(std::string(120, 'r'));
    const Case cases[] = {
        {root_.File("a"), "pipe", "/pipe/OrvelSim" + exists},
        {root_.File("b"), "locks",
         "/pipe/OrvelSim" + exists + ": the lock folder " + root_.File("b/locks") +
             " cannot be made"},
        {longRoot, "", "/pipe/OrvelSim (error 206: The filename or extension is too long.)"},
    };
    for (const Case& c : cases) {
        std::filesystem::create_directories(c.root);
        if (!c.fileInTheWay.empty()) {
            std::ofstream(c.root + "/" + c.fileInTheWay) << "a file where a folder should be";
        }
        const platform::LanePaths paths(c.root);
        EXPECT_EQ(RunLanesim(options_, paths, clock_, stop_, message_), kExitCannotListen);
        EXPECT_EQ(message_, "cannot listen on \\\\.\\pipe\\OrvelSim at " + c.root + c.message);
    }
    EXPECT_FALSE(std::filesystem::exists(options_.recordPath));
}

// A second lanesim on the same lane root and files stops before it touches anything of the
// first one's: its ready file, its record, and its count of connections.
TEST_F(LanesimRunTest, ASecondLanesimLeavesTheFirstOnesFilesAndConnectionsAlone) {
    WriteScenario("connect\nexpect 55\n");
    StartInBackground();
    const std::string ready = test::ReadText(options_.readyPath);
    ASSERT_EQ(ready, paths_.Internal("pipe", kSimulatorPipeName) + "\n");

    EXPECT_EQ(Run(), kExitCannotListen);
    EXPECT_EQ(message_,
              "cannot listen on \\\\.\\pipe\\OrvelSim at " +
                  paths_.Internal("pipe", kSimulatorPipeName) +
                  " (error 231: All pipe instances are busy.): another lanesim serves it");
    EXPECT_EQ(test::ReadText(options_.readyPath), ready);

    ConnectAndWrite({0x55});
    EXPECT_EQ(WaitForBackground(), kExitDone) << backgroundMessage_;
    // The monitor's connection is the first and only one: the second lanesim never connected.
    RecordedBytes connections;
    int badLine = 0;
    ASSERT_EQ(ReadRecord(test::ReadText(options_.recordPath), connections, badLine), kRecordOk);
    EXPECT_EQ(connections, (RecordedBytes{{1, test::Bytes{0x55}}}));
}

TEST_F(LanesimRunTest, StopBeforeAnyoneConnectsEndsCleanly) {
    WriteScenario("send A3 01\n");
    stop_.Set();
    EXPECT_EQ(Run(), kExitDone);
    EXPECT_TRUE(message_.empty());
}

}  // namespace
}  // namespace lane::sim
