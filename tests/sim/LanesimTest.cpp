// Tests of lanesim's command line and of its exit codes for each failure.
#include "sim/Lanesim.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "common/FakeClock.h"
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

    test::TemporaryRoot root_;
    platform::LanePaths paths_;
    FakeClock clock_;
    ManualResetEvent stop_;
    LanesimOptions options_;
    std::string message_;
};

TEST_F(LanesimRunTest, BadScenarioGivesTwoWithTheLine) {
    EXPECT_EQ(Run(), kExitUsage);
    EXPECT_EQ(message_, "cannot read scenario " + options_.scenarioPath);

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
}

TEST_F(LanesimRunTest, StopBeforeAnyoneConnectsEndsCleanly) {
    WriteScenario("send A3 01\n");
    stop_.Set();
    EXPECT_EQ(Run(), kExitDone);
    EXPECT_TRUE(message_.empty());
}

}  // namespace
}  // namespace lane::sim
