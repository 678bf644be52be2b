// The bill acceptor and curtain menus: each item runs and the key wait keeps its result on the
// screen (the status screen has its own keys and leaves on X).
#include "Moxtel/Command_DeviceMenus.h"

#include "Moxtel/Command_BillAcceptorStatus.h"
#include "Moxtel/Command_BillAcceptorUpload.h"
#include "Moxtel/Command_SetSensors.h"
#include "Moxtel/ServiceMenu.h"
#include "Moxtel/securitymodule_commands.h"

namespace lane::moxtel {

void BillAcceptorMenu(UtilityRun& run) {
    SecurityModuleCommands commands(run);
    for (;;) {
        const bool bezel = run.identity.version >= kBezelItemFrom;
        const int choice = ShowMenu(run, "\n**** Bill Acceptor Menu ****",
                                    {{'1', "Upload Firmware to bill acceptor", true},
                                     {'2', "Bill Acceptor General Status", true},
                                     {'3', "Set bezel type to Standard", bezel}});
        if (choice == 'X') {
            return;
        }
        if (choice == '1') {
            // One try: the menu comes back whatever happened.
            static_cast<void>(Command_BillAcceptorUpload(run));
            commands.WaitForKey();
        } else if (choice == '2') {
            static_cast<void>(BillAcceptorStatusScreen(run));
        } else if (choice == '3' && bezel) {
            static_cast<void>(SetBezelTypeStandard(run));
            commands.WaitForKey();
        }
    }
}

void CurtainMenu(UtilityRun& run) {
    SecurityModuleCommands commands(run);
    for (;;) {
        const bool saturation = run.identity.version >= kSaturationItemFrom;
        const int choice = ShowMenu(run, "\n**** Curtain Menu ****",
                                    {{'1', "Set Curtain Break/Sensitivity Window", true},
                                     {'2', "Set Curtain Saturation Windows", saturation}});
        if (choice == 'X') {
            return;
        }
        if (choice == '1') {
            static_cast<void>(SetCurtainWindowItem(run, CurtainWindow::Break, true));
            commands.WaitForKey();
        } else if (choice == '2' && saturation) {
            static_cast<void>(SetCurtainWindowItem(run, CurtainWindow::Saturation, true));
            commands.WaitForKey();
        }
    }
}

}  // namespace lane::moxtel
