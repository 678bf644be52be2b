// The main menu and the security module menu: each drawn on a cleared screen with its items and
// a prompt, one key read, upper-cased and echoed, the item run, and the menu drawn again until X.
#include "Moxtel/Command_UserMenu.h"

#include <string>

#include "Moxtel/Command_Carousel.h"
#include "Moxtel/Command_CoinDispenser.h"
#include "Moxtel/Command_DeviceMenus.h"
#include "Moxtel/Command_FujitsuTest.h"
#include "Moxtel/Command_SecurityModuleItems.h"
#include "Moxtel/Command_SecurityModuleUpload.h"
#include "Moxtel/Command_Sensormatic.h"
#include "Moxtel/Command_SensormaticMenu.h"
#include "Moxtel/Command_SetSensors.h"
#include "Moxtel/Command_TestMenu.h"
#include "Moxtel/Command_UPS.h"
#include "Moxtel/ServiceMenu.h"
#include "Moxtel/UtilityOptions.h"
#include "Moxtel/securitymodule_commands.h"

namespace lane::moxtel {

namespace {

std::string MainHeader(UtilityRun& run) {
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
    header += IsUsbBoard(run) ? "**** USB " : "**** TMCB ";
    header += "Utility Main Menu ****";
    return header;
}

bool AllEasListed(unsigned version) {
    return (version >= kAllEasListedFrom && version < kAllEasListedBelow) ||
           version >= kAllEasListedAgainFrom;
}

}  // namespace

void SecurityModuleMenu(UtilityRun& run) {
    SecurityModuleCommands commands(run);
    for (;;) {
        const bool usb = IsUsbBoard(run);
        const unsigned version = run.identity.version;
        const bool switches = version >= kSwitchItemsListedFrom;
        const int choice =
            ShowMenu(run, "\n**** Security Module Menu ****",
                     {{'1', "Upload Firmware to USB Security Module", usb},
                      {'2', "Enable/Disable Conveyor Safety Stop Switches", switches},
                      {'3', "Enable/Disable Bill Dispenser Sensor/Light/Buzzer", switches},
                      {'4', "Set Bizerba to PSC Interface", version >= kBizerbaItemFrom},
                      {'5', "Calibrate Proximity Sensor", version >= kProximityFrom},
                      {'6', "Set Scale to High Weight Capacity", version >= kHighWeightFrom},
                      {'7', "Set Top EAS Light as Lane Light", true},
                      {'8', "Set all 3 EAS Lights as Flashing Lane Lights", AllEasListed(version)},
                      {'9', "Enable/Disable Tracing Code.", true}});
        bool ran = true;
        switch (choice) {
            case 'X':
                return;
            case '1':
                // A completed upload ends the process; anything else comes back to the menu.
                ran = usb;
                if (usb) {
                    static_cast<void>(Command_SecurityModuleUpload(run));
                }
                break;
            case '2':
            case '3':
                // Run from 3.35 although listed only above it.
                ran = version >= kSwitchItemsRunFrom;
                if (ran) {
                    static_cast<void>(SetSensorItem(
                        run, choice == '2' ? SensorSetting::SafetySwitch : SensorSetting::BDSensor,
                        true));
                }
                break;
            case '4':
                ran = version >= kBizerbaItemFrom;
                if (ran) {
                    static_cast<void>(SetSensorItem(run, SensorSetting::BizerbaScale, true));
                }
                break;
            case '5':
                ran = version >= kProximityFrom;
                if (ran) {
                    static_cast<void>(CalibrateProximitySensorItem(run));
                }
                break;
            case '6':
                ran = version >= kHighWeightFrom;
                if (ran) {
                    static_cast<void>(HighWeightCapacityItem(run));
                }
                break;
            case '7':
                static_cast<void>(EasLightAsLaneLightItem(run));
                break;
            case '8':
                // Runs on every module, listed or not.
                static_cast<void>(SetEasLightsItem(run, EasLights::AllThreeFlashing));
                break;
            case '9':
                static_cast<void>(TraceCodeMenu(run));
                ran = false;  // the trace code menu has its own exit
                break;
            default:
                ran = false;
                break;
        }
        if (ran) {
            commands.WaitForKey();
        }
    }
}

void RunMainMenu(UtilityRun& run) {
    for (;;) {
        const unsigned version = run.identity.version;
        const int choice =
            ShowMenu(run, MainHeader(run),
                     {{'1', "Security Module Functions", true},
                      {'2', "Bill Acceptor Functions", true},
                      {'3', "Fujitsu Bill Dispenser Functions", version >= kFujitsuMenuFrom},
                      {'4', "Curtain Functions", true},
                      {'5', "Sensormatic Functions", true},
                      {'6', "Coin Dispenser Functions", version >= kCoinDispenserMenuFrom},
                      {'7', "Carousel Functions", version >= kCarouselListedFrom},
                      {'8', "UPS Functions", true},
                      {'T', "Test Menu", true}},
                     "Exit Program");
        switch (choice) {
            case 'X':
                return;
            case '1':
                SecurityModuleMenu(run);
                break;
            case '2':
                BillAcceptorMenu(run);
                break;
            case '3':
                if (version >= kFujitsuMenuFrom) {
                    FujitsuDispenserMenu(run);
                }
                break;
            case '4':
                CurtainMenu(run);
                break;
            case '5':
                SensormaticMenu(run);
                break;
            case '6':
                if (version >= kCoinDispenserMenuFrom) {
                    CoinDispenserMenu(run);
                }
                break;
            case '7':
                // Listed from 4.39; the carousel menu checks the version it needs itself.
                CarouselMenu(run);
                break;
            case '8':
                UpsMenu(run);
                break;
            case 'T':
                TestMenu(run);
                break;
            default:
                break;
        }
    }
}

}  // namespace lane::moxtel
