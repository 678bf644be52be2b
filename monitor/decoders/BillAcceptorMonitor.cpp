// CBillAcceptorMonitor: the bill acceptor's trace texts, statistics, cleaning verdict and alerts.
#include "monitor/decoders/BillAcceptorMonitor.h"

#include <cstdio>
#include <mutex>
#include <utility>

#include "monitor/decoders/BitTest.h"

namespace lane::monitor {

namespace {

// Sub-codes of 0xA9.
constexpr std::uint8_t kCommand = 1;
constexpr std::uint8_t kStatusReply = 2;
constexpr std::uint8_t kBadPacket = 3;
constexpr std::uint8_t kRawToAcceptor = 4;
constexpr std::uint8_t kRawFromAcceptor = 5;
constexpr std::uint8_t kResetSent = 6;
constexpr std::uint8_t kNonrecoverableReported = 7;
constexpr std::uint8_t kModelReport = 8;

// Where a reply's bytes are, and the length each one needs.
constexpr std::size_t kState = 2;
constexpr std::size_t kConditions = 3;
constexpr std::size_t kPower = 4;
constexpr std::size_t kFlash = 5;
constexpr std::size_t kMessageType = 6;
constexpr std::size_t kReplyModel = 7;
constexpr std::size_t kReplyRevision = 8;
constexpr int kConditionsLength = 5;
constexpr int kPowerLength = 6;
constexpr int kFlashLength = 7;
constexpr int kReplyModelLength = 8;
constexpr int kReplyRevisionLength = 9;

constexpr std::uint8_t kCrcModelVersionMark = 0x60;
constexpr std::uint8_t kDownloadRequestMark = 0x50;

// What one status reply showed last, as ProcessMessage walks its bits.
constexpr int kPhaseIdling = 1;
constexpr int kPhaseAccepting = 2;
constexpr int kPhaseEscrowed = 3;
constexpr int kPhaseStacking = 4;
constexpr int kPhaseReturning = 5;
constexpr int kPhaseJammed = 6;
constexpr int kPhaseFull = 7;
constexpr int kPhaseHardwareFailure = 8;
constexpr int kPhaseFlashBit = 9;

// The bad packet's hex text stops before it would reach this length.
constexpr std::size_t kBadPacketTextLimit = 1000;

constexpr const char* kStateTexts[] = {
    "In Idling State,", "In Accepting State,", "In Escrowed State,", "In Stacking State,",
    "Bill Stacked,",    "In Returning State",  "Bill Returned,",
};
constexpr const char* kLastBillTexts[] = {
    "1 Bill Last Inserted",   "2 Bill Last Inserted",  "5 Bill Last Inserted",
    "10 Bill Last Inserted",  "20 Bill Last Inserted", "50 Bill Last Inserted",
    "100 Bill Last Inserted",
};

bool HasMark(std::uint8_t byte, std::uint8_t mark) {
    return (byte & mark) == mark;
}

// Bits 5, 4, 3 of the power byte: 0 none, then 1, 2, 5, 10, 20, 50, 100 units.
std::uint8_t LastBillValue(std::uint8_t power) {
    return static_cast<std::uint8_t>((power >> 3) & 0x07);
}

// An integer percentage, kept as a double as the rates always were.
double Percentage(std::int32_t count, std::int32_t total) {
    return total == 0 ? 0.0 : static_cast<double>(std::int64_t{count} * 100 / total);
}

}  // namespace

CBillAcceptorMonitor::CBillAcceptorMonitor(Clock& clock, const std::string& alertLibraryName,
                                           CurrencyProfile currency)
    : CDeviceMonitor(clock, alertLibraryName), currency_(std::move(currency)) {}

// ---- Trace texts (reader thread) ----

std::string CBillAcceptorMonitor::FormatTrace(const MonitorMessage& received) {
    const MonitorMessage message = ZeroFilled(received);
    switch (message.subCode) {
        case kCommand:
            return FormatCommand(message);
        case kStatusReply:
            return FormatStatusReply(message);
        case kBadPacket:
            return "** Bill Acceptor: Bad/Incomplete Packet! **";
        case kRawToAcceptor:
            return "Raw Data to BillAcc: " + FormatHexBytes(message.data.data(), message.length);
        case kRawFromAcceptor:
            return "Raw Data from BillAcc: " + FormatHexBytes(message.data.data(), message.length);
        case kResetSent:
            return " => Reset Cmd sent to Bill Acceptor";
        case kNonrecoverableReported:
            return " => Bill Acceptor Non-recoverable Error";
        default:
            return {};
    }
}

std::string CBillAcceptorMonitor::FormatCommand(const MonitorMessage& message) {
    const std::uint8_t command = message.data[0];
    if (HasMark(command, kDownloadRequestMark)) {
        downloadMode_ = false;
    }
    switch (command) {
        case '1':
            return " => Bill Acceptor Status Request";
        case '2':
            return message.data[1] != 0 ? " => Bill Acceptor Enable" : " => Bill Acceptor Disable";
        case '3':
            return message.data[1] == 1 ? " => Bill Acceptor Reject"
                                        : " => Bill Acceptor Accept/Stack";
        case '4':
            return " => Bill Acceptor Model/Version Request";
        case '5':
            return " => Bill Acceptor Bookmark Mode";
        case '6':
            return " => Bill Acceptor Calibrate";
        default:
            return {};
    }
}

std::string CBillAcceptorMonitor::FormatStatusReply(const MonitorMessage& message) {
    std::string text = " <= Bill Acceptor: ";
    if (downloadMode_) {
        return text;
    }
    const std::uint8_t type = message.data[kMessageType];
    if (HasMark(type, kCrcModelVersionMark)) {
        return text + "Response to CRC/Model/Version request";
    }
    if (HasMark(type, kDownloadRequestMark)) {
        downloadMode_ = true;
        return text + "Download Request";
    }
    for (unsigned bit = 0; bit < 7; ++bit) {
        if (IsBitSet(message.data[kState], bit)) {
            text += kStateTexts[bit];
        }
    }
    AppendConditions(message, text);
    if (message.length >= kPowerLength) {
        const std::uint8_t power = message.data[kPower];
        AppendLastBill(LastBillValue(power), text);
        if (IsBitSet(power, 0)) {
            text += "Just Reset (Powering up),";
        }
        if (IsBitSet(power, 1)) {
            text += "Received Invalid Command,";
        }
        if (IsBitSet(power, 2)) {
            text += "Hardware Error,";
        }
        if (IsBitSet(power, 6)) {
            text += "OFFLINE,";
        }
    }
    if (message.length >= kFlashLength && IsBitSet(message.data[kFlash], 1)) {
        text += "Flash Download in progress,";
    }
    return text;
}

void CBillAcceptorMonitor::AppendConditions(const MonitorMessage& message, std::string& text) {
    if (message.length < kConditionsLength) {
        return;
    }
    const std::uint8_t conditions = message.data[kConditions];
    if (IsBitSet(conditions, 0)) {
        text += "Bill Cheated,";
    }
    if (IsBitSet(conditions, 1)) {
        text += "Bill Rejected,";
    }
    if (IsBitSet(conditions, 2)) {
        text += "Bill Jammed,";
        traceJam_ = true;
    } else if (traceJam_) {
        text += "Just Unjammed,";
        traceJam_ = false;
    }
    if (IsBitSet(conditions, 3)) {
        text += "Stacker Full,";
        traceFull_ = true;
    } else if (traceFull_) {
        text += "Stacker Just Emptied,";
        traceFull_ = false;
    }
    if (IsBitSet(conditions, 4)) {
        text += "LRC Removed,";
        traceCassetteRemoved_ = true;
    } else if (traceCassetteRemoved_) {
        text += "LRC Replaced,";
        traceCassetteRemoved_ = false;
    } else {
        text += "LRC Installed,";
    }
    if (IsBitSet(conditions, 5)) {
        text += "Paused,";
    }
    if (IsBitSet(conditions, 6)) {
        text += "Entering Calibration Mode,";
    }
}

void CBillAcceptorMonitor::AppendLastBill(std::uint8_t value, std::string& text) const {
    if (value == 0) {
        text += "No Bills Inserted,";
        return;
    }
    text += currency_.currencySymbol;
    text += kLastBillTexts[value - 1];
}

// ---- Processing (worker thread) ----

void CBillAcceptorMonitor::ProcessMessage(const MonitorMessage& received) {
    const MonitorMessage message = ZeroFilled(received);
    phase_ = 0;
    switch (message.subCode) {
        case kModelReport: {
            CDeviceStatistics& statistics = Host().Statistics();
            std::lock_guard<CDeviceStatistics> lock(statistics);
            statistics.BillAccModel = message.data[0];
            statistics.BillAccRevision = message.data[1];
            return;
        }
        case kBadPacket:
            ProcessBadPacket(message);
            return;
        case kStatusReply:
            ProcessStatusReply(message);
            return;
        default:
            return;
    }
}

void CBillAcceptorMonitor::ProcessBadPacket(const MonitorMessage& message) {
    std::string hex;
    for (int i = 0; i < message.length; ++i) {
        char byte[4];
        std::snprintf(byte, sizeof byte, "%02X ", message.data[static_cast<std::size_t>(i)]);
        if (hex.size() + 3 >= kBadPacketTextLimit) {
            break;
        }
        hex += byte;
    }
    CDeviceStatistics& statistics = Host().Statistics();
    std::lock_guard<CDeviceStatistics> lock(statistics);
    statistics.BillAccLastTimeBadPacket = message.time;
    statistics.BillAccLastBadPacket = hex;
}

void CBillAcceptorMonitor::ProcessStatusReply(const MonitorMessage& message) {
    CDeviceStatistics& statistics = Host().Statistics();
    {
        std::lock_guard<CDeviceStatistics> lock(statistics);
        statistics.BillAccLastTimeCommunicated = message.time;
    }
    const std::uint8_t type = message.data[kMessageType];
    // Processing tests for a download request first; the trace tests the CRC/model mark first.
    if (HasMark(type, kDownloadRequestMark)) {
        return;
    }
    if (HasMark(type, kCrcModelVersionMark)) {
        std::lock_guard<CDeviceStatistics> lock(statistics);
        if (message.length >= kReplyModelLength) {
            statistics.BillAccModel = message.data[kReplyModel];
        }
        if (message.length >= kReplyRevisionLength) {
            statistics.BillAccRevision = message.data[kReplyRevision];
        }
        return;
    }
    const std::uint8_t state = message.data[kState];
    if (IsBitSet(state, 0)) {
        phase_ = kPhaseIdling;
    }
    if (IsBitSet(state, 1)) {
        phase_ = kPhaseAccepting;
    }
    if (IsBitSet(state, 2)) {
        phase_ = kPhaseEscrowed;
    }
    if (IsBitSet(state, 3)) {
        phase_ = kPhaseStacking;
    }
    if (IsBitSet(state, 4)) {
        Stacked(message);
    }
    if (IsBitSet(state, 5)) {
        phase_ = kPhaseReturning;
    }
    if (IsBitSet(state, 6)) {
        Returned();
    }
    ProcessConditions(message);
    ProcessPowerAndErrors(message);
    if (message.length >= kFlashLength && IsBitSet(message.data[kFlash], 0)) {
        phase_ = kPhaseFlashBit;
    }
}

void CBillAcceptorMonitor::ProcessConditions(const MonitorMessage& message) {
    if (message.length < kConditionsLength) {
        return;
    }
    const std::uint8_t conditions = message.data[kConditions];
    if (IsBitSet(conditions, 0)) {
        Cheated(message);
    }
    if (IsBitSet(conditions, 1)) {
        Rejected(message);
    }
    if (IsBitSet(conditions, 2)) {
        phase_ = kPhaseJammed;
        Jammed(message.time);
        jamActive_ = true;
    } else if (jamActive_) {
        Unjammed(message.time);
        jamActive_ = false;
    }
    if (IsBitSet(conditions, 3)) {
        phase_ = kPhaseFull;
        Full(message.time);
        fullActive_ = true;
    } else if (fullActive_) {
        Emptied(message.time);
        fullActive_ = false;
    }
    if (IsBitSet(conditions, 4)) {
        CassetteRemoved(message.time);
        cassetteRemovedActive_ = true;
    } else if (cassetteRemovedActive_) {
        CassetteReplaced(message.time);
        cassetteRemovedActive_ = false;
    }
    if (IsBitSet(conditions, 6)) {
        Calibration(message.time);
    }
}

void CBillAcceptorMonitor::ProcessPowerAndErrors(const MonitorMessage& message) {
    if (message.length < kPowerLength) {
        return;
    }
    const std::uint8_t power = message.data[kPower];
    if (IsBitSet(power, 0)) {
        Reset(message.time);
        // Escrowed was the last thing the reply showed: the reset caught a bill in escrow.
        if (phase_ == kPhaseEscrowed) {
            ResetWithBill(message.time);
        }
    }
    if (IsBitSet(power, 2)) {
        phase_ = kPhaseHardwareFailure;
        Nonrecoverable(message.time);
    }
    if (IsBitSet(power, 6)) {
        Offline(message.time);
    }
}

// ---- Handlers ----

void CBillAcceptorMonitor::Stacked(const MonitorMessage& message) {
    SetStatusAndState(StatusColour::Green, DeviceState::Ready);
    // Only a reply that names the bill's value counts a bill; the value byte is read when the
    // reply is long enough to carry it.
    if (message.length < kPowerLength || LastBillValue(message.data[kPower]) == 0) {
        return;
    }
    {
        CDeviceStatistics& statistics = Host().Statistics();
        std::lock_guard<CDeviceStatistics> lock(statistics);
        statistics.BillAccLastTimeReceivedBills = message.time;
    }
    ++counters_.billsStacked;
    CountBill();
    counters_.consecutiveRejects = 0;
    counters_.consecutiveReturns = 0;
    EvaluateCleaning();
}

void CBillAcceptorMonitor::Rejected(const MonitorMessage& message) {
    CDeviceStatistics& statistics = Host().Statistics();
    counters_.consecutiveReturns = 0;
    ++counters_.consecutiveRejects;
    {
        std::lock_guard<CDeviceStatistics> lock(statistics);
        statistics.BillAccLastTimeReceivedReject = message.time;
        statistics.BillAccRepeatedRejects =
            static_cast<std::uint32_t>(counters_.consecutiveRejects);
    }
    ++counters_.billsRejected;
    ++counters_.billsNotStacked;
    CountBill();
    std::uint32_t threshold = 0;
    std::uint32_t rate = 0;
    {
        std::lock_guard<CDeviceStatistics> lock(statistics);
        rate = statistics.BillAccRejectRate;
    }
    const MonitorSettings& settings = Host().Settings();
    if (RejectRateThreshold(threshold) && rate > threshold && settings.FireBillAccRejectRateHigh &&
        !rejectRateAlerted_) {
        FireEvent(kEventBillAccRejectRateHigh);
        rejectRateAlerted_ = true;
    }
    EvaluateCleaning();
}

void CBillAcceptorMonitor::Returned() {
    ++counters_.consecutiveReturns;
    counters_.consecutiveRejects = 0;
    ++counters_.billsReturned;
    ++counters_.billsNotStacked;
    CountBill();
    EvaluateCleaning();
}

void CBillAcceptorMonitor::Cheated(const MonitorMessage& message) {
    {
        CDeviceStatistics& statistics = Host().Statistics();
        std::lock_guard<CDeviceStatistics> lock(statistics);
        statistics.BillAccLastTimeCheatMode = message.time;
    }
    counters_.consecutiveRejects = 0;
    counters_.consecutiveReturns = 0;
    ++counters_.billsNotStacked;
    CountBill();
    FireIf(Host().Settings().FireBillAccCheatMode, kEventBillAccCheatMode);
    EvaluateCleaning();
}

void CBillAcceptorMonitor::Jammed(std::time_t time) {
    {
        CDeviceStatistics& statistics = Host().Statistics();
        std::lock_guard<CDeviceStatistics> lock(statistics);
        statistics.BillAccLastTimeJammed = time;
        statistics.StatusBillAcceptor = StatusColour::Red;
        statistics.BillAccState = DeviceState::Jammed;
    }
    // Raised once per timer period, however long the jam lasts.
    if (Host().Settings().FireBillAccJammed && !jamAlerted_) {
        FireEvent(kEventBillAccJammed);
        jamAlerted_ = true;
    }
}

void CBillAcceptorMonitor::Unjammed(std::time_t time) {
    {
        CDeviceStatistics& statistics = Host().Statistics();
        std::lock_guard<CDeviceStatistics> lock(statistics);
        statistics.BillAccLastTimeUnjammed = time;
        statistics.BillAccState = DeviceState::Ready;
    }
    FireIf(Host().Settings().FireBillAccUnjammed, kEventBillAccUnjammed);
}

void CBillAcceptorMonitor::Full(std::time_t time) {
    CDeviceStatistics& statistics = Host().Statistics();
    std::lock_guard<CDeviceStatistics> lock(statistics);
    const bool wasFull = statistics.BillAccState == DeviceState::Full;
    statistics.BillAccLastTimeFull = time;
    statistics.StatusBillAcceptor = StatusColour::Red;
    statistics.BillAccState = DeviceState::Full;
    if (!wasFull) {
        FireIf(Host().Settings().FireBillAccFull, kEventBillAccFull);
    }
}

void CBillAcceptorMonitor::Emptied(std::time_t time) {
    {
        CDeviceStatistics& statistics = Host().Statistics();
        std::lock_guard<CDeviceStatistics> lock(statistics);
        statistics.BillAccLastTimeEmptied = time;
        statistics.StatusBillAcceptor = StatusColour::Green;
        statistics.BillAccState = DeviceState::Ready;
    }
    FireIf(Host().Settings().FireBillAccEmptied, kEventBillAccEmptied);
}

void CBillAcceptorMonitor::CassetteRemoved(std::time_t time) {
    CDeviceStatistics& statistics = Host().Statistics();
    std::lock_guard<CDeviceStatistics> lock(statistics);
    const bool wasRemoved = statistics.BillAccState == DeviceState::CassetteRemoved;
    statistics.BillAccLastTimeCassetteRemoved = time;
    statistics.StatusBillAcceptor = StatusColour::Red;
    statistics.BillAccState = DeviceState::CassetteRemoved;
    if (!wasRemoved) {
        FireIf(Host().Settings().FireBillAccCassetteRemoved, kEventBillAccCassetteRemoved);
    }
}

void CBillAcceptorMonitor::CassetteReplaced(std::time_t time) {
    {
        CDeviceStatistics& statistics = Host().Statistics();
        std::lock_guard<CDeviceStatistics> lock(statistics);
        statistics.BillAccLastTimeCassetteReplaced = time;
        statistics.StatusBillAcceptor = StatusColour::Green;
        statistics.BillAccState = DeviceState::Ready;
    }
    FireIf(Host().Settings().FireBillAccCassetteReplaced, kEventBillAccCassetteReplaced);
}

void CBillAcceptorMonitor::Calibration(std::time_t time) {
    {
        CDeviceStatistics& statistics = Host().Statistics();
        std::lock_guard<CDeviceStatistics> lock(statistics);
        statistics.BillAccLastTimeEnteredCalibration = time;
    }
    FireIf(Host().Settings().FireBillAccCalibrationMode, kEventBillAccCalibrationMode);
}

void CBillAcceptorMonitor::Reset(std::time_t time) {
    {
        CDeviceStatistics& statistics = Host().Statistics();
        std::lock_guard<CDeviceStatistics> lock(statistics);
        statistics.BillAccLastTimeReset = time;
    }
    FireIf(Host().Settings().FireBillAccReset, kEventBillAccReset);
}

void CBillAcceptorMonitor::ResetWithBill(std::time_t time) {
    {
        CDeviceStatistics& statistics = Host().Statistics();
        std::lock_guard<CDeviceStatistics> lock(statistics);
        statistics.BillAccLastTimeResetWithBill = time;
    }
    FireIf(Host().Settings().FireBillAccResetWithEscrow, kEventBillAccResetWithEscrow);
}

void CBillAcceptorMonitor::Nonrecoverable(std::time_t time) {
    {
        CDeviceStatistics& statistics = Host().Statistics();
        std::lock_guard<CDeviceStatistics> lock(statistics);
        statistics.BillAccLastTimeNonrecoverableError = time;
        statistics.StatusBillAcceptor = StatusColour::Red;
        statistics.BillAccState = DeviceState::CommError;
    }
    FireIf(Host().Settings().FireBillAccNonrecoverable, kEventBillAccNonrecoverable);
}

void CBillAcceptorMonitor::Offline(std::time_t time) {
    CDeviceStatistics& statistics = Host().Statistics();
    std::lock_guard<CDeviceStatistics> lock(statistics);
    const bool wasOffline = statistics.BillAccState == DeviceState::Offline;
    statistics.BillAccLasttimeOffline = time;
    statistics.StatusBillAcceptor = StatusColour::Red;
    statistics.BillAccState = DeviceState::Offline;
    if (!wasOffline) {
        FireIf(Host().Settings().FireBillAccOffline, kEventBillAccOffline);
    }
}

// ---- Rates, cleaning and the timer ----

void CBillAcceptorMonitor::CountBill() {
    Counters& c = counters_;
    ++c.billsTotal;
    c.stackedRate = Percentage(c.billsStacked, c.billsTotal);
    c.rejectRate = Percentage(c.billsRejected, c.billsTotal);
    c.returnedRate = Percentage(c.billsReturned, c.billsTotal);
    c.notStackedRate = Percentage(c.billsNotStacked, c.billsTotal);
    CDeviceStatistics& statistics = Host().Statistics();
    std::lock_guard<CDeviceStatistics> lock(statistics);
    statistics.BillAccRejectRate = static_cast<std::uint32_t>(c.rejectRate);
}

void CBillAcceptorMonitor::FireIf(bool enabled, int eventCode) {
    if (enabled) {
        FireEvent(eventCode);
    }
}

bool CBillAcceptorMonitor::RejectRateThreshold(std::uint32_t& threshold) const {
    const MonitorSettings& settings = Host().Settings();
    // A compare count of 0 would divide by zero: no reject rate is then high enough.
    if (settings.BillAccRejectRateCompareCount == 0) {
        return false;
    }
    threshold = static_cast<std::uint32_t>(std::uint64_t{settings.BillAccRejectRateRejectCount} *
                                           100 / settings.BillAccRejectRateCompareCount);
    return true;
}

bool CBillAcceptorMonitor::RateTooHigh() const {
    const Counters& c = counters_;
    if (c.billsTotal < kCleaningMinimumBills) {
        return false;
    }
    std::uint32_t threshold = 0;
    if (RejectRateThreshold(threshold) && c.rejectRate >= static_cast<double>(threshold)) {
        return true;
    }
    return c.returnedRate >= kCleaningReturnedRate || c.notStackedRate >= kCleaningNotStackedRate;
}

bool CBillAcceptorMonitor::RepeatedRejects() const {
    return static_cast<std::int64_t>(counters_.consecutiveRejects) >=
           std::int64_t{Host().Settings().BillAccRejectRepeatedRejectCount};
}

void CBillAcceptorMonitor::EvaluateCleaning() {
    CDeviceStatistics& statistics = Host().Statistics();
    requireCleaning_ = RateTooHigh();
    if (RepeatedRejects()) {
        requireCleaning_ = true;
        {
            std::lock_guard<CDeviceStatistics> lock(statistics);
            if (statistics.StatusBillAcceptor != StatusColour::Red) {
                statistics.StatusBillAcceptor = StatusColour::Yellow;
            }
        }
        if (Host().Settings().FireBillAccRepeatedReject && !repeatedRejectAlerted_) {
            FireEvent(kEventBillAccRepeatedReject);
            repeatedRejectAlerted_ = true;
        }
    }
    {
        std::lock_guard<CDeviceStatistics> lock(statistics);
        statistics.BillAccRequireCleaning = requireCleaning_;
    }
    requireCleaning_ = false;
}

void CBillAcceptorMonitor::OnTimer() {
    ArmTimer();
    {
        CDeviceStatistics& statistics = Host().Statistics();
        std::lock_guard<CDeviceStatistics> lock(statistics);
        if (!RateTooHigh() && !RepeatedRejects()) {
            StepTowardsGreen(statistics.StatusBillAcceptor);
        }
    }
    rejectRateAlerted_ = false;
    repeatedRejectAlerted_ = false;
    jamAlerted_ = false;
    UpdateSystemStatus();
}

void CBillAcceptorMonitor::SetStatusAndState(StatusColour colour, DeviceState state) {
    CDeviceStatistics& statistics = Host().Statistics();
    std::lock_guard<CDeviceStatistics> lock(statistics);
    statistics.StatusBillAcceptor = colour;
    statistics.BillAccState = state;
}

}  // namespace lane::monitor
