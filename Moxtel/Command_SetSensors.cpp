// The lane setting items of the service port: 'Z' and the setting's code with '?' to read, with
// the value to write; the reply ('z', the code) carries the value now in force.
#include "Moxtel/Command_SetSensors.h"

#include <cstdio>
#include <string>

#include "Moxtel/OperatorInput.h"
#include "Moxtel/PortRequest.h"
#include "Moxtel/securitymodule_commands.h"
#include "link/LinkConfig.h"

namespace lane::moxtel {

namespace {

constexpr const char* kModule = "Command_SetSensors";

struct SensorTexts {
    std::uint8_t code;
    unsigned minimumVersion;  // 0: every version
    const char* banner;
    const char* notUsb;
    const char* noun;             // in the read's and write's failure texts
    const char* item;             // in the notes of the capture file
    const char* firstReadFailed;  // shown for every failure of the first read, when set
    const char* statusPrefix;     // "Current Status of ... is "
    const char* prompt;
    char enable;
    char disable;
};

SensorTexts TextsOf(SensorSetting setting) {
    switch (setting) {
        case SensorSetting::SafetySwitch:
            break;
        case SensorSetting::BDSensor:
            return {'D',
                    335,
                    "**** USB Security Module Set BD Cash Pocket Sensors ****",
                    "ERROR 1D: System is not USB!",
                    "BD Sensor Status",
                    "BD Cash Pocket Sensor",
                    nullptr,
                    "Current Status of BD Cash Pocket Sensor is ",
                    "Enter E to Enable or D to Disable BD Cash Pocket Sensor :",
                    'E',
                    'D'};
        case SensorSetting::BizerbaScale:
            return {'E',
                    0,
                    "**** USB Security Module Set Bizerba Scale to PSC Interface ****",
                    "ERROR 1D: System is not USB!",
                    "Bizerba Scale Status",
                    "Bizerba Scale",
                    nullptr,
                    "Current Status of Bizerba Scale Interface is ",
                    "Enter E to Enable or D to Disable Bizerba Scale Interface :",
                    '1',
                    '0'};
        case SensorSetting::Flatpack:
            return {'F',
                    336,
                    "USB Security Module Set Flatpack Sensor Enable/Disable",
                    "ERROR 1D: System is not USB.",
                    "Flatpack Sensor Status",
                    "Flatpack Sensor",
                    "ERROR 13: USB Security Module.",
                    "Current Status of Flatpack Sensor is ",
                    "Enter E to Enable or D to Disable Flatpack Sensor :",
                    '1',
                    '0'};
    }
    return {'C',
            335,
            "**** USB Security Module Set Conveyor Safety Switches ****",
            "ERROR 1D: System is not USB!",
            "Switch Status",
            "Safety Switch",
            nullptr,
            "Current Status of Conveyor Safety Switch is ",
            nullptr,
            'E',
            'D'};
}

void Show(UtilityRun& run, const std::string& text) {
    run.log.LogMessage(kLogShow, kCategoryCommand, kModule, __LINE__, "%s", text.c_str());
}

void Note(UtilityRun& run, const std::string& text) {
    run.log.LogMessage(kLogFileOnly, kCategoryCommand, kModule, __LINE__, "%s", text.c_str());
}

bool UsbBoard(UtilityRun& run) {
    return run.config.Access(run.log).SecurityModuleType == link::kBoardTypeUsb;
}

std::string VersionText(unsigned version) {
    char text[16];
    std::snprintf(text, sizeof text, "%u.%02u", version / 100, version % 100);
    return text;
}

// The start every item shares: board, banner, port 6, version gate. False when the item stops.
bool StartItem(UtilityRun& run, SecurityModuleCommands& commands, const char* banner,
               const char* notUsb, unsigned minimumVersion) {
    if (!UsbBoard(run)) {
        Show(run, notUsb);
        return false;
    }
    Show(run, "");
    Show(run, banner);
    Show(run, "");
    if (commands.OpenPort6() != 0) {
        Show(run, "ERROR 1B: Can not open port 6.");
        return false;
    }
    if (run.identity.version < minimumVersion) {
        // Port 6 stays open; the link's shutdown closes it.
        Show(run, "ERROR 1E: Security Module Version Must be >= " + VersionText(minimumVersion));
        return false;
    }
    return true;
}

std::string StatusText(SensorSetting setting, const SensorTexts& texts, std::uint8_t value) {
    if (setting == SensorSetting::SafetySwitch) {
        if (value == '1' || value == 'E') {
            return std::string(texts.statusPrefix) + "Enabled Type 1";
        }
        if (value == '2') {
            return std::string(texts.statusPrefix) + "Enabled Type 2";
        }
        return std::string(texts.statusPrefix) + "Disabled";
    }
    const bool enabled = value == 'E' || value == '1';
    return std::string(texts.statusPrefix) + (enabled ? "Enabled" : "Disabled");
}

// The byte written for `setting` 0, 1 or 2 on a module of `version`.
char ValueToWrite(SensorSetting which, const SensorTexts& texts, int setting, unsigned version) {
    if (which == SensorSetting::SafetySwitch && version >= kSafetySwitchTypesFrom) {
        return setting == 1 ? '1' : setting == 2 ? '2' : '0';
    }
    return setting == 1 ? texts.enable : texts.disable;
}

// Shows the failure of a request: the item's own text for the three ways it can fail.
void ShowFailure(UtilityRun& run, int result, const std::string& writeFailed,
                 const std::string& noReply, const std::string& tooMany) {
    Show(run, result == kPortWriteFailed ? writeFailed
              : result == kPortNoReply   ? noReply
                                         : tooMany);
}

// The operator's answer: the setting, or false for "no change" (an empty line).
bool AskSetting(UtilityRun& run, SensorSetting which, const SensorTexts& texts, int& setting) {
    Show(run, "");
    const char* prompt = texts.prompt;
    if (which == SensorSetting::SafetySwitch) {
        prompt = run.identity.version >= kSafetySwitchTypesFrom
                     ? "Enter 0-Disable,1-Enable(Mechanical), 2-Enable(Opto) Conveyor Safety "
                       "Switches:"
                     : "Enter E to Enable or D to Disable Conveyor Safety Switches :";
    }
    run.log.LogMessage(kLogPrompt, kCategoryCommand, kModule, __LINE__, "%s", prompt);
    const std::string answer = ReadOperatorLine(run.console, kOperatorLineChars);
    Note(run, "Entered Answer : " + answer);
    if (answer.empty()) {
        return false;
    }
    const char first = answer[0];
    if (first == 'E' || first == 'e' || (which == SensorSetting::SafetySwitch && first == '1')) {
        setting = 1;
    } else if (which == SensorSetting::SafetySwitch && first == '2') {
        setting = 2;
    } else {
        setting = 0;
    }
    return true;
}

}  // namespace

int SetSensorItem(UtilityRun& run, SensorSetting which, bool interactive) {
    const SensorTexts texts = TextsOf(which);
    SecurityModuleCommands commands(run);
    if (!StartItem(run, commands, texts.banner, texts.notUsb, texts.minimumVersion)) {
        return 1;
    }
    if (which == SensorSetting::Flatpack) {
        Show(run, "Security Module Version " + run.identity.versionText);
        run.log.LogMessage(kLogPrompt, kCategoryCommand, kModule, __LINE__,
                           "USB Security Module Checksum %s", run.identity.checksumText.c_str());
        Show(run, run.identity.checksumStatus == '0' ? " PASSED!" : " FAILED!");
    }
    const std::string noun = texts.noun;
    const std::string item = texts.item;
    Note(run, "Requesting Security Module " + item + " Status");
    link::LinkPacket reply;
    const std::string readRequest{'Z', static_cast<char>(texts.code), '?'};
    int result = PortRequest(commands, run, link::kServicePort, readRequest, 'z', texts.code,
                             kSettingWaitCount, reply);
    if (result != kPortReplyMatched) {
        if (texts.firstReadFailed != nullptr) {
            Show(run, texts.firstReadFailed);
        } else {
            ShowFailure(run, result, "ERROR 11: Get Security Module " + noun + " Failed.",
                        "ERROR 10: Get Security Module " + noun + " Failed.",
                        "ERROR 12: Get Security Module " + noun + " Failed.");
        }
        static_cast<void>(commands.ClosePort6());
        return result;
    }
    Show(run, StatusText(which, texts, PacketByte(reply, 5)));

    int setting = run.options.setting;
    if (interactive && !AskSetting(run, which, texts, setting)) {
        Show(run, "No Change!");
        static_cast<void>(commands.ClosePort6());
        return 0;
    }
    const char value = ValueToWrite(which, texts, setting, run.identity.version);
    const std::string writeRequest{'Z', static_cast<char>(texts.code), value};
    Note(run, "Setting Security Module " + item);
    Note(run, std::string("Value = ") + value);
    result = PortRequest(commands, run, link::kServicePort, writeRequest, 'z', texts.code,
                         kSettingWaitCount, reply);
    if (result == kPortReplyMatched) {
        Show(run, "");
        Show(run, StatusText(which, texts, PacketByte(reply, 5)));
    } else {
        ShowFailure(run, result, "ERROR 11: Writing Security Module " + noun + " Failed.",
                    "ERROR 10: Get Security Module " + item + " Failed.",
                    "ERROR 12: Get Security Module " + noun + " Failed.");
    }
    static_cast<void>(commands.ClosePort6());
    return result;
}

int SetCurtainWindowItem(UtilityRun& run, CurtainWindow window, bool interactive) {
    const bool isBreak = window == CurtainWindow::Break;
    const char readCode = isBreak ? '5' : '9';
    const char writeCode = isBreak ? '4' : '8';
    const std::string name = isBreak ? "Break" : "Saturation";
    SecurityModuleCommands commands(run);
    if (!StartItem(run, commands,
                   isBreak ? "**** USB Security Module Set Curtain Break Window ****"
                           : "**** USB Security Module Set Curtain Saturation Window ****",
                   isBreak ? "ERROR 1D: System is not USB!" : "ERROR 1D: System is not USB.",
                   isBreak ? 336 : 429)) {
        return 1;
    }
    const auto readValue = [&](link::LinkPacket& reply) {
        return PortRequest(commands, run, link::kServicePort, std::string{'A', readCode}, 'a',
                           static_cast<std::uint8_t>(readCode), kSettingWaitCount, reply);
    };
    const auto showValue = [&](const link::LinkPacket& reply) {
        Show(run,
             "Current Curtain " + name + " Window Value:" + std::to_string(PacketByte(reply, 5)));
    };
    link::LinkPacket reply;
    int result = readValue(reply);
    if (result != kPortReplyMatched) {
        Show(run, "ERROR 13: USB Secureity Module.");
        static_cast<void>(commands.ClosePort6());
        return result;
    }
    showValue(reply);

    // The window is one byte: 300 is sent as 44, without a range check.
    auto value = static_cast<std::uint8_t>(run.options.curtainBreakWindow & 0xFF);
    if (interactive) {
        Show(run, isBreak ? "Valid Range is 10 to 255" : "Valid Range is 0 to 255");
        Show(run, "Enter 0 for reset to Default Value");
        Show(run, "Press Enter for No Change");
        run.log.LogMessage(kLogPrompt, kCategoryCommand, kModule, __LINE__, "Enter Curtain %s",
                           (name + " Window Value :").c_str());
        const std::string answer = ReadOperatorLine(run.console, kOperatorLineChars);
        Note(run, "Entered Answer : " + answer);
        if (answer.empty()) {
            Show(run, "No Change!");
            static_cast<void>(commands.ClosePort6());
            return 0;
        }
        value = static_cast<std::uint8_t>(DecimalPrefix(answer) & 0xFF);
    }
    Note(run, "Setting Security Module Curtain " + name + " Window");
    Note(run, "Value = " + std::to_string(value));
    const std::string writeRequest{'A', writeCode, static_cast<char>(value)};
    result = PortRequest(commands, run, link::kServicePort, writeRequest, 'a',
                         static_cast<std::uint8_t>(writeCode), kSettingWaitCount, reply);
    if (result == kPortReplyMatched) {
        result = readValue(reply);
    }
    if (result == kPortReplyMatched) {
        Show(run, "");
        showValue(reply);
    } else {
        ShowFailure(run, result,
                    "ERROR 11: Writing Security Module Curtain " + name + " Window Failed.",
                    "ERROR 10: Get Security Module Curtain " + name + " Window Failed.",
                    "ERROR 12: Get Security Module Curtain " + name + " Window Failed.");
    }
    static_cast<void>(commands.ClosePort6());
    return result;
}

int Command_SetSafetySwitch(UtilityRun& run) {
    return SetSensorItem(run, SensorSetting::SafetySwitch, false);
}

int Command_SetBDSensor(UtilityRun& run) {
    return SetSensorItem(run, SensorSetting::BDSensor, false);
}

int Command_SetBizerbaScale(UtilityRun& run) {
    return SetSensorItem(run, SensorSetting::BizerbaScale, false);
}

int Command_SetFlatpack(UtilityRun& run) {
    return SetSensorItem(run, SensorSetting::Flatpack, false);
}

int Command_SetCurtainBreakWindow(UtilityRun& run) {
    return SetCurtainWindowItem(run, CurtainWindow::Break, false);
}

}  // namespace lane::moxtel
