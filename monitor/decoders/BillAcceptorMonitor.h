// CBillAcceptorMonitor: the bill acceptor's trace texts, statistics, cleaning verdict and alerts.
#pragma once

#include <cstdint>
#include <string>

#include "monitor/alerts/AlertEvents.h"
#include "monitor/decoders/CurrencyProfile.h"
#include "monitor/stats/DeviceMonitor.h"

namespace lane::monitor {

// Bills counted before the rates can call for cleaning, and the rates that do.
inline constexpr int kCleaningMinimumBills = 20;
inline constexpr double kCleaningReturnedRate = 25.0;
inline constexpr double kCleaningNotStackedRate = 35.0;

// Messages with code 0xA9. FormatTrace runs on the reader thread and keeps its own flags;
// ProcessMessage and OnTimer run on the worker thread. The counters and rates count since the
// monitor was built; they are not stored.
class CBillAcceptorMonitor final : public CDeviceMonitor {
  public:
    CBillAcceptorMonitor(Clock& clock, const std::string& alertLibraryName,
                         CurrencyProfile currency);
    ~CBillAcceptorMonitor() override { Stop(); }

    std::string FormatTrace(const MonitorMessage& message) override;
    void ProcessMessage(const MonitorMessage& message) override;
    // Re-arms the timer; unless the rates or the reject run still call for cleaning, the colour
    // steps back towards Green; clears the alert latches; derives the lane's colour.
    void OnTimer() override;

    const CurrencyProfile& Currency() const { return currency_; }

  private:
    struct Counters {
        std::int32_t billsTotal = 0;
        std::int32_t billsStacked = 0;
        std::int32_t billsNotStacked = 0;
        std::int32_t billsRejected = 0;
        std::int32_t billsReturned = 0;
        double stackedRate = 0;
        double rejectRate = 0;
        double returnedRate = 0;
        double notStackedRate = 0;
        std::int32_t consecutiveRejects = 0;
        std::int32_t consecutiveReturns = 0;
    };

    // FormatTrace's parts.
    std::string FormatCommand(const MonitorMessage& message);
    std::string FormatStatusReply(const MonitorMessage& message);
    void AppendConditions(const MonitorMessage& message, std::string& text);
    void AppendLastBill(std::uint8_t value, std::string& text) const;

    // ProcessMessage's parts.
    void ProcessBadPacket(const MonitorMessage& message);
    void ProcessStatusReply(const MonitorMessage& message);
    void ProcessConditions(const MonitorMessage& message);
    void ProcessPowerAndErrors(const MonitorMessage& message);

    // The handlers of one status reply.
    void Stacked(const MonitorMessage& message);
    void Rejected(const MonitorMessage& message);
    void Returned();
    void Cheated(const MonitorMessage& message);
    void Jammed(std::time_t time);
    void Unjammed(std::time_t time);
    void Full(std::time_t time);
    void Emptied(std::time_t time);
    void CassetteRemoved(std::time_t time);
    void CassetteReplaced(std::time_t time);
    void Calibration(std::time_t time);
    void Reset(std::time_t time);
    void ResetWithBill(std::time_t time);
    void Nonrecoverable(std::time_t time);
    void Offline(std::time_t time);

    // Recomputes the four rates and writes BillAccRejectRate.
    void CountBill();
    void FireIf(bool enabled, int eventCode);
    // The reject-rate threshold in percent; false when the compare count is 0 and no rate can
    // reach it.
    bool RejectRateThreshold(std::uint32_t& threshold) const;
    bool RateTooHigh() const;
    bool RepeatedRejects() const;
    void EvaluateCleaning();
    // Writes a status colour and a state under the statistics lock.
    void SetStatusAndState(StatusColour colour, DeviceState state);

    CurrencyProfile currency_;
    Counters counters_;
    bool jamActive_ = false;
    bool fullActive_ = false;
    bool cassetteRemovedActive_ = false;
    bool requireCleaning_ = false;
    bool rejectRateAlerted_ = false;
    bool repeatedRejectAlerted_ = false;
    bool jamAlerted_ = false;
    int phase_ = 0;
    // FormatTrace's own flags: the reader thread never shares them with the worker.
    bool traceJam_ = false;
    bool traceFull_ = false;
    bool traceCassetteRemoved_ = false;
    bool downloadMode_ = false;
};

}  // namespace lane::monitor
