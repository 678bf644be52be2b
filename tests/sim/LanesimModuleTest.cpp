// Tests of lanesim's run with the security-module face: which faces listen, the ready file, and
// a driver socket already taken.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "common/FakeClock.h"
#include "platform/DeviceDriver.h"
#include "sim/Lanesim.h"
#include "sim/ModuleFace.h"
#include "sim/PipeFace.h"
#include "tests/sim/ModuleTestSupport.h"
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
    EXPECT_EQ(message_, "cannot listen on \\\\.\\TMCB at " +
                            paths_.Internal("driver", kModuleBoardDeviceName) +
                            " (error 231: All pipe instances are busy.)");
    EXPECT_FALSE(std::filesystem::exists(options_.readyPath));
}

TEST_F(LanesimModuleTest, TheModuleConnectTimeOutGivesFour) {
    WriteScenario("module connect within 0\n");
    EXPECT_EQ(RunLanesim(options_, paths_, clock_, stop_, message_), kExitTimedOut);
    EXPECT_EQ(message_, "line 1: no program opened the security module within 0 ms");
}

TEST_F(LanesimModuleTest, AnUploadRunEndsOnceTheImageIsWrittenAndTheProgramLeaves) {
    WriteScenario("module ccu 0131 date 01/02/2022\nmodule expect-upload within 60000\n");
    options_.uploadImagePath = root_.File("image.TSK");
    ManualResetEvent listening;
    ManualResetEvent finished;
    int result = -1;
    std::thread running([&] {
        result = RunLanesim(options_, paths_, clock_, stop_, message_,
                            [&](const std::string&) { listening.Set(); });
        finished.Set();
    });
    RealClock realClock;
    ASSERT_TRUE(WaitFor(realClock, listening, test::kBoundMs));
    {
        auto writer =
            test::OpenModuleDevice(paths_, kModuleUsbDeviceName, platform::kDeviceGenericWrite);
        const test::Bytes image(61, 0x5A);
        std::size_t returned = 0;
        test::Bytes start = test::WithChecksum({0x00, 0xF0, 0x05, 0x00, 61, 0xAA, 0x55, 0xA0});
        ASSERT_EQ(writer->IoControl(kIoctlUsbWriteSystemPort, nullptr, 0, start.data(),
                                    start.size(), returned),
                  0u);
        for (const std::size_t count : {std::size_t{60}, std::size_t{1}}) {
            test::Bytes data{0x00, 0xF1, static_cast<std::uint8_t>(count)};
            data.resize(3 + count, 0x5A);
            data = test::WithChecksum(data);
            ASSERT_EQ(writer->IoControl(kIoctlUsbWriteSystemPort, nullptr, 0, data.data(),
                                        data.size(), returned),
                      0u);
        }
        EXPECT_EQ(test::ReadText(root_.File("image.TSK")), std::string(61, 'Z'));
        EXPECT_FALSE(finished.IsSet());  // held while the handle is open
    }
    ASSERT_TRUE(WaitFor(realClock, finished, test::kBoundMs));
    running.join();
    EXPECT_EQ(result, kExitDone) << message_;
    const std::string record = test::ReadText(options_.recordPath);
    EXPECT_NE(record.find("# D1 firmware upload complete (61 bytes)\n"), std::string::npos);
}

TEST_F(LanesimModuleTest, AnUploadThatNeverComesGivesFour) {
    WriteScenario("module expect-upload within 0\n");
    EXPECT_EQ(RunLanesim(options_, paths_, clock_, stop_, message_), kExitTimedOut);
    EXPECT_EQ(message_, "line 1: no firmware upload completed within 0 ms");
}

}  // namespace
}  // namespace lane::sim
