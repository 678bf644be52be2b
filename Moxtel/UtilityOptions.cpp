// The command-line parser: modifiers, command options, options with a value.
#include "Moxtel/UtilityOptions.h"

#include <cstdio>

#include "Moxtel/NumberText.h"

namespace lane::moxtel {

namespace {

constexpr int kKeepSetting = -1;

struct CommandOption {
    const char* option;
    const char* command;
    int setting;  // kKeepSetting: the option leaves the setting as it is
};

constexpr CommandOption kCommandOptions[] = {
    {"-SecurityModuleUpload", kCommandSecurityModuleUpload, kKeepSetting},
    {"-BillAcceptorUpload", kCommandBillAcceptorUpload, kKeepSetting},
    {"-GetVersion", kCommandGetVersion, kKeepSetting},
    {"-SetEAS_Checkpoint", kCommandEasCheckpoint, kKeepSetting},
    {"-ZeroCashBuffers", kCommandZeroCashBuffers, kKeepSetting},
    {"-DumpCashBuffers", kCommandDumpCashBuffers, kKeepSetting},
    {"-ReportCoinDispenserStatus", kCommandReportCoinDispenserStatus, kKeepSetting},
    {"-SetSafetySwitchEnable", kCommandSetSafetySwitch, 1},
    {"-SetSafetySwitchDisable", kCommandSetSafetySwitch, 0},
    {"-SetSafetySwitchType0", kCommandSetSafetySwitch, 0},
    {"-SetSafetySwitchType1", kCommandSetSafetySwitch, 1},
    {"-SetSafetySwitchType2", kCommandSetSafetySwitch, 2},
    {"-SetBDSensorEnable", kCommandSetBDSensor, 1},
    {"-SetBDSensorDisable", kCommandSetBDSensor, 0},
    {"-SetBizerbaScaleEnable", kCommandSetBizerbaScale, 1},
    {"-SetBizerbaScaleDisable", kCommandSetBizerbaScale, 0},
    {"-SetFlatpackEnable", kCommandSetFlatpack, 1},
    {"-SetFlatpackDisable", kCommandSetFlatpack, 0},
    {"-SetEPSFlash", kCommandEPSFlash, 1},
    {"-SetTopEPSLL", kCommandTopEPSLL, 1},
    {"-SetEPSLLFlash", kCommandEPSLLFlash, 1},
    {"-SetEBoxRound02", kCommandEBoxRound02, 1},
};

struct ModifierOption {
    const char* option;
    void (*apply)(UtilityOptions& options);
};

constexpr ModifierOption kModifierOptions[] = {
    {"-SupressConsoleDisplay",
     [](UtilityOptions& o) {
         o.consoleDisplay = false;
         o.acknowledgeResults = false;
     }},
    {"-SuppressAcknowledgeResults", [](UtilityOptions& o) { o.acknowledgeResults = false; }},
    {"-ManufacturingMode", [](UtilityOptions& o) { o.manufacturingMode = true; }},
    {"-AutoUpdate", [](UtilityOptions& o) { o.autoUpdate = true; }},
    {"-NoInternalFileChecksumCheck", [](UtilityOptions& o) { o.internalChecksumCheck = false; }},
};

void SetCommand(UtilityOptions& options, const char* command) {
    options.commandGiven = true;
    options.commandName = command;
}

void SetCoinSpeed(ParsedCommandLine& parsed, const std::string& value) {
    UtilityOptions& o = parsed.options;
    SetCommand(o, kCommandSetCoinSpeed);
    o.coinSpeedGiven = true;
    o.coinSpeed = static_cast<std::uint8_t>(static_cast<unsigned>(DecimalValue(value)) & 0xFFu);
    char note[64];
    std::snprintf(note, sizeof note, "Coin spees value %d", o.coinSpeed);
    parsed.notes.emplace_back(note);
    if (o.coinSpeed < kMinimumCoinSpeed) {
        o.coinSpeed = kMinimumCoinSpeed;
    }
}

struct ValueOption {
    const char* option;
    void (*apply)(ParsedCommandLine& parsed, const std::string& value);
};

constexpr ValueOption kValueOptions[] = {
    {"-SetCoinSpeed", SetCoinSpeed},
    {"-SetCurtainBreakWindow",
     [](ParsedCommandLine& p, const std::string& v) {
         SetCommand(p.options, kCommandSetCurtainBreakWindow);
         p.options.curtainBreakWindow = DecimalValue(v);
     }},
    {"-HardwareVersionRequest",
     [](ParsedCommandLine& p, const std::string& v) {
         SetCommand(p.options, kCommandHardwareVersionRequest);
         p.options.hardwareVersionFile = v;
     }},
    {"-InputFile", [](ParsedCommandLine& p, const std::string& v) { p.options.inputFile = v; }},
    {"-AltInputFile",
     [](ParsedCommandLine& p, const std::string& v) { p.options.altInputFile = v; }},
    {"-LE3900",
     [](ParsedCommandLine& p, const std::string& v) { p.options.billAcceptorImageLE3900 = v; }},
    {"-AE2800",
     [](ParsedCommandLine& p, const std::string& v) { p.options.billAcceptorImageAE2800 = v; }},
    {"-SC66",
     [](ParsedCommandLine& p, const std::string& v) { p.options.billAcceptorImageSC66 = v; }},
    {"-SC83",
     [](ParsedCommandLine& p, const std::string& v) { p.options.billAcceptorImageSC83 = v; }},
    {"-CreateSuccFile",
     [](ParsedCommandLine& p, const std::string& v) { p.options.successFile = v; }},
    {"-OutputFile", [](ParsedCommandLine& p, const std::string& v) { p.options.outputFile = v; }},
    {"-InputFileChecksum",
     [](ParsedCommandLine& p, const std::string& v) {
         p.options.inputFileChecksum = HexValue(v);
         p.options.inputFileChecksumText = v;
         p.options.inputFileChecksumValid = IsHexNumber(v);
     }},
    {"-UpLoadChecksum",
     [](ParsedCommandLine& p, const std::string& v) { p.options.uploadChecksum = HexValue(v); }},
    {"-TargetType", [](ParsedCommandLine& p,
                       const std::string& v) { p.options.targetType = v.empty() ? '\0' : v[0]; }},
    {"-MinSecurityModuleVersion",
     [](ParsedCommandLine& p, const std::string& v) {
         p.options.minSecurityModuleVersion = DecimalValue(v);
     }},
};

void NoteArgument(ParsedCommandLine& parsed, std::size_t index, const std::string& text) {
    parsed.notes.push_back("Argument " + std::to_string(index) + " Value:" + text);
}

// Applies a modifier or command option; false when `argument` is neither.
bool ApplyPlainOption(UtilityOptions& options, const std::string& argument) {
    for (const ModifierOption& modifier : kModifierOptions) {
        if (EqualsIgnoringCase(argument, modifier.option)) {
            modifier.apply(options);
            return true;
        }
    }
    for (const CommandOption& command : kCommandOptions) {
        if (EqualsIgnoringCase(argument, command.option)) {
            SetCommand(options, command.command);
            if (command.setting != kKeepSetting) {
                options.setting = command.setting;
            }
            return true;
        }
    }
    return false;
}

const ValueOption* FindValueOption(const std::string& argument) {
    for (const ValueOption& option : kValueOptions) {
        if (EqualsIgnoringCase(argument, option.option)) {
            return &option;
        }
    }
    return nullptr;
}

}  // namespace

bool FirstArgumentIsGetUtilityVersion(const std::vector<std::string>& arguments) {
    return !arguments.empty() && EqualsIgnoringCase(arguments[0], kGetUtilityVersionOption);
}

ParsedCommandLine ParseCommandLine(const std::vector<std::string>& arguments) {
    ParsedCommandLine parsed;
    for (std::size_t at = 0; at < arguments.size(); ++at) {
        const std::string& argument = arguments[at];
        NoteArgument(parsed, at + 1, argument);
        if (ApplyPlainOption(parsed.options, argument)) {
            continue;
        }
        const ValueOption* option = FindValueOption(argument);
        if (option == nullptr || at + 1 == arguments.size()) {
            parsed.valid = false;
            return parsed;
        }
        ++at;
        NoteArgument(parsed, at + 1, arguments[at]);
        option->apply(parsed, arguments[at]);
    }
    if (!arguments.empty() && !parsed.options.commandGiven) {
        parsed.valid = false;
    }
    return parsed;
}

}  // namespace lane::moxtel
