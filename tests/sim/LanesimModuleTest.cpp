// Tests of lanesim's run with the security-module face: which faces listen, the ready file, and
// a driver socket already taken.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "common/FakeClock.h"
#include "platform/DeviceDriver.h"
#include "sim/Lanesim.h"
#include "sim/ModuleFace.h"
#include "sim/PipeFace.h"
#include "tests/sim/SimTestSupport.h"

namespace lane::sim {
namespace {

class LanesimModuleTest : public ::testing::Test {
  protected:
    LanesimModuleTest() : paths_(root_.Path()) {
        options_.scenarioPath = root_.File("test.scn");
        options_.recordPath = root_.File("record.txt");
        options_.readyPath = root_.File("ready");
    }

    void WriteScenario(const std::string& text) {
        std::ofstream(options_.scenarioPath, std::ios::binary) << text;
    }

    int Run() {
        return RunLanesim(options_, paths_, clock_, stop_, message_,
                          [this](const std::string& path) {
                              listening_.push_back(path);
                              readyText_ = test::ReadText(options_.readyPath);
                              stop_.Set();  // enough: end the run
                          });
    }

    test::TemporaryRoot root_;
    platform::LanePaths paths_;
    FakeClock clock_;
    ManualResetEvent stop_;
    LanesimOptions options_;
    std::string message_;
    std::vector<std::string> listening_;
    std::string readyText_;
};

TEST_F(LanesimModuleTest, AModuleScenarioServesBothDriverSocketsAndNotThePipe) {
    WriteScenario("module connect\nmonitor A3 01\n");
    EXPECT_EQ(Run(), kExitDone) << message_;
    const std::string usb = paths_.Internal("driver", kModuleUsbDeviceName);
    const std::string board = paths_.Internal("driver", kModuleBoardDeviceName);
    EXPECT_EQ(listening_, (std::vector<std::string>{usb, board}));
    EXPECT_EQ(readyText_, usb + "\n" + board + "\n");
    EXPECT_FALSE(std::filesystem::exists(paths_.Internal("pipe", kSimulatorPipeName)));
}

TEST_F(LanesimModuleTest, AScenarioOfBothFacesServesBoth) {
    WriteScenario("connect\nmonitor A3 01\n");
    EXPECT_EQ(Run(), kExitDone) << message_;
    ASSERT_EQ(listening_.size(), 3u);
    EXPECT_EQ(listening_[0], paths_.Internal("pipe", kSimulatorPipeName));
}

TEST_F(LanesimModuleTest, APipeScenarioServesThePipeOnly) {
    WriteScenario("hold 10\n");
    EXPECT_EQ(Run(), kExitDone) << message_;
    EXPECT_EQ(listening_, (std::vector<std::string>{paths_.Internal("pipe", kSimulatorPipeName)}));
}

TEST_F(LanesimModuleTest, ADriverSocketInUseGivesThree) {
    WriteScenario("monitor A3 01\n");
    std::unique_ptr<platform::DeviceServer> other;
    ASSERT_EQ(platform::ListenDevice(paths_, kModuleBoardDeviceName, other), 0u);
    EXPECT_EQ(Run(), kExitCannotListen);
    EXPECT_EQ(message_, "cannot serve \\\\.\\TMCB (error 231)");
    EXPECT_FALSE(std::filesystem::exists(options_.readyPath));
}

TEST_F(LanesimModuleTest, TheModuleConnectTimeOutGivesFour) {
    WriteScenario("module connect within 0\n");
    EXPECT_EQ(RunLanesim(options_, paths_, clock_, stop_, message_), kExitTimedOut);
    EXPECT_EQ(message_, "line 1: no program opened the security module within 0 ms");
}

}  // namespace
}  // namespace lane::sim
