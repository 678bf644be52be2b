// The Test menu and the scale test submenu: drawn on a cleared screen, one key read, upper-cased
// and echoed, the item run, drawn again until X. The end of input reads as X.
#include "Moxtel/Command_TestMenu.h"

#include <cctype>
#include <string>

#include "Moxtel/Command_CouponBox.h"
#include "Moxtel/Command_LaneTests.h"
#include "Moxtel/Command_ScaleTest.h"
#include "Moxtel/securitymodule_commands.h"

namespace lane::moxtel {

namespace {

int ReadChoice(UtilityRun& run) {
    if (!run.options.acknowledgeResults) {
        return 'X';
    }
    const int key = std::toupper(run.console.GetKey() & 0xFF);
    run.console.Write(std::string(1, static_cast<char>(key)) + "\n\n");
    return key;
}

void ScaleTestMenu(UtilityRun& run, ScaleDisplayState& display) {
    SecurityModuleCommands commands(run);
    for (;;) {
        commands.ClearScreen();
        run.console.Write(
            "**** Scale Test Menu ****\n\n 1 - Display/Capture Scale Values\n"
            " 2 - Analyze Scale Data\n X - Exit This Menu\n\nEnter Command :");
        const int choice = ReadChoice(run);
        if (choice == 'X') {
            return;
        }
        if (choice == '1') {
            DisplayCaptureScaleValues(run, display);
            commands.WaitForKey();
        } else if (choice == '2') {
            AnalyzeScaleData(run);  // ends with its own key wait under the result table
        }
    }
}

}  // namespace

void TestMenu(UtilityRun& run) {
    // The display's mode and counts stay as the technician left them for the rest of the run.
    static ScaleDisplayState display;
    SecurityModuleCommands commands(run);
    for (;;) {
        const unsigned version = run.identity.version;
        const bool switchTests = version > kSwitchAndPocketTestsAbove;
        const bool scaleTests = version > kScaleTestingAbove;
        commands.ClearScreen();
        std::string menu = "\n**** Test Menu ****\n\n";
        if (switchTests) {
            menu += " 1 - Conveyor Safety Switches\n";
            menu += " 2 - Bill Dispenser Cash Pocket Lights/Sensors\n";
        }
        menu += " 3 - Coupon Box\n";
        menu += " 4 - Red/Green Button & UPS Test\n";
        if (scaleTests) {
            menu += " 5 - Scale Testing\n";
        }
        menu += " 6 - Lane Light / EAS Lights Test\n";
        menu += " X - Exit This Menu\nEnter Command:";
        run.console.Write(menu);
        const int choice = ReadChoice(run);
        if (choice == 'X') {
            return;
        }
        bool waitForKey = true;
        switch (choice) {
            case '1':
                waitForKey = switchTests;
                if (switchTests) {
                    ConveyorSafetySwitchTest(run);
                }
                break;
            case '2':
                waitForKey = false;  // a menu of its own
                if (switchTests) {
                    CashPocketTest(run);
                }
                break;
            case '3':
                CouponBoxTest(run);
                break;
            case '4':
                ButtonAndUpsTest(run);
                break;
            case '5':
                waitForKey = false;
                if (scaleTests) {
                    ScaleTestMenu(run, display);
                }
                break;
            case '6':
                LaneLightTest(run);
                break;
            default:
                waitForKey = false;
                break;
        }
        if (waitForKey) {
            commands.WaitForKey();
        }
    }
}

}  // namespace lane::moxtel
