// The Moxtel executable in a temporary lane root: its output, its keys and its exit codes.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/Process.h"
#include "platform/Registry.h"
#include "tests/support/TempLaneRoot.h"

namespace lane::moxtel {
namespace {

constexpr std::int64_t kLineTimeoutMs = 20000;
// How long a child that waits for a key is watched for output it must not give.
constexpr std::int64_t kQuietWatchMs = 300;

class MoxtelProgramTest : public ::testing::Test {
  protected:
    [[nodiscard]] std::uint32_t Start(const std::vector<std::string>& arguments) {
        return moxtel_.StartWithInput(std::string(LANE_BINARY_DIR) + "/Moxtel/Moxtel", arguments,
                                      {{"LANE_ROOT", root_.Path()}});
    }
    // Every line of output up to its end.
    std::vector<std::string> Output() {
        std::vector<std::string> lines;
        std::string line;
        std::uint32_t result = 0;
        while ((result = moxtel_.ReadLine(line, kLineTimeoutMs)) == 0) {
            lines.push_back(line);
        }
        EXPECT_EQ(result, platform::kProcessOutputEnded);
        if (!line.empty()) {
            lines.push_back(line);
        }
        return lines;
    }
    int ExitCode() {
        platform::ProcessExit exit;
        EXPECT_EQ(moxtel_.Wait(exit), 0u);
        EXPECT_FALSE(exit.signalled);
        return exit.code;
    }
    std::string Capture() const {
        return testing::ReadWholeFile(root_ / "c/FirmwareUpdate/Utility01.Txt");
    }

    testing::TempLaneRoot root_;
    platform::ChildProcess moxtel_;
};

TEST_F(MoxtelProgramTest, GetUtilityVersionAlonePrintsTheBannerBetweenLineEnds) {
    ASSERT_EQ(Start({"-GetUtilityVersion"}), 0u);
    EXPECT_EQ(Output(), (std::vector<std::string>{"", "Moxtel Version 0.4.18.00  06/20/2011"}));
    EXPECT_EQ(ExitCode(), 0);
    EXPECT_FALSE(std::filesystem::exists(root_ / "c/FirmwareUpdate"));
}

TEST_F(MoxtelProgramTest, SupressConsoleDisplayAloneWaitsSilentlyForAKeyThenEnds201) {
    ASSERT_EQ(Start({"-SupressConsoleDisplay"}), 0u);
    std::string line;
    EXPECT_EQ(moxtel_.ReadLine(line, kQuietWatchMs), platform::kProcessReadTimeout);
    ASSERT_EQ(moxtel_.WriteInput("k"), 0u);
    EXPECT_TRUE(Output().empty());
    EXPECT_EQ(ExitCode(), 201);
    const std::string capture = Capture();
    EXPECT_NE(capture.find("ERROR 03, Invalid Command Line!"), std::string::npos);
    EXPECT_NE(capture.find("Program Exiting, Press Any Key To Continue"), std::string::npos);
}

TEST_F(MoxtelProgramTest, TheEndOfInputAnswersTheKeyWait) {
    ASSERT_EQ(Start({"-GetVersion", "-GetUtilityVersion"}), 0u);
    moxtel_.CloseInput();
    EXPECT_EQ(Output(), (std::vector<std::string>{"ERROR 03, Invalid Command Line!",
                                                  "Program Exiting, Press Any Key To Continue"}));
    EXPECT_EQ(ExitCode(), 201);
}

TEST_F(MoxtelProgramTest, AUsbLaneWithoutItsDriverEndsWith202) {
    platform::Registry registry((root_ / "registry/HKEY_LOCAL_MACHINE.reg").string());
    ASSERT_EQ(
        registry.SetValue("SOFTWARE\\Halvern Dynamics, Inc.\\Kel750\\Lane", "SecurityModuleType",
                          platform::RegValue::String("USB_SECURITY_MODULE")),
        0u);
    ASSERT_EQ(Start({"-GetVersion"}), 0u);
    moxtel_.CloseInput();
    const std::vector<std::string> lines = Output();
    ASSERT_EQ(lines.size(), 4u);
    EXPECT_EQ(lines[0], "Initializing Security Module..");
    EXPECT_EQ(lines[2], "Error Opening USB Device Driver");
    EXPECT_EQ(lines[3], "ERROR 1A, Initializing Security Module.");
    EXPECT_EQ(ExitCode(), 202);
    EXPECT_NE(Capture().find("<E>ERROR 1A, Initializing Security Module."), std::string::npos);
}

}  // namespace
}  // namespace lane::moxtel
