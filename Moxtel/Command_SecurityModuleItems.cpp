// The proximity calibration, high weight capacity and EAS light as lane light items: a read of
// the current value ('?'), then the write; the reply ('z', the code) carries the value in force.
#include "Moxtel/Command_SecurityModuleItems.h"

#include <string>

#include "Moxtel/PortRequest.h"
#include "Moxtel/securitymodule_commands.h"

namespace lane::moxtel {

namespace {

constexpr const char* kModule = "Command_SecurityModuleItems";
constexpr char kProximityCode = 'P';
constexpr char kHighWeightCode = 'H';
constexpr char kEasLaneLightCode = 'A';

void Show(UtilityRun& run, const std::string& text) {
    run.log.LogMessage(kLogShow, kCategoryCommand, kModule, __LINE__, "%s", text.c_str());
}

std::string VersionText(unsigned version) {
    return std::to_string(version / 100) + "." + std::to_string(version / 10 % 10) +
           std::to_string(version % 10);
}

// Shows the failure of an exchange with its number.
void ShowFailure(UtilityRun& run, int result, const std::string& what) {
    if (result == kPortWriteFailed) {
        Show(run, "ERROR 11: Writing Security Module data Failed.");
    } else if (result == kPortNoReply) {
        Show(run, "ERROR 10: " + what + " timeout.");
    } else {
        Show(run, "ERROR 12: " + what + " timeout.");
    }
}

// Opens port 6 and checks the module version; false after showing why not.
bool OpenServicePort(UtilityRun& run, SecurityModuleCommands& commands, unsigned minimumVersion) {
    if (commands.OpenPort6() != 0) {
        Show(run, "ERROR 1B: Can not open port 6.");
        return false;
    }
    if (run.identity.version < minimumVersion) {
        Show(run, "ERROR 1E: Security Module Version Must be >= " + VersionText(minimumVersion));
        static_cast<void>(commands.ClosePort6());
        return false;
    }
    return true;
}

int Exchange(UtilityRun& run, SecurityModuleCommands& commands, char code, char value,
             int waitCount, link::LinkPacket& reply) {
    return PortRequest(commands, run, link::kServicePort, std::string{'Z', code, value}, 'z',
                       static_cast<std::uint8_t>(code), waitCount, reply);
}

std::string HighWeightText(std::uint8_t value) {
    if (value == '1') {
        return "High Weight Capacity\n";
    }
    if (value == '0') {
        return "Standard Weight Capacity\n";
    }
    return "Invalid Setting!\n";
}

std::string EasLaneLightText(std::uint8_t value) {
    if (value == '1') {
        return "EAS as Lane Light is Enabled\n";
    }
    if (value == '0') {
        return "EAS as Lane Light is Disabled\n";
    }
    return "Invalid Setting!\n";
}

}  // namespace

int CalibrateProximitySensorItem(UtilityRun& run) {
    Show(run, "\n**** USB Security Module Calibrate Proximity Sensor ****\n");
    SecurityModuleCommands commands(run);
    if (!OpenServicePort(run, commands, kProximityFrom)) {
        return 1;
    }
    // The sensor must see nothing while it calibrates: the operator clears it first.
    run.console.Write("Press any key to start proximity calibration");
    static_cast<void>(run.console.GetKey());
    run.console.Write("\n");
    Show(run, "Calibrating Proximity Sensor, Please Wait...");
    link::LinkPacket reply;
    const int result = Exchange(run, commands, kProximityCode, '1', kProximityWaitCount, reply);
    if (result != kPortReplyMatched) {
        ShowFailure(run, result, "Proximity calibration");
    } else if (PacketByte(reply, 5) == '1') {
        Show(run, "Proximity Sensor Calibration Passed.");
    } else {
        Show(run, "Proximity Sensor Calibration Failed.");
    }
    static_cast<void>(commands.ClosePort6());
    return result != kPortReplyMatched ? result : PacketByte(reply, 5) == '1' ? 0 : 1;
}

int HighWeightCapacityItem(UtilityRun& run) {
    Show(run, "\n**** USB Security Module Set Scale to High Weight Capacity ****\n");
    SecurityModuleCommands commands(run);
    if (!OpenServicePort(run, commands, kHighWeightFrom)) {
        return 1;
    }
    link::LinkPacket reply;
    int result = Exchange(run, commands, kHighWeightCode, '?', kSecurityItemWaitCount, reply);
    if (result == kPortReplyMatched) {
        Show(run, "Current Status: " + HighWeightText(PacketByte(reply, 5)));
        result = Exchange(run, commands, kHighWeightCode, '1', kSecurityItemWaitCount, reply);
    }
    if (result != kPortReplyMatched) {
        ShowFailure(run, result, "Scale capacity");
    } else {
        Show(run, "New Status: " + HighWeightText(PacketByte(reply, 5)));
    }
    static_cast<void>(commands.ClosePort6());
    return result;
}

int EasLightAsLaneLightItem(UtilityRun& run) {
    Show(run, "USB Security Module Set EAS light as lane light");
    SecurityModuleCommands commands(run);
    if (!OpenServicePort(run, commands, 0)) {
        return 1;
    }
    Show(run, "\n\nCurrent Status:");
    link::LinkPacket reply;
    int result = Exchange(run, commands, kEasLaneLightCode, '?', kSecurityItemWaitCount, reply);
    if (result == kPortReplyMatched) {
        Show(run, EasLaneLightText(PacketByte(reply, 5)));
        // The item only ever switches the light on.
        result = Exchange(run, commands, kEasLaneLightCode, '1', kSecurityItemWaitCount, reply);
    }
    if (result != kPortReplyMatched) {
        ShowFailure(run, result, "Waiting for config data");
    } else {
        Show(run, "\n" + EasLaneLightText(PacketByte(reply, 5)));
    }
    static_cast<void>(commands.ClosePort6());
    return result;
}

}  // namespace lane::moxtel
