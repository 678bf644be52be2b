// The alert events: the numbered codes handed to "LogEvent" of the alert library, and their names.
#pragma once

#include <string>

namespace lane::monitor {

// The alert library the monitor loads at run time, and its one entry point.
inline constexpr const char* kAlertLibraryName = "TavrikEvent.dll";
inline constexpr const char* kAlertEntryPointName = "LogEvent";

// Each code is raised only while its switch (the setting named "Fire" + the same words) is true.
enum AlertEvent : int {
    kEventSMChecksumFail = 1,
    kEventSMGreenButtonRepeat = 2,
    kEventSMRedButtonRepeat = 3,
    kEventSMUPSEvent = 4,
    kEventSMAbnormalPowerOff = 5,
    kEventSSScaleResetRepeat = 6,
    kEventSSScaleCalibrateRepeat = 7,
    kEventCoinAccFull = 8,
    kEventCoinAccBillsOnly = 9,
    kEventCoinDispLow = 11,
    kEventCoinDispRefilled = 12,
    kEventBillAccRejectRateHigh = 15,
    kEventBillAccRepeatedReject = 16,
    kEventBillAccFull = 17,
    kEventBillAccEmptied = 18,
    kEventBillAccCassetteRemoved = 19,
    kEventBillAccCassetteReplaced = 20,
    kEventBillAccCheatMode = 21,
    kEventBillAccJammed = 23,
    kEventBillAccUnjammed = 24,
    kEventBillAccCalibrationMode = 25,
    kEventBillAccReset = 26,
    kEventBillAccResetWithEscrow = 27,
    kEventBillAccNonrecoverable = 28,
    kEventBillAccOffline = 29,
    kEventBillDispLow = 31,
    kEventBillDispRefilled = 32,
    kEventBillDispCassetteRemoved = 33,
    kEventBillDispCassetteReplaced = 34,
    kEventBillDispJammed = 35,
    kEventBillDispOffline = 37,
    kEventBillDispOnline = 38,
    kEventBillDispBillsRejected = 39,
    kEventBillDispInvalidCassettes = 40,
    kEventBillDispCassetteLowDispense = 41,
    kEventBillDispReset = 42,
    kEventBillDispFeedFailure = 43,
    kEventBillDispSensorBlock = 44,
    kEventBillDispVoltageRange = 45,
    kEventBillDispFeedModule = 46,
    kEventBillDispCommandReject = 47,
    kEventCoinDispOffline = 48,
    kEventCoinDispOnline = 49,
};

// How urgent an event is for the people who watch the lanes: Error when a device cannot serve
// (jammed, offline, full, failed), Warning when it needs attention soon or a security concern
// shows, Notice for service done and everyday events (refilled, emptied, back online, a button).
enum class AlertSeverity { Error, Warning, Notice };

// The readable name of an event code ("Bill acceptor jammed"), or "Unknown event".
const char* AlertEventName(int eventCode);

// The event's short name, its alert switch without "Fire" ("BillAccJammed"), or "Unknown".
const char* AlertEventKey(int eventCode);

// The event's severity; an unknown code is a Warning (someone raised it for a reason).
AlertSeverity AlertEventSeverity(int eventCode);

// "error", "warning", "notice".
const char* AlertSeverityText(AlertSeverity severity);

// The line the default alert library logs, key=value pairs for log pipelines:
// lane=7 code=23 event=BillAccJammed severity=error name="Bill acceptor jammed"
std::string AlertLogText(int eventCode, unsigned laneNumber);

}  // namespace lane::monitor
