// The alert events: the numbered codes handed to "LogEvent" of the alert library, and their names.
#include "monitor/alerts/AlertEvents.h"

namespace lane::monitor {

namespace {

struct EventNameEntry {
    int code;
    const char* name;
};

constexpr EventNameEntry kEventNames[] = {
    {kEventSMChecksumFail, "Security module EPROM check failed"},
    {kEventSMGreenButtonRepeat, "Green button pressed"},
    {kEventSMRedButtonRepeat, "Red button pressed"},
    {kEventSMUPSEvent, "UPS event"},
    {kEventSMAbnormalPowerOff, "Improper power-down"},
    {kEventSSScaleResetRepeat, "Scale reset"},
    {kEventSSScaleCalibrateRepeat, "Scale calibrated"},
    {kEventCoinAccFull, "Coin acceptor bin full"},
    {kEventCoinAccBillsOnly, "Coin acceptor: bills without coins"},
    {kEventCoinDispLow, "Coin dispenser low"},
    {kEventCoinDispRefilled, "Coin dispenser refilled"},
    {kEventBillAccRejectRateHigh, "Bill acceptor reject rate high"},
    {kEventBillAccRepeatedReject, "Bill acceptor rejects in a row"},
    {kEventBillAccFull, "Bill acceptor cassette full"},
    {kEventBillAccEmptied, "Bill acceptor cassette emptied"},
    {kEventBillAccCassetteRemoved, "Bill acceptor cassette removed"},
    {kEventBillAccCassetteReplaced, "Bill acceptor cassette replaced"},
    {kEventBillAccCheatMode, "Bill acceptor cheat attempt"},
    {kEventBillAccJammed, "Bill acceptor jammed"},
    {kEventBillAccUnjammed, "Bill acceptor jam cleared"},
    {kEventBillAccCalibrationMode, "Bill acceptor entered calibration"},
    {kEventBillAccReset, "Bill acceptor reset"},
    {kEventBillAccResetWithEscrow, "Bill acceptor reset with a bill in escrow"},
    {kEventBillAccNonrecoverable, "Bill acceptor non-recoverable error"},
    {kEventBillAccOffline, "Bill acceptor offline"},
    {kEventBillDispLow, "Bill dispenser cassette low"},
    {kEventBillDispRefilled, "Bill dispenser cassette refilled"},
    {kEventBillDispCassetteRemoved, "Bill dispenser cassette removed"},
    {kEventBillDispCassetteReplaced, "Bill dispenser cassette replaced"},
    {kEventBillDispJammed, "Bill dispenser jammed"},
    {kEventBillDispOffline, "Bill dispenser offline"},
    {kEventBillDispOnline, "Bill dispenser back online"},
    {kEventBillDispBillsRejected, "Bill dispenser rejected bills"},
    {kEventBillDispInvalidCassettes, "Bill dispenser invalid cassettes"},
    {kEventBillDispCassetteLowDispense, "Bill dispenser cassette low during a dispense"},
    {kEventBillDispReset, "Bill dispenser reset"},
    {kEventBillDispFeedFailure, "Bill dispenser feed failure"},
    {kEventBillDispSensorBlock, "Bill dispenser sensor blocked"},
    {kEventBillDispVoltageRange, "Bill dispenser voltage out of range"},
    {kEventBillDispFeedModule, "Bill dispenser feed-module fault"},
    {kEventBillDispCommandReject, "Bill dispenser command rejected"},
    {kEventCoinDispOffline, "Coin dispenser offline"},
    {kEventCoinDispOnline, "Coin dispenser back online"},
};

}  // namespace

const char* AlertEventName(int eventCode) {
    for (const auto& event : kEventNames) {
        if (event.code == eventCode) {
            return event.name;
        }
    }
    return "Unknown event";
}

std::string AlertLogText(int eventCode) {
    return "Tavrik alert " + std::to_string(eventCode) + ": " + AlertEventName(eventCode);
}

}  // namespace lane::monitor
