// LogMessage: the capture line, the console rules, the levels and the pause after error lines.
#include "Moxtel/LogMessage.h"

#include <thread>

#include "tests/Moxtel/MoxtelTestSupport.h"

namespace lane::moxtel::test {
namespace {

TEST(CaptureLineTest, PrefixTagAndCuts) {
    EXPECT_EQ(CaptureLine("Moxtel", 991, kLogInformation, "text"), "Moxtel      :  991:   text");
    EXPECT_EQ(CaptureLine("c:\\src\\Moxtel", 991, kLogError, "x"), "Moxtel      :  991:<E>x");
    EXPECT_EQ(CaptureLine("src/Moxtel/PgmCnfg", 7, kLogWarning, "x"), "PgmCnfg     :    7: W x");
    EXPECT_EQ(CaptureLine("USB_Standalone", 123456, kLogDetail, ""), "USB_Standalo:123456:   ");
    const std::string line = CaptureLine("Moxtel", 1, kLogInformation, std::string(300, 'm'));
    EXPECT_EQ(line.size(), kCaptureLineChars);
}

class LogMessageTest : public LaneFixture {
  protected:
    // The capture file as it is at the end of the run.
    std::string CaptureAfter(LogRig& rig) {
        rig.capture.Close();
        return Capture();
    }
};

TEST_F(LogMessageTest, ALongMessageIsCutTo132OnTheConsoleAnd110InTheFile) {
    LogRig rig(clock, console, paths, registry);
    const std::string message = std::string(100, 'a') + std::string(100, 'b');
    rig.log.LogMessage(kLogShow, kCategoryCommand, "Moxtel", 991, "%s", message.c_str());
    EXPECT_EQ(console.Output(), message.substr(0, 132) + "\n");
    EXPECT_TRUE(
        Contains(CaptureAfter(rig), "\nMoxtel      :  991:   " + message.substr(0, 110) + "\n"));
}

TEST_F(LogMessageTest, ConsoleEchoFollowsFlagsCategoryAndDisplaySwitch) {
    LogRig rig(clock, console, paths, registry);
    rig.log.LogMessage(kLogFileOnly, kCategoryCommand, "Moxtel", 1, "file only");
    rig.log.LogMessage(kLogPrompt, kCategoryCommand, "Moxtel", 2, "prompt");
    rig.log.LogMessage(kLogShow, kCategoryCommand, "Moxtel", 3, " shown");
    rig.log.LogMessage(kLogShow, kCategoryConfiguration, "PgmCnfg", 4, "configuration");
    rig.log.LogMessage(kLogInformation | kLogConsole | kLogNoEffect, kCategoryLink, "link", 5,
                       "link %d", 5);
    rig.log.SetConsoleDisplay(false);
    rig.log.LogMessage(kLogShow, kCategoryCommand, "Moxtel", 6, "suppressed");
    EXPECT_EQ(console.Output(), "prompt shown\nlink 5\n");
    const std::string file = CaptureAfter(rig);
    for (const char* text :
         {"file only", "prompt", " shown", "configuration", "link 5", "suppressed"}) {
        EXPECT_TRUE(Contains(file, text)) << text;
    }
}

TEST_F(LogMessageTest, LevelsOutsideTheRangeLogNothing) {
    LogRig rig(clock, console, paths, registry);
    rig.log.LogMessage(4 | kLogConsole, kCategoryCommand, "Moxtel", 1, "level four");
    rig.log.LogMessage(-1, kCategoryConfiguration, "PgmCnfg", 1, "level minus one");
    rig.log.LogMessage(kLogFileOnly, kCategoryCommand, "Moxtel", 1, nullptr);
    EXPECT_EQ(console.Output(), "");
    const std::string file = CaptureAfter(rig);
    EXPECT_FALSE(Contains(file, "level"));
    EXPECT_TRUE(Contains(file, "Moxtel      :    1:   \n"));
}

TEST_F(LogMessageTest, CaptureLevelOneKeepsInformationOutOfFileAndConsole) {
    WriteConfig("Override-KEL-Configs.Ini",
                "[Development - Override]\nCapture_Logging_Level=1\nCapture_Display_Level=3\n");
    LogRig rig(clock, console, paths, registry);
    rig.log.LogMessage(kLogShow, kCategoryCommand, "Moxtel", 1, "information");
    rig.log.LogMessage(kLogConsole | kLogWarning, kCategoryCommand, "Moxtel", 2, "warning");
    EXPECT_EQ(console.Output(), "warning\n");
    const std::string file = CaptureAfter(rig);
    EXPECT_FALSE(Contains(file, "information"));
    EXPECT_TRUE(Contains(file, "Moxtel      :    2: W warning"));
}

TEST_F(LogMessageTest, DisplayLevelZeroShowsOnlyErrorsWhileTheFileTakesAll) {
    WriteConfig("Override-KEL-Configs.Ini", "[Development - Override]\nCapture_Display_Level=0\n");
    LogRig rig(clock, console, paths, registry);
    RunWithClock(clock, [&] {
        rig.log.LogMessage(kLogShow, kCategoryCommand, "Moxtel", 1, "information");
        rig.log.LogMessage(kLogConsole | kLogWarning, kCategoryCommand, "Moxtel", 2, "warning");
        rig.log.LogMessage(kLogErrorShow, kCategoryCommand, "Moxtel", 3, "error");
    });
    EXPECT_EQ(console.Output(), "error\n");
    const std::string file = CaptureAfter(rig);
    EXPECT_TRUE(Contains(file, "information"));
    EXPECT_TRUE(Contains(file, "warning"));
    EXPECT_TRUE(Contains(file, "Moxtel      :    3:<E>error"));
}

TEST_F(LogMessageTest, AnErrorLineIsInTheFileBeforeItsOneSecondPause) {
    LogRig rig(clock, console, paths, registry);
    rig.log.LogMessage(kLogFileOnly, kCategoryCommand, "Moxtel", 1, "before");
    std::thread logger([&] {
        rig.log.LogMessage(kLogErrorShow, kCategoryCommand, "Moxtel", 2, "ERROR 1A, %s",
                           "Initializing Security Module.");
    });
    ASSERT_TRUE(clock.AwaitWaiters(1));
    // Flushed: a process killed now would leave the line in the file.
    const std::string file = Capture();
    EXPECT_TRUE(Contains(file, "before"));
    EXPECT_TRUE(Contains(file, "<E>ERROR 1A, Initializing Security Module.\n"));
    clock.AdvanceMs(999);
    EXPECT_EQ(clock.Waiters(), 1);
    clock.AdvanceMs(1);
    logger.join();
    EXPECT_EQ(clock.TickMs(), 1000);
}

TEST_F(LogMessageTest, TheLinkReportsWithItsModuleAndCategoryFive) {
    WriteConfig("Override-KEL-Configs.Ini", "[Development - Override]\nCapture_Display_Level=0\n");
    LogRig rig(clock, console, paths, registry);
    CUtilityLinkReporter reporter(rig.log);
    RunWithClock(clock, [&] {
        reporter.Report("USB_Standalone", link::kLinkInformation, false, "Starting up");
        reporter.Report("securitymodule", link::kLinkError, true,
                        "Error Opening USB Device Driver");
        reporter.Report("USB_Standalone", link::kLinkDetail, true, "detail");
    });
    EXPECT_EQ(console.Output(), "Error Opening USB Device Driver\n");
    const std::string file = CaptureAfter(rig);
    EXPECT_TRUE(Contains(file, "USB_Standalo:    0:   Starting up\n"));
    EXPECT_TRUE(Contains(file, "securitymodu:    0:<E>Error Opening USB Device Driver\n"));
    EXPECT_FALSE(Contains(file, "detail"));  // above the capture level
}

}  // namespace
}  // namespace lane::moxtel::test
