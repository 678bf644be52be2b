// CBillDispenserMonitor: the serial bill dispenser with its feed modules, the Fujitsu dispenser
// and the cash pocket.
#pragma once

#include <array>
#include <cstdint>
#include <ctime>
#include <string>

#include "monitor/alerts/AlertEvents.h"
#include "monitor/decoders/CurrencyProfile.h"
#include "monitor/stats/DeviceMonitor.h"

namespace lane::monitor {

// Positions a reply may describe: feed modules 1 to 6 and a seventh (the diverter, where a
// reply names one). Only modules 1 to 6 have statistics.
inline constexpr std::size_t kBillDispPositions = 7;
// Denomination letters 'A' to 'H' and the dispense command's groups.
inline constexpr std::size_t kBillDispLetters = 8;

// Messages with codes 0xAB (the serial dispenser), 0xAE (the cash pocket) and 0xB1 (the
// Fujitsu dispenser). FormatTrace labels 0xAB only and uses no member state; ProcessMessage runs
// on the worker thread and ends every message of the three codes with UpdateSystemStatus. The
// per-module flags start clear at each start, so the first report never counts as a refill,
// replacement or unjam.
class CBillDispenserMonitor final : public CDeviceMonitor {
  public:
    CBillDispenserMonitor(Clock& clock, const std::string& alertLibraryName,
                          CurrencyProfile currency);
    ~CBillDispenserMonitor() override { Stop(); }

    std::string FormatTrace(const MonitorMessage& message) override;
    void ProcessMessage(const MonitorMessage& message) override;

    const CurrencyProfile& Currency() const { return currency_; }

  private:
    struct FeedModule {
        char letter = 0;  // denomination letter of the last report, upper case
        bool present = false;
        bool low = false;  // in the report being handled
        std::int32_t dispensedCount = 0;
        std::int32_t rejectedCount = 0;
        bool wasLow = false;
        bool jamActive = false;
        std::uint16_t ckDenomination = 0;
        std::uint8_t ckWidth = 0;
        std::uint8_t ckThick = 0;
        std::uint8_t ckSerial = 0;
        bool pickerFault = false;
        bool cassetteFault = false;
        bool isDiverter = false;
    };
    struct PhysicalFlags {
        bool exitSensorBlocked = false;
        bool countMismatch = false;
        bool dispenseTimeout = false;
        bool proxInterruptsFailed = false;
        bool motorMultiplexFailed = false;
        bool motorInterruptsFailed = false;
    };

    // The serial dispenser (BillDispenserMonitor.cpp).
    void ProcessSerial(const MonitorMessage& message);
    void ProcessReply(const MonitorMessage& message);
    void ProcessStatusReply(const MonitorMessage& message);
    void ProcessLinkStatus(const MonitorMessage& message);
    void ProcessMonitorReset(const MonitorMessage& message);

    // Commands, command rejects and purge replies (BillDispenserCommands.cpp).
    void ProcessCommand(const MonitorMessage& message);
    void ProcessResetCommand(const MonitorMessage& message);
    void ProcessDispenseCommand(const MonitorMessage& message);
    void ProcessCommandReject(const MonitorMessage& message);
    void ProcessPurgeReply(const MonitorMessage& message);

    // Replies that describe the modules (BillDispenserReports.cpp).
    void ProcessDispenseReply(const MonitorMessage& message);
    void ProcessPhysicalStatus(const MonitorMessage& message);
    void ProcessConfiguration(const MonitorMessage& message);
    void ProcessCassetteStatus(const MonitorMessage& message);
    // Reads the module letters of a configuration or cassette-status reply into the modules;
    // false (after the format line) when the reply lacks the separator after its header.
    bool ReadModuleLetters(const MonitorMessage& message);
    // The "Feed Module[n]" line of each module present.
    void TraceModuleLetters();
    // Under the statistics lock: the low and refilled times and events of each present module
    // (1 to 6), then wasLow = low.
    void RecordLowAndRefilled(std::time_t time, bool lowDuringDispense);
    // Low in the report: Ready becomes Low with Yellow; none low (where the report may say so):
    // Low becomes Ready with Green. Called with the statistics lock held.
    static void SettleLowState(CDeviceStatistics& s, bool anyLow, bool mayReturnToReady);
    // True when a present module 1 to 6 is low in the report being handled.
    bool AnyModuleLow() const;
    // The value of a denomination letter, 0 for a letter without one.
    std::int32_t DenominationValue(char letter) const;

    // The error, status and status codes of a dispense reply (BillDispenserErrors.cpp).
    void DecodeDispenseError(std::uint8_t error, std::uint8_t status1, std::uint8_t status2,
                             std::time_t time);
    // After each decoded error: a jammed dispenser whose latest error was no jam is clear.
    void EndJamUnlessReported(bool jamReported, std::time_t time);
    // Ready and Green; every module with a jam on record gets its unjammed time.
    void ClearJams(std::time_t time);

    // The Fujitsu dispenser and the cash pocket (CashPocketAndFujitsu.cpp).
    void ProcessFujitsu(const MonitorMessage& message);
    void ProcessCashPocket(const MonitorMessage& message);

    // Raises the alert when its switch is on.
    void FireIf(bool enabled, int eventCode) {
        if (enabled) {
            FireEvent(eventCode);
        }
    }

    CurrencyProfile currency_;
    std::array<std::int32_t, kBillDispLetters> denominationValue_ = {1, 5, 10, 20, 0, 0, 0, 0};
    std::array<FeedModule, kBillDispPositions> modules_{};
    std::array<char, kBillDispLetters> dispenseLetters_{};
    std::array<std::int32_t, kBillDispLetters> dispenseCounts_{};
    std::uint8_t missingMask_ = 0;
    std::uint8_t modelCode_ = 0;
    std::uint8_t revisionCode_ = 0;
    PhysicalFlags physical_;
};

// The array slot of feed module `module` (1 to 6); any other number has none, and callers test
// IsFeedModuleNumber before they index.
constexpr std::size_t FeedModuleSlot(unsigned module) {
    return module - 1;
}

}  // namespace lane::monitor
