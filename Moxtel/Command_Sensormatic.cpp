// The EAS light settings ('Z' '9' and 'Z' 'B') and the EAS controller type ('X' '2').
#include "Moxtel/Command_Sensormatic.h"

#include <string>

#include "Moxtel/PortRequest.h"
#include "Moxtel/securitymodule_commands.h"

namespace lane::moxtel {

namespace {

constexpr const char* kModule = "Command_Sensormatic";
// The EAS controller type Checkpoint.
constexpr char kCheckpointType = '3';

void Show(UtilityRun& run, const std::string& text) {
    run.log.LogMessage(kLogShow, kCategoryCommand, kModule, __LINE__, "%s", text.c_str());
}

std::string LightsText(EasLights lights, std::uint8_t value) {
    const char* what = lights == EasLights::AllThreeFlashing ? "All 3 EAS as Lane Light is "
                                                             : "Top EAS as Lane Light is ";
    if (value == '1') {
        return std::string(what) + "Enabled\n";
    }
    if (value == '0') {
        return std::string(what) + "Disabled\n";
    }
    return "Invalid Setting!\n";
}

}  // namespace

int SetEasLightsItem(UtilityRun& run, EasLights lights) {
    const char code = lights == EasLights::AllThreeFlashing ? '9' : 'B';
    Show(run, lights == EasLights::AllThreeFlashing
                  ? "USB Security Module Set all 3 EAS light as flashing lane light only"
                  : "USB Security Module, Set top EAS light as lane light");
    SecurityModuleCommands commands(run);
    if (commands.OpenPort6() != 0) {
        Show(run, "ERROR 1B: Can not open port 6.");
        return 1;
    }
    Show(run, "\n\nCurrent Status:");
    link::LinkPacket reply;
    int result = PortRequest(commands, run, link::kServicePort, std::string{'Z', code, '?'}, 'z',
                             static_cast<std::uint8_t>(code), kEasLightWaitCount, reply);
    if (result != kPortReplyMatched) {
        Show(run, result == kPortWriteFailed ? "ERROR 11: Writing Security Module data Failed."
                  : result == kPortNoReply   ? "ERROR 10: Waiting for config data timeout."
                                             : "ERROR 12: Security Module timeout.");
        return result;
    }
    Show(run, LightsText(lights, PacketByte(reply, 5)));
    // These items only ever switch the lights on.
    result = PortRequest(commands, run, link::kServicePort, std::string{'Z', code, '1'}, 'z',
                         static_cast<std::uint8_t>(code), kEasLightWaitCount, reply);
    if (result != kPortReplyMatched) {
        Show(run, result == kPortWriteFailed ? "ERROR 11: Writing Security Module data Failed."
                  : result == kPortNoReply   ? "ERROR 10: Waiting for config data timeout."
                                             : "ERROR 12: Security Module status timeout.");
        return result;
    }
    Show(run, "\n" + LightsText(lights, PacketByte(reply, 5)));
    return 0;
}

int Command_EPSFlash(UtilityRun& run) {
    return SetEasLightsItem(run, EasLights::AllThreeFlashing);
}

int Command_TopEPSLL(UtilityRun& run) {
    return SetEasLightsItem(run, EasLights::TopAsLaneLight);
}

int Command_EasCheckpoint(UtilityRun& run) {
    Show(run, "Setting EAS type to Checkpoint");
    SecurityModuleCommands commands(run);
    if (commands.OpenPort6() != 0) {
        Show(run, "ERROR 1B: Can not open port 6.");
        return 1;
    }
    const int written =
        WritePortData(run, link::kServicePort, std::string{'X', '2', kCheckpointType});
    if (written != kPortReplyMatched) {
        Show(run, "ERROR 11: Writing Security Module Data Failed.");
    }
    static_cast<void>(commands.ClosePort6());
    return written;
}

}  // namespace lane::moxtel
