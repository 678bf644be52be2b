// The utility's entry flow in one process: version query, invalid lines, the configuration's
// fatal end, the link start and its failure, the run over a started link, the capture set.
#include "Moxtel/Moxtel.h"

#include "Moxtel/ExitCodes.h"
#include "link/TMCB_Support.h"
#include "tests/Moxtel/MoxtelTestSupport.h"
#include "tests/link/LinkTestSupport.h"

namespace lane::moxtel::test {
namespace {

class MoxtelFlowTest : public LaneFixture {
  protected:
    int Run(const std::vector<std::string>& arguments, const UtilityParts& parts = {}) {
        int result = -1;
        const MoxtelServices services{clock, paths, registry, console, "LANE-PC", EndProcess()};
        RunWithClock(clock, [&] { result = RunMoxtel(arguments, services, parts); });
        return result;
    }
};

TEST_F(MoxtelFlowTest, GetUtilityVersionAlonePrintsTheBannerAndTouchesNothing) {
    std::filesystem::remove_all(root / "c/FirmwareUpdate");
    EXPECT_EQ(Run({"-GETUTILITYVERSION"}), kExitSuccess);
    EXPECT_EQ(console.Output(), "\nMoxtel Version 0.4.18.00  06/20/2011\n");
    EXPECT_FALSE(std::filesystem::exists(root / "c/FirmwareUpdate"));
    EXPECT_TRUE(console.KeyCalls().empty());
}

TEST_F(MoxtelFlowTest, SupressConsoleDisplayAloneShowsNothingButWaitsForAKey) {
    console.AddKeys("k");
    EXPECT_EQ(Run({"-SupressConsoleDisplay"}), kExitInvalidCommandLine);
    EXPECT_EQ(console.Output(), "");
    EXPECT_EQ(console.KeyCalls(), (std::vector<std::string>{"flush", "key"}));
    const std::string file = Capture();
    EXPECT_TRUE(Contains(file, "   Argument 1 Value:-SupressConsoleDisplay\n"));
    EXPECT_TRUE(Contains(file, "   ERROR 03, Invalid Command Line!\n"));
    EXPECT_TRUE(Contains(file, "   Program Exiting, Press Any Key To Continue\n"));
    EXPECT_TRUE(Contains(file, "*** Program closing ***"));
}

TEST_F(MoxtelFlowTest, AFatalConfigurationValueEndsTheRunBeforeTheCommandLine) {
    WriteConfig("LaneConfig.Ini", "[Common]\nLaneType=full-lane\n");
    EXPECT_EQ(Run({"-GetVersion"}), kExitConfigurationFatal);
    const std::string file = Capture();
    EXPECT_TRUE(Contains(file, "<E>System Lane Type Not Configured Properly for Installation"));
    EXPECT_FALSE(Contains(file, "Argument 1"));
}

TEST_F(MoxtelFlowTest, ManufacturingModeGoesOnPastAnInvalidLineToTheLinkStart) {
    // No registry value: the TMCB board, whose driver nobody serves.
    EXPECT_EQ(Run({"-ManufacturingMode", "-Bogus"}), kExitLinkStart);
    const std::string shown = console.Output();
    EXPECT_FALSE(Contains(shown, "ERROR 03"));
    EXPECT_TRUE(Contains(shown, "Initializing Security Module..\n"));
    EXPECT_TRUE(Contains(shown, "Error Opening TMCB Device Driver\n"));
    EXPECT_TRUE(Contains(shown, "ERROR 1A, Initializing Security Module.\n"));
}

TEST_F(MoxtelFlowTest, AUsbLinkThatCannotStartEndsWith202) {
    SetBoardType("USB_SECURITY_MODULE");
    EXPECT_EQ(Run({"-GetVersion"}), kExitLinkStart);
    EXPECT_TRUE(Contains(console.Output(),
                         "Initializing Security Module..\n"
                         "Error Opending Security Module ( hDevice_Write_SystemPortIo ) RtnValue: "
                         "0x2 )\n"
                         "Error Opening USB Device Driver\n"
                         "ERROR 1A, Initializing Security Module.\n"));
    const std::string file = Capture();
    EXPECT_TRUE(Contains(file, "securitymodu:    0:<E>Error Opening USB Device Driver\n"));
    EXPECT_TRUE(Contains(file, "<E>ERROR 1A, Initializing Security Module.\n"));
    EXPECT_FALSE(Contains(file, "Return Code"));
}

class MoxtelLinkUpTest : public MoxtelFlowTest {
  protected:
    MoxtelLinkUpTest() {
        SetBoardType("USB_SECURITY_MODULE");
        // The readers' requests wait until the link is shut down.
        driver_.HoldControl(link::SECMODULE_IOCTL_USB_READ_SYSTEM_PORT_LANE_MANAGER);
    }
    link::test::FakeDriver driver_{paths, "SecModuleDevice0"};
};

TEST_F(MoxtelLinkUpTest, TheRunGoesFromTheBannerThroughTheStartUpToTheCommand) {
    std::vector<std::string> steps;
    UtilityParts parts;
    parts.startUpSequence = [&](UtilityRun& run) {
        steps.push_back("start-up, board " +
                        std::to_string(run.config.Access(run.log).SecurityModuleType));
        return 0;
    };
    parts.commands[kCommandBillAcceptorUpload] = [&](UtilityRun&) {
        steps.push_back("upload");
        return 1;
    };
    ASSERT_TRUE(driver_.Listening());
    EXPECT_EQ(Run({"-BillAcceptorUpload"}, parts), kExitBillAcceptorUpload);
    EXPECT_EQ(steps.size(), 11u);
    EXPECT_EQ(steps.front(), "start-up, board 200");
    EXPECT_EQ(console.Output(),
              "Initializing Security Module..\n"
              "Moxtel Version 0.4.18.00  06/20/2011\n"
              "ERROR 24, Bill Acceptor Upload Failed after 10 tries.\n");
    EXPECT_TRUE(Contains(Capture(), "   Return Code 318\n"));
}

TEST_F(MoxtelLinkUpTest, AFailedStartUpStepEndsTheRunWithItsCode) {
    UtilityParts parts;
    bool menu = false;
    parts.startUpSequence = [](UtilityRun&) { return kExitEpromVersion; };
    parts.mainMenu = [&](UtilityRun&) { menu = true; };
    EXPECT_EQ(Run({}, parts), kExitEpromVersion);
    EXPECT_FALSE(menu);
    EXPECT_TRUE(Contains(Capture(), "   Return Code 145\n"));
    parts.startUpSequence = nullptr;
    EXPECT_EQ(Run({}, parts), kExitSuccess);
    EXPECT_TRUE(menu);
}

TEST_F(MoxtelFlowTest, SixRunsLeaveTheLastFiveCaptureFilesNewestFirst) {
    for (int runNumber = 1; runNumber <= 6; ++runNumber) {
        static_cast<void>(Run({"-Run" + std::to_string(runNumber)}));
    }
    for (int file = 1; file <= 5; ++file) {
        const std::string text = Capture(file);
        EXPECT_TRUE(Contains(text, "Argument 1 Value:-Run" + std::to_string(7 - file)))
            << "Utility0" << file;
        EXPECT_TRUE(Contains(text, "--- File Opened : Date / Time : 03/04/25 : 10:20:30 : "));
    }
    EXPECT_FALSE(std::filesystem::exists(CapturePath(6)));
    for (int file = 1; file <= 5; ++file) {
        EXPECT_FALSE(Contains(Capture(file), "-Run1\n"));
    }
}

}  // namespace
}  // namespace lane::moxtel::test
