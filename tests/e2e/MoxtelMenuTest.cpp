// The utility's service menus driven through standard input against lanesim: the way from the
// main menu to the trace code menu, and the packet the module gets.
#include <string>
#include <vector>

#include "tests/e2e/EndToEnd.h"

namespace lane::e2e {
namespace {

class MoxtelMenuTest : public LaneTest {};

TEST_F(MoxtelMenuTest, KeysOnStandardInputWalkToTheTraceCodeMenuAndDisableTracing) {
    SetBoardType("USB_SECURITY_MODULE");
    StartLanesim(
        "module version 447 date 01/15/2019 checksum 5A3C passed model 750\n"
        "module connect within 20000\n"
        "module expect 00 0C 02 30 30 6E within 20000\n");
    platform::ChildProcess moxtel;
    ASSERT_EQ(StartMoxtel(moxtel, {}), 0u);
    // Main menu 1, security module menu 9, trace code 0, a key after it, then out of every menu.
    ASSERT_EQ(moxtel.WriteInput("190kXXX"), 0u);
    moxtel.CloseInput();
    std::vector<std::string> lines;
    ReadUntil(moxtel, "\x01never printed\x01", &lines);
    EXPECT_EQ(ExitCode(moxtel), 0);
    std::string shown;
    for (const std::string& line : lines) {
        shown += line + "\n";
    }
    EXPECT_NE(shown.find("**** USB Utility Main Menu ****"), std::string::npos) << shown;
    EXPECT_NE(shown.find(" 9 - Enable/Disable Tracing Code."), std::string::npos);
    EXPECT_NE(shown.find("***** Trace Code Menu *****"), std::string::npos);
    EXPECT_NE(shown.find("Disabling Code, Please Wait..."), std::string::npos);
    EXPECT_NE(shown.find("Code Disabled."), std::string::npos);
    // The trace code packet reached the module's system port, and lanesim ended cleanly.
    EXPECT_EQ(ExitCode(lanesim), 0);
    EXPECT_NE(RecordSummary().find("00 0C 02 30 30 6E"), std::string::npos);
}

}  // namespace
}  // namespace lane::e2e
