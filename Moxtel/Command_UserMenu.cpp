// The service menus: each drawn on a cleared screen with its items and a prompt, one key read,
// upper-cased and echoed, the item run, and the menu drawn again until X.
#include "Moxtel/Command_UserMenu.h"

#include <cctype>
#include <string>

#include "Moxtel/Command_SecurityModuleUpload.h"
#include "Moxtel/UtilityOptions.h"
#include "Moxtel/securitymodule_commands.h"
#include "link/LinkConfig.h"

namespace lane::moxtel {

namespace {

constexpr const char* kPrompt = "Enter Command:";

bool UsbBoard(UtilityRun& run) {
    return run.config.Access(run.log).SecurityModuleType == link::kBoardTypeUsb;
}

// Reads the menu's answer: one key, upper-cased and echoed with an empty line. With acknowledge
// off no key is read and the answer is X, so an unattended run never waits in a menu.
int ReadChoice(UtilityRun& run) {
    if (!run.options.acknowledgeResults) {
        return 'X';
    }
    const int key = std::toupper(run.console.GetKey());
    std::string echo(1, static_cast<char>(key));
    echo += "\n\n";
    run.console.Write(echo);
    return key;
}

void ShowMainHeader(UtilityRun& run) {
    const SecurityModuleIdentity& identity = run.identity;
    std::string header = kVersionBanner;
    header += "\n\n\n\n\n\n\n\n";
    header += "Security Module Version ";
    header += identity.versionText;
    header += ", Model ";
    header += identity.model;
    header += ", Checksum ";
    header += identity.checksumText;
    header += identity.checksumStatus == '0' ? " Passed!" : " Failed!";
    header += "\n\n";
    header += UsbBoard(run) ? "**** USB " : "**** TMCB ";
    header += "Utility Main Menu ****\n\n";
    run.console.Write(header);
}

}  // namespace

void SecurityModuleMenu(UtilityRun& run) {
    SecurityModuleCommands commands(run);
    for (;;) {
        commands.ClearScreen();
        std::string menu = "\n**** Security Module Menu ****\n\n";
        const bool usb = UsbBoard(run);
        if (usb) {
            menu += " 1 - Upload Firmware to USB Security Module\n";
        }
        menu += " 9 - Enable/Disable Tracing Code.\n";
        menu += " X - Exit This Menu\n";
        menu += kPrompt;
        run.console.Write(menu);
        const int choice = ReadChoice(run);
        if (choice == 'X') {
            return;
        }
        if (choice == '1' && usb) {
            // A completed upload ends the process; anything else comes back to the menu.
            static_cast<void>(Command_SecurityModuleUpload(run));
            commands.WaitForKey();
        } else if (choice == '9') {
            static_cast<void>(TraceCodeMenu(run));
        }
    }
}

void RunMainMenu(UtilityRun& run) {
    SecurityModuleCommands commands(run);
    for (;;) {
        commands.ClearScreen();
        ShowMainHeader(run);
        run.console.Write(" 1 - Security Module Functions\n X - Exit Program\n");
        run.console.Write(kPrompt);
        const int choice = ReadChoice(run);
        if (choice == 'X') {
            return;
        }
        if (choice == '1') {
            SecurityModuleMenu(run);
        }
    }
}

}  // namespace lane::moxtel
