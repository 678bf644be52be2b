// The service menus: what they draw, the keys that walk them, the items the board allows, and the
// unattended run that never waits in a menu.
#include "Moxtel/Command_UserMenu.h"

#include "tests/Moxtel/MoxtelTestSupport.h"

namespace lane::moxtel::test {
namespace {

class UserMenuTest : public LaneFixture {
  protected:
    UserMenuTest() {
        identity_.versionText = "4.47 01/15/2019";
        identity_.version = 447;
        identity_.checksumText = "5A3C";
        identity_.checksumStatus = '0';
        identity_.model = "750";
    }
    void RunMenu() {
        UtilityRun run{rig_.log, rig_.config, options_,      link_,       console,
                       clock,    identity_,   billAcceptor_, endProcess_, paths};
        RunWithClock(clock, [&] { RunMainMenu(run); });
    }
    static int Count(const std::string& text, const std::string& part) {
        int count = 0;
        for (auto at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) {
            ++count;
        }
        return count;
    }

    LogRig rig_{clock, console, paths, registry};
    CUtilityLinkReporter reporter_{rig_.log};
    link::CSecurityModuleLink link_{link::LinkConfig{}, reporter_, clock, paths};
    UtilityOptions options_;
    SecurityModuleIdentity identity_;
    BillAcceptorIdentity billAcceptor_;
    std::function<void(int)> endProcess_ = EndProcess();
};

TEST_F(UserMenuTest, TheMainMenuShowsTheIdentityAndTheBoardOnACleanScreen) {
    SetBoardType("USB_SECURITY_MODULE");
    console.AddKeys("x");
    RunMenu();
    EXPECT_EQ(console.Output(), std::string(25, '\n') +
                                    "Moxtel Version 0.4.18.00  06/20/2011\n\n\n\n\n\n\n\n"
                                    "Security Module Version 4.47 01/15/2019, Model 750, "
                                    "Checksum 5A3C Passed!\n\n"
                                    "**** USB Utility Main Menu ****\n\n"
                                    " 1 - Security Module Functions\n"
                                    " 2 - Bill Acceptor Functions\n"
                                    " 3 - Fujitsu Bill Dispenser Functions\n"
                                    " 4 - Curtain Functions\n"
                                    " 5 - Sensormatic Functions\n"
                                    " 6 - Coin Dispenser Functions\n"
                                    " 7 - Carousel Functions\n"
                                    " 8 - UPS Functions\n"
                                    " T - Test Menu\n"
                                    " X - Exit Program\n"
                                    "Enter Command:X\n\n");
}

TEST_F(UserMenuTest, KeysWalkIntoTheSecurityModuleMenuAndBackOut) {
    SetBoardType("USB_SECURITY_MODULE");
    identity_.checksumStatus = '1';
    console.AddKeys("1?xX");
    RunMenu();
    const std::string shown = console.Output();
    EXPECT_EQ(Count(shown, "**** USB Utility Main Menu ****"), 2);
    EXPECT_EQ(Count(shown, "**** Security Module Menu ****"), 2);  // drawn again after '?'
    EXPECT_TRUE(Contains(shown, "Checksum 5A3C Failed!"));
    EXPECT_TRUE(Contains(shown,
                         "\n**** Security Module Menu ****\n\n"
                         " 1 - Upload Firmware to USB Security Module\n"
                         " 2 - Enable/Disable Conveyor Safety Stop Switches\n"
                         " 3 - Enable/Disable Bill Dispenser Sensor/Light/Buzzer\n"
                         " 4 - Set Bizerba to PSC Interface\n"
                         " 5 - Calibrate Proximity Sensor\n"
                         " 6 - Set Scale to High Weight Capacity\n"
                         " 7 - Set Top EAS Light as Lane Light\n"
                         " 8 - Set all 3 EAS Lights as Flashing Lane Lights\n"
                         " 9 - Enable/Disable Tracing Code.\n"
                         " X - Exit This Menu\n"
                         "Enter Command:"));
    EXPECT_TRUE(Contains(shown, "Enter Command:1\n\n"));
    EXPECT_TRUE(Contains(shown, "Enter Command:?\n\n"));
}

TEST_F(UserMenuTest, ATmcbBoardNeitherListsNorRunsTheUsbUpload) {
    SetBoardType("TMCB_SECURITY_MODULE");
    console.AddKeys("11XX");
    RunMenu();
    const std::string shown = console.Output();
    EXPECT_TRUE(Contains(shown, "**** TMCB Utility Main Menu ****"));
    EXPECT_FALSE(Contains(shown, "Upload Firmware to USB Security Module"));
    EXPECT_FALSE(Contains(shown, "USB Security Module Firmware Update"));
    EXPECT_TRUE(Contains(shown, " 9 - Enable/Disable Tracing Code.\n"));
}

TEST_F(UserMenuTest, WithAcknowledgeOffTheMenuIsDrawnOnceAndLeftWithoutAKey) {
    options_.acknowledgeResults = false;
    console.AddKeys("1");
    RunMenu();
    EXPECT_EQ(Count(console.Output(), "Utility Main Menu"), 1);
    EXPECT_TRUE(console.KeyCalls().empty());
}

TEST_F(UserMenuTest, TheEndOfScriptedInputLeavesEveryMenu) {
    SetBoardType("USB_SECURITY_MODULE");
    console.AddKeys("19");  // into the trace code menu, then input ends
    RunMenu();
    EXPECT_TRUE(console.InputEnded());
    EXPECT_TRUE(Contains(console.Output(), "***** Trace Code Menu *****"));
}

}  // namespace
}  // namespace lane::moxtel::test
