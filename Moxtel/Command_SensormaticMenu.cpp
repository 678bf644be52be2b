// The EAS controller menu: the configuration ('X' '3') read before each showing, then the items.
#include "Moxtel/Command_SensormaticMenu.h"

#include <string>

#include "Moxtel/OperatorInput.h"
#include "Moxtel/PortRequest.h"
#include "Moxtel/ServiceMenu.h"
#include "Moxtel/securitymodule_commands.h"

namespace lane::moxtel {

namespace {

constexpr const char* kModule = "Command_SensormaticMenu";
constexpr char kLetter = 'X';
constexpr char kLightOnTimeCode = '1';
constexpr char kControllerTypeCode = '2';
constexpr char kConfigurationCode = '3';
constexpr char kHardtagStatusCode = '4';
constexpr char kEnableCode = '5';
constexpr char kDisableCode = '6';
constexpr char kServiceDisableCode = '7';
constexpr char kServiceEnableCode = '8';
constexpr char kHighestControllerType = '3';

void Show(UtilityRun& run, const std::string& text) {
    run.log.LogMessage(kLogShow, kCategoryCommand, kModule, __LINE__, "%s", text.c_str());
}

// One request to the controller and its reply ('x', the code); 0 or the failure.
int Request(UtilityRun& run, SecurityModuleCommands& commands, const std::string& data,
            link::LinkPacket& reply) {
    return PortRequest(commands, run, link::kServicePort, data, 'x',
                       static_cast<std::uint8_t>(data[1]), kSensormaticWaitCount, reply);
}

bool OpenPort6(UtilityRun& run, SecurityModuleCommands& commands) {
    if (commands.OpenPort6() != 0) {
        Show(run, "ERROR 1B: Can not open port 6.");
        return false;
    }
    return true;
}

const char* ControllerName(std::uint8_t type) {
    switch (type) {
        case 1:
            return "1 - ScanMax\n";
        case 2:
            return "2 - ScanMax Pro\n";
        case 3:
            return "3 - CheckPoint\n";
        default:
            return "None\n\n\n";
    }
}

// The controller type comes back as a digit; a raw byte is taken as it stands.
std::uint8_t TypeNumber(std::uint8_t byte) {
    return byte >= '0' && byte <= '9' ? static_cast<std::uint8_t>(byte - '0') : byte;
}

// Reads the configuration for the menu's heading; false when port 6 could not be opened.
bool ShowConfiguration(UtilityRun& run) {
    SecurityModuleCommands commands(run);
    if (!OpenPort6(run, commands)) {
        return false;
    }
    EasConfiguration configuration;
    link::LinkPacket reply;
    if (Request(run, commands, std::string{kLetter, kConfigurationCode}, reply) ==
        kPortReplyMatched) {
        configuration.lightOnTime = PacketByte(reply, 5);
        configuration.controllerType = TypeNumber(PacketByte(reply, 6));
    } else {
        Show(run, "ERROR 62: Sensormatic controller did not respond.");
    }
    static_cast<void>(commands.ClosePort6());
    commands.ClearScreen();
    run.console.Write(
        "Current EAS Time " + std::to_string(configuration.lightOnTime) +
        " : Current Controller type :" + ControllerName(configuration.controllerType));
    return true;
}

}  // namespace

int SetHardtagLightOnTimeItem(UtilityRun& run) {
    run.console.Write("Enter Hardtag EAS Light on Time, Range 0 to 255 (Enter for No Change) :");
    const std::string answer = ReadOperatorLine(run.console, kOperatorLineChars);
    if (answer.empty()) {
        Show(run, "No Change!");
        return 0;
    }
    const std::uint32_t seconds = DecimalPrefix(answer);
    if (seconds > 255) {
        Show(run, "Invalid Range.");
        return 1;
    }
    SecurityModuleCommands commands(run);
    if (!OpenPort6(run, commands)) {
        return 1;
    }
    link::LinkPacket reply;
    const int result = Request(
        run, commands, std::string{kLetter, kLightOnTimeCode, static_cast<char>(seconds)}, reply);
    if (result == kPortReplyMatched) {
        Show(run, "Hardtag EAS Light on Time set to " + std::to_string(PacketByte(reply, 5)));
    } else {
        Show(run, "ERROR 62: Sensormatic controller did not respond.");
    }
    static_cast<void>(commands.ClosePort6());
    return result;
}

int SetControllerTypeItem(UtilityRun& run) {
    run.console.Write("Enter Controller Type (0-None, 1-ScanMax, 2-ScanMax Pro, 3-CheckPoint) :");
    const char type = ReadMenuKey(run);
    if (type < '0' || type > kHighestControllerType) {
        Show(run, "No Change!");
        return 0;
    }
    SecurityModuleCommands commands(run);
    if (!OpenPort6(run, commands)) {
        return 1;
    }
    // The controller type is taken without an answer.
    const int result =
        WritePortData(run, link::kServicePort, std::string{kLetter, kControllerTypeCode, type});
    if (result != kPortReplyMatched) {
        Show(run, "ERROR 11: Writing Security Module Data Failed.");
    } else {
        Show(run, std::string("Controller type set to ") +
                      ControllerName(static_cast<std::uint8_t>(type - '0')));
    }
    static_cast<void>(commands.ClosePort6());
    return result;
}

int EnableControllerItem(UtilityRun& run, bool enable, bool servicePort) {
    const char code = servicePort ? (enable ? kServiceEnableCode : kServiceDisableCode)
                                  : (enable ? kEnableCode : kDisableCode);
    SecurityModuleCommands commands(run);
    if (!OpenPort6(run, commands)) {
        return 1;
    }
    link::LinkPacket reply;
    const int result = Request(run, commands, std::string{kLetter, code}, reply);
    if (result == kPortReplyMatched) {
        Show(run, enable ? "Controller Enabled" : "Controller Disabled");
    } else if (servicePort) {
        Show(run, "ERROR: Sensormatic controller did not respond!");
    } else {
        Show(run, enable ? "ERROR 60: Sensormatic controller did not respond."
                         : "ERROR 60: Waiting for config data Timeout.");
    }
    static_cast<void>(commands.ClosePort6());
    return result;
}

int HardtagDetectionStatusItem(UtilityRun& run) {
    SecurityModuleCommands commands(run);
    if (!OpenPort6(run, commands)) {
        return 1;
    }
    link::LinkPacket reply;
    const int result = Request(run, commands, std::string{kLetter, kHardtagStatusCode}, reply);
    if (result == kPortReplyMatched) {
        Show(run, PacketByte(reply, 5) == '1' ? "Hardtag Detection Status : Hardtag Detected"
                                              : "Hardtag Detection Status : No Hardtag Detected");
    } else {
        Show(run, "ERROR 62: Sensormatic controller did not respond.");
    }
    static_cast<void>(commands.ClosePort6());
    return result;
}

void SensormaticMenu(UtilityRun& run) {
    SecurityModuleCommands commands(run);
    for (;;) {
        if (!ShowConfiguration(run)) {
            commands.WaitForKey();  // the error stays on the screen until a key
            return;
        }
        const unsigned version = run.identity.version;
        const bool control = version >= kSensormaticControlListedFrom;
        const bool servicePort = version >= kSensormaticServicePortFrom;
        // The configuration heading stays on the screen: the menu is drawn below it.
        std::string menu = "\n**** Sensormatic Menu ****\n\n";
        const MenuLine lines[] = {
            {'1', "Set Hardtag EAS Light on Time", true},
            {'2', "Set Controller Type", true},
            {'3', "Enable Controller", control},
            {'4', "Disable Controller", control},
            {'5', "Hardtag Detection Status", control},
            {'6', "Enable Controller using Service Port", servicePort},
            {'7', "Disable Controller using Service port", servicePort},
        };
        for (const MenuLine& line : lines) {
            if (line.listed) {
                menu += std::string(" ") + line.key + " - " + line.text + "\n";
            }
        }
        menu += " X - Exit This Menu\n";
        menu += kMenuPrompt;
        run.console.Write(menu);
        const int choice = ReadMenuChoice(run);
        int result = 0;
        switch (choice) {
            case 'X':
                return;
            case '1':
                result = SetHardtagLightOnTimeItem(run);
                break;
            case '2':
                result = SetControllerTypeItem(run);
                break;
            case '3':
                if (version < kSensormaticEnableFrom) {
                    continue;
                }
                result = EnableControllerItem(run, true, false);
                break;
            case '4':
                result = EnableControllerItem(run, false, false);
                break;
            case '5':
                result = HardtagDetectionStatusItem(run);
                break;
            case '6':
                result = EnableControllerItem(run, true, true);
                break;
            case '7':
                result = EnableControllerItem(run, false, true);
                break;
            default:
                continue;
        }
        static_cast<void>(result);
        commands.WaitForKey();
    }
}

}  // namespace lane::moxtel
