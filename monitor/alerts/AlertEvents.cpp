// The alert events: the numbered codes handed to "LogEvent" of the alert library, their names
// and how urgent each is.
#include "monitor/alerts/AlertEvents.h"

namespace lane::monitor {

namespace {

struct EventEntry {
    int code;
    const char* key;
    const char* name;
    AlertSeverity severity;
};

constexpr AlertSeverity kError = AlertSeverity::Error;
constexpr AlertSeverity kWarning = AlertSeverity::Warning;
constexpr AlertSeverity kNotice = AlertSeverity::Notice;

constexpr EventEntry kEvents[] = {
    {kEventSMChecksumFail, "SMChecksumFail", "Security module EPROM check failed", kError},
    {kEventSMGreenButtonRepeat, "SMGreenButtonRepeat", "Green button pressed", kNotice},
    {kEventSMRedButtonRepeat, "SMRedButtonRepeat", "Red button pressed", kNotice},
    {kEventSMUPSEvent, "SMUPSEvent", "UPS event", kWarning},
    {kEventSMAbnormalPowerOff, "SMAbnormalPowerOff", "Improper power-down", kWarning},
    {kEventSSScaleResetRepeat, "SSScaleResetRepeat", "Scale reset", kNotice},
    {kEventSSScaleCalibrateRepeat, "SSScaleCalibrateRepeat", "Scale calibrated", kNotice},
    {kEventCoinAccFull, "CoinAccFull", "Coin acceptor bin full", kError},
    {kEventCoinAccBillsOnly, "CoinAccBillsOnly", "Coin acceptor: bills without coins", kWarning},
    {kEventCoinDispLow, "CoinDispLow", "Coin dispenser low", kWarning},
    {kEventCoinDispRefilled, "CoinDispRefilled", "Coin dispenser refilled", kNotice},
    {kEventBillAccRejectRateHigh, "BillAccRejectRateHigh", "Bill acceptor reject rate high",
     kWarning},
    {kEventBillAccRepeatedReject, "BillAccRepeatedReject", "Bill acceptor rejects in a row",
     kWarning},
    {kEventBillAccFull, "BillAccFull", "Bill acceptor cassette full", kError},
    {kEventBillAccEmptied, "BillAccEmptied", "Bill acceptor cassette emptied", kNotice},
    {kEventBillAccCassetteRemoved, "BillAccCassetteRemoved", "Bill acceptor cassette removed",
     kNotice},
    {kEventBillAccCassetteReplaced, "BillAccCassetteReplaced", "Bill acceptor cassette replaced",
     kNotice},
    {kEventBillAccCheatMode, "BillAccCheatMode", "Bill acceptor cheat attempt", kWarning},
    {kEventBillAccJammed, "BillAccJammed", "Bill acceptor jammed", kError},
    {kEventBillAccUnjammed, "BillAccUnjammed", "Bill acceptor jam cleared", kNotice},
    {kEventBillAccCalibrationMode, "BillAccCalibrationMode", "Bill acceptor entered calibration",
     kNotice},
    {kEventBillAccReset, "BillAccReset", "Bill acceptor reset", kNotice},
    {kEventBillAccResetWithEscrow, "BillAccResetWithEscrow",
     "Bill acceptor reset with a bill in escrow", kWarning},
    {kEventBillAccNonrecoverable, "BillAccNonrecoverable", "Bill acceptor non-recoverable error",
     kError},
    {kEventBillAccOffline, "BillAccOffline", "Bill acceptor offline", kError},
    {kEventBillDispLow, "BillDispLow", "Bill dispenser cassette low", kWarning},
    {kEventBillDispRefilled, "BillDispRefilled", "Bill dispenser cassette refilled", kNotice},
    {kEventBillDispCassetteRemoved, "BillDispCassetteRemoved", "Bill dispenser cassette removed",
     kNotice},
    {kEventBillDispCassetteReplaced, "BillDispCassetteReplaced", "Bill dispenser cassette replaced",
     kNotice},
    {kEventBillDispJammed, "BillDispJammed", "Bill dispenser jammed", kError},
    {kEventBillDispOffline, "BillDispOffline", "Bill dispenser offline", kError},
    {kEventBillDispOnline, "BillDispOnline", "Bill dispenser back online", kNotice},
    {kEventBillDispBillsRejected, "BillDispBillsRejected", "Bill dispenser rejected bills",
     kWarning},
    {kEventBillDispInvalidCassettes, "BillDispInvalidCassettes", "Bill dispenser invalid cassettes",
     kError},
    {kEventBillDispCassetteLowDispense, "BillDispCassetteLowDispense",
     "Bill dispenser cassette low during a dispense", kWarning},
    {kEventBillDispReset, "BillDispReset", "Bill dispenser reset", kNotice},
    {kEventBillDispFeedFailure, "BillDispFeedFailure", "Bill dispenser feed failure", kError},
    {kEventBillDispSensorBlock, "BillDispSensorBlock", "Bill dispenser sensor blocked", kError},
    {kEventBillDispVoltageRange, "BillDispVoltageRange", "Bill dispenser voltage out of range",
     kWarning},
    {kEventBillDispFeedModule, "BillDispFeedModule", "Bill dispenser feed-module fault", kError},
    {kEventBillDispCommandReject, "BillDispCommandReject", "Bill dispenser command rejected",
     kWarning},
    {kEventCoinDispOffline, "CoinDispOffline", "Coin dispenser offline", kError},
    {kEventCoinDispOnline, "CoinDispOnline", "Coin dispenser back online", kNotice},
};

const EventEntry* FindEvent(int eventCode) {
    for (const auto& event : kEvents) {
        if (event.code == eventCode) {
            return &event;
        }
    }
    return nullptr;
}

}  // namespace

const char* AlertEventName(int eventCode) {
    const EventEntry* event = FindEvent(eventCode);
    return event != nullptr ? event->name : "Unknown event";
}

const char* AlertEventKey(int eventCode) {
    const EventEntry* event = FindEvent(eventCode);
    return event != nullptr ? event->key : "Unknown";
}

AlertSeverity AlertEventSeverity(int eventCode) {
    const EventEntry* event = FindEvent(eventCode);
    return event != nullptr ? event->severity : AlertSeverity::Warning;
}

const char* AlertSeverityText(AlertSeverity severity) {
    switch (severity) {
        case AlertSeverity::Error:
            return "error";
        case AlertSeverity::Warning:
            return "warning";
        case AlertSeverity::Notice:
            return "notice";
    }
    return "warning";
}

std::string AlertLogText(int eventCode, unsigned laneNumber) {
    // Names never hold quotes, so quoting them is all a key=value reader needs.
    return "lane=" + std::to_string(laneNumber) + " code=" + std::to_string(eventCode) +
           " event=" + AlertEventKey(eventCode) +
           " severity=" + AlertSeverityText(AlertEventSeverity(eventCode)) + " name=\"" +
           AlertEventName(eventCode) + "\"";
}

}  // namespace lane::monitor
