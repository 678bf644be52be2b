// The utility's start-up against lanesim: the module's identity read and shown, a module that
// never answers, and the cash port's sync and CCU version on the interface board.
#include <string>
#include <vector>

#include "tests/e2e/EndToEnd.h"

namespace lane::e2e {
namespace {

class MoxtelStartupTest : public LaneTest {
  protected:
    // Runs Moxtel with `arguments` to its end; its output lines, and its exit code.
    int RunMoxtel(const std::vector<std::string>& arguments, std::vector<std::string>& lines) {
        platform::ChildProcess moxtel;
        EXPECT_EQ(StartMoxtel(moxtel, arguments), 0u);
        moxtel.CloseInput();
        ReadUntil(moxtel, "\x01never printed\x01", &lines);
        return ExitCode(moxtel);
    }

    static bool HasLine(const std::vector<std::string>& lines, const std::string& line) {
        for (const std::string& seen : lines) {
            if (seen == line) {
                return true;
            }
        }
        return false;
    }
    static bool HasText(const std::vector<std::string>& lines, const std::string& text) {
        for (const std::string& seen : lines) {
            if (seen.find(text) != std::string::npos) {
                return true;
            }
        }
        return false;
    }
};

TEST_F(MoxtelStartupTest, GetVersionShowsTheUsbModulesIdentityAndEndsWithZero) {
    SetBoardType("USB_SECURITY_MODULE");
    StartLanesim(
        "module version 447 date 01/15/2019 checksum 5A3C passed model 750\n"
        "module connect within 20000\n");
    std::vector<std::string> lines;
    EXPECT_EQ(RunMoxtel({"-GetVersion"}, lines), 0);
    EXPECT_TRUE(HasLine(lines, "Security Module Version 04.47 01/15/2019, Checksum 5A3C Passed!"));
    // The USB module leaves the cash port alone.
    EXPECT_FALSE(HasText(lines, "Synchronizing Cash Machine"));
    EXPECT_FALSE(HasText(lines, "CCU Version"));
    const std::string capture = UtilityCapture();
    EXPECT_NE(capture.find("Requesting Security Module Model"), std::string::npos);
    EXPECT_NE(capture.find("Return Code 0"), std::string::npos);
    // Port 6 opened, the four requests, port 6 closed, in that order.
    const std::string record = RecordSummary();
    const std::vector<std::string> packets = {"06 02 00",       "06 06 02 5A 47", "06 06 02 5A 32",
                                              "06 06 02 5A 34", "06 06 02 5A 35", "06 03 00"};
    std::size_t at = 0;
    for (const std::string& packet : packets) {
        at = record.find(packet, at);
        ASSERT_NE(at, std::string::npos) << packet << "\n" << record;
    }
    EXPECT_EQ(ExitCode(lanesim), 0);
}

TEST_F(MoxtelStartupTest, AModuleThatNeverAnswersTheVersionEndsWith145) {
    SetBoardType("USB_SECURITY_MODULE");
    StartLanesim(
        "fault no-answer port 6 count 1000\n"
        "module connect within 20000\n");
    std::vector<std::string> lines;
    EXPECT_EQ(RunMoxtel({"-GetVersion"}, lines), 145);
    EXPECT_TRUE(HasLine(lines, "ERROR 10: Get Security Module Version Failed."));
    EXPECT_FALSE(HasText(lines, ", Checksum"));
    const std::string capture = UtilityCapture();
    EXPECT_EQ(capture.find("Requesting Security Module Checksum"), std::string::npos);
    EXPECT_NE(capture.find("Return Code 145"), std::string::npos);
}

TEST_F(MoxtelStartupTest, TheInterfaceBoardAlsoSynchronisesTheCashMachineAndShowsItsCcu) {
    SetBoardType("TMCB_SECURITY_MODULE");
    StartLanesim(
        "module version 464 date 07/04/2021 checksum 1A2B failed model 750\n"
        "module ccu 142 date 03/09/2022\n"
        "module connect within 20000\n");
    std::vector<std::string> lines;
    EXPECT_EQ(RunMoxtel({"-GetVersion"}, lines), 0);
    EXPECT_TRUE(HasLine(lines, "Synchronizing Cash Machine"));
    EXPECT_TRUE(HasLine(lines, "Closing Security Module Port 5"));
    EXPECT_TRUE(HasLine(lines, "Security Module Version 04.64 07/04/2021, Checksum 1A2B Failed!"));
    EXPECT_TRUE(HasLine(lines, "CCU Version 01.42 03/09/2022"));
    const std::string capture = UtilityCapture();
    EXPECT_NE(capture.find("Data in:05.06."), std::string::npos);
    // Both cash-port replies were acknowledged ('S' '0' and their sequence byte).
    const std::string record = RecordSummary();
    std::size_t acks = 0;
    for (std::size_t at = record.find("05 06 03 53 30"); at != std::string::npos;
         at = record.find("05 06 03 53 30", at + 1)) {
        ++acks;
    }
    EXPECT_EQ(acks, 2u) << record;
    EXPECT_EQ(ExitCode(lanesim), 0);
}

}  // namespace
}  // namespace lane::e2e
