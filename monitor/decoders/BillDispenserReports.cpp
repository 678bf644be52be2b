// CBillDispenserMonitor: the replies that describe the feed modules: dispense, physical status,
// configuration and the unsolicited cassette status.
#include <mutex>
#include <string>

#include "monitor/decoders/BillDispenserCodes.h"
#include "monitor/decoders/BillDispenserMonitor.h"
#include "monitor/decoders/BitTest.h"
#include "monitor/decoders/DeviceText.h"

namespace lane::monitor {

using namespace billdisp;

namespace {

// Replies carry their fields from data[4].
constexpr int kReplyFields = 4;
constexpr int kCountDigits = 3;
// The separator of a configuration or cassette-status reply, and its first module letter.
constexpr int kLetterSeparator = 6;
constexpr int kFirstLetter = 7;
// Physical status: the byte, and the five bytes of a module record.
constexpr std::uint8_t kPhysicalMask = 0x7F;
constexpr std::uint8_t kPhysicalFirst = 0x40;
constexpr int kRecordSize = 5;
constexpr unsigned kLowBit = 5;
constexpr unsigned kPickerFaultBit = 5;
constexpr unsigned kCassetteFaultBit = 4;
constexpr unsigned kDiverterBit = 3;
constexpr std::uint8_t kSerialMask = 0x07;

std::string LetterText(char letter) {
    const auto byte = static_cast<std::uint8_t>(letter);
    return DeviceString(&byte, 1);
}

// Letters are ASCII whatever the process's locale.
bool IsLowerLetter(std::uint8_t byte) {
    return byte >= 'a' && byte <= 'z';
}

std::uint8_t UpperLetter(std::uint8_t byte) {
    return IsLowerLetter(byte) ? static_cast<std::uint8_t>(byte - 'a' + 'A') : byte;
}

std::string LowText(bool low) {
    return low ? "<low>" : "";
}

}  // namespace

void CBillDispenserMonitor::SettleLowState(CDeviceStatistics& s, bool anyLow,
                                           bool mayReturnToReady) {
    if (!anyLow && mayReturnToReady && s.BillDispState == DeviceState::Low) {
        s.BillDispState = DeviceState::Ready;
        s.StatusBillDispenser = StatusColour::Green;
    }
    if (anyLow && s.BillDispState == DeviceState::Ready) {
        s.BillDispState = DeviceState::Low;
        s.StatusBillDispenser = StatusColour::Yellow;
    }
}

bool CBillDispenserMonitor::AnyModuleLow() const {
    for (std::size_t slot = 0; slot < kFeedModuleCount; ++slot) {
        if (modules_[slot].present && modules_[slot].low) {
            return true;
        }
    }
    return false;
}

std::int32_t CBillDispenserMonitor::DenominationValue(char letter) const {
    const int upper = UpperLetter(static_cast<std::uint8_t>(letter));
    if (upper < 'A' || upper > 'H') {
        return 0;
    }
    return denominationValue_[static_cast<std::size_t>(upper - 'A')];
}

void CBillDispenserMonitor::RecordLowAndRefilled(std::time_t time, bool duringDispense) {
    const MonitorSettings& settings = Host().Settings();
    CDeviceStatistics& s = Host().Statistics();
    std::lock_guard<CDeviceStatistics> lock(s);
    for (std::size_t slot = 0; slot < kFeedModuleCount; ++slot) {
        FeedModule& module = modules_[slot];
        if (!module.present) {
            continue;
        }
        if (module.low) {
            s.BillDispFMnLastTimeLow[slot] = time;
            if (duringDispense) {
                s.BillDispFMnLastTimeCassetteLowDuringDispense[slot] = time;
                SettleLowState(s, true, false);
            }
            FireIf(settings.FireBillDispLow, kEventBillDispLow);
            if (duringDispense) {
                FireIf(settings.FireBillDispCassetteLowDispense, kEventBillDispCassetteLowDispense);
            }
        } else if (module.wasLow) {
            s.BillDispFMnLastTimeRefilled[slot] = time;
            if (duringDispense) {
                SettleLowState(s, false, true);
            }
            FireIf(settings.FireBillDispRefilled, kEventBillDispRefilled);
        }
        module.wasLow = module.low;
    }
}

void CBillDispenserMonitor::ProcessDispenseReply(const MonitorMessage& message) {
    Host().TraceNote("Bill Dispenser: Dispense Command Response");
    for (FeedModule& module : modules_) {
        module.present = false;
        module.low = false;
        module.dispensedCount = 0;
        module.rejectedCount = 0;
    }
    const bool error = message.data[4] != kFieldSeparator;
    std::string errorLine;
    if (error) {
        const std::uint8_t code = message.data[4];
        errorLine = "Error Code: " + HexByte(code) + "  Status Code: " + HexByte(message.data[5]) +
                    " " + HexByte(message.data[6]);
        Host().TraceNote(errorLine);
        DecodeDispenseError(code, message.data[5], message.data[6], message.time);
    } else {
        std::lock_guard<CDeviceStatistics> lock(Host().Statistics());
        const DeviceState state = Host().Statistics().BillDispState;
        if (state != DeviceState::Low && state != DeviceState::CassetteRemoved) {
            ClearJams(message.time);
        }
    }
    // Groups: module digit, letter (lower case when low), three digits dispensed, three rejected.
    for (int i = kReplyFields; i < message.length; ++i) {
        if (ByteAt(message, i) != kFieldSeparator) {
            continue;
        }
        const int number = ByteAt(message, i + 1) - '0';
        if (number < 1 || !IsFeedModuleNumber(static_cast<unsigned>(number))) {
            continue;
        }
        FeedModule& module = modules_[FeedModuleSlot(static_cast<unsigned>(number))];
        const std::uint8_t letter = ByteAt(message, i + 2);
        module.present = true;
        module.low = IsLowerLetter(letter);
        module.letter = static_cast<char>(UpperLetter(letter));
        module.dispensedCount = ReadDigits(message, i + 3, kCountDigits);
        module.rejectedCount = ReadDigits(message, i + 3 + kCountDigits, kCountDigits);
    }
    std::string summary;
    bool anyRejected = false;
    std::size_t firstRejected = 0;
    for (std::size_t slot = 0; slot < kFeedModuleCount; ++slot) {
        const FeedModule& module = modules_[slot];
        if (!module.present) {
            continue;
        }
        const std::int32_t value = DenominationValue(module.letter);
        const std::string amount = value == 0 ? "X" : std::to_string(value);
        {
            std::lock_guard<CDeviceStatistics> lock(Host().Statistics());
            Host().Statistics().BillDispFMnDenomination[slot] =
                value == 0 ? "<Unmapped Currency Code>" : currency_.currencySymbol + amount;
        }
        Host().TraceNote("Bill Dispenser: Feed Module: " + std::to_string(slot + 1) +
                         "  Denomination: " + currency_.currencySymbol + amount + " (" +
                         LetterText(module.letter) + ")  " + LowText(module.low) +
                         "  Dispensed: " + std::to_string(module.dispensedCount) +
                         "  Rejected: " + std::to_string(module.rejectedCount));
        if (module.dispensedCount != 0) {
            {
                std::lock_guard<CDeviceStatistics> lock(Host().Statistics());
                Host().Statistics().BillDispLastTimeDispensedBills = message.time;
                Host().Statistics().BillDispFMnLastTimeDispensedBills[slot] = message.time;
            }
            summary += amount + ":" + std::to_string(module.dispensedCount) + "; ";
        }
        if (module.rejectedCount != 0 && !anyRejected) {
            anyRejected = true;
            firstRejected = slot;
        }
    }
    {
        CDeviceStatistics& s = Host().Statistics();
        std::lock_guard<CDeviceStatistics> lock(s);
        s.BillDispLastCurrenciesDispensed = summary;
        if (error) {
            s.BillDispLastTimeFaultReported = message.time;
            s.BillDispLastFaultCodeReported = errorLine;
        }
    }
    if (anyRejected) {
        {
            std::lock_guard<CDeviceStatistics> lock(Host().Statistics());
            Host().Statistics().BillDispFMnLastTimeBillsRejected[firstRejected] = message.time;
        }
        FireIf(Host().Settings().FireBillDispBillsRejected, kEventBillDispBillsRejected);
    }
    RecordLowAndRefilled(message.time, true);
}

void CBillDispenserMonitor::ProcessPhysicalStatus(const MonitorMessage& message) {
    const std::uint8_t physical = message.data[4] & kPhysicalMask;
    if (physical < kPhysicalFirst) {
        Host().TraceNote("Bill Dispenser: Internal Status (unexpected)");
        return;
    }
    Host().TraceNote("Bill Dispenser: Physical Status");
    physical_.exitSensorBlocked = IsBitSet(physical, 5);
    physical_.countMismatch = IsBitSet(physical, 4);
    physical_.dispenseTimeout = IsBitSet(physical, 3);
    physical_.proxInterruptsFailed = IsBitSet(physical, 2);
    physical_.motorMultiplexFailed = IsBitSet(physical, 1);
    physical_.motorInterruptsFailed = IsBitSet(physical, 0);
    if (physical_.exitSensorBlocked) {
        Host().TraceNote("Bill Dispenser: Exit sensor blocked");
        {
            std::lock_guard<CDeviceStatistics> lock(Host().Statistics());
            Host().Statistics().StatusBillDispenser = StatusColour::Yellow;
            Host().Statistics().BillDispLastTimeSensorBlock = message.time;
        }
        FireIf(Host().Settings().FireBillDispSensorBlock, kEventBillDispSensorBlock);
    }
    const struct {
        bool set;
        const char* line;
    } flags[] = {
        {physical_.countMismatch, "Bill Dispenser: Count mismatch between picker and sensor"},
        {physical_.dispenseTimeout, "Bill Dispenser: Dispense timeout occurred"},
        {physical_.proxInterruptsFailed, "Bill Dispenser: Prox interrupts failed"},
        {physical_.motorMultiplexFailed, "Bill Dispenser: Motor multiplex circuit failed"},
        {physical_.motorInterruptsFailed, "Bill Dispenser: Motor interrupts failed"},
    };
    for (const auto& flag : flags) {
        if (flag.set) {
            Host().TraceNote(flag.line);
        }
    }

    // One record per position, module 1 first; records beyond the positions are ignored.
    std::size_t records = 0;
    for (int i = kReplyFields + 1; i < message.length && records < kBillDispPositions; ++i) {
        if (ByteAt(message, i) != kFieldSeparator) {
            continue;
        }
        std::uint8_t r[kRecordSize];
        for (int k = 0; k < kRecordSize; ++k) {
            r[k] = ByteAt(message, i + 1 + k);
        }
        FeedModule& module = modules_[records++];
        module.low = IsBitSet(r[0], kLowBit);
        module.pickerFault = IsBitSet(r[4], kPickerFaultBit);
        module.cassetteFault = IsBitSet(r[4], kCassetteFaultBit);
        module.isDiverter = IsBitSet(r[4], kDiverterBit);
        module.ckSerial = r[4] & kSerialMask;
        module.ckDenomination = static_cast<std::uint16_t>(
            ((r[0] & 0x0F) << 12) | ((r[1] & 0x0F) << 8) | ((r[2] & 0x0F) << 4) | (r[3] & 0x0F));
        module.ckWidth = static_cast<std::uint8_t>(((r[1] >> 3) & 6) | ((r[2] >> 5) & 1));
        module.ckThick = static_cast<std::uint8_t>(((r[2] >> 2) & 4) | ((r[3] >> 4) & 3));
        i += kRecordSize;
    }
    // Every record but the last describes a module; the last may be the diverter.
    const std::size_t moduleRecords = records == 0 ? 0 : records - 1;
    bool anyLow = false;
    for (std::size_t slot = 0; slot < kBillDispPositions; ++slot) {
        FeedModule& module = modules_[slot];
        module.present = slot < moduleRecords;
        if (!module.present) {
            continue;
        }
        anyLow = anyLow || module.low;
        Host().TraceNote("Bill Dispenser: Feed Module: " + std::to_string(slot + 1) +
                         "  CK Denomination: " + HexValue(module.ckDenomination) + " " +
                         LowText(module.low) + "  CK Width: " + AlternateHex(module.ckWidth) +
                         "  CK Thick: " + AlternateHex(module.ckThick) +
                         "  CK SN: " + HexValue(module.ckSerial) + "  " +
                         (module.pickerFault ? "<Picker Fault>" : "") + "  " +
                         (module.cassetteFault ? "<Cassette Fault>" : ""));
    }
    const bool diverter = records != 0 && modules_[records - 1].isDiverter;
    if (diverter) {
        const FeedModule& last = modules_[records - 1];
        Host().TraceNote("Bill Dispenser: Diverter: SN: " + HexValue(last.ckDenomination) + "  " +
                         (last.pickerFault || last.cassetteFault ? "<Diverter Fault>" : ""));
    }
    CDeviceStatistics& s = Host().Statistics();
    std::lock_guard<CDeviceStatistics> lock(s);
    SettleLowState(s, anyLow, true);
    for (std::size_t slot = 0; slot < moduleRecords && slot < kFeedModuleCount; ++slot) {
        s.BillDispFMn[slot] = static_cast<std::uint32_t>(slot + 1);
    }
    RecordLowAndRefilled(message.time, false);
    if (diverter) {
        s.BillDispDivBin = 1;
    }
}

bool CBillDispenserMonitor::ReadModuleLetters(const MonitorMessage& message) {
    if (message.data[kLetterSeparator] != kFieldSeparator) {
        Host().TraceNote("Bill Dispenser Error: Incorrect Format");
        return false;
    }
    // The letters run up to the byte before the last; a reply too short for any has none.
    const int end = message.length - 1;
    for (std::size_t position = 0; position < kBillDispPositions; ++position) {
        FeedModule& module = modules_[position];
        const int at = kFirstLetter + static_cast<int>(position);
        module.present = at < end;
        const std::uint8_t letter = module.present ? ByteAt(message, at) : std::uint8_t{0};
        module.low = letter >= 'a' && letter <= 'h';
        module.letter = static_cast<char>(module.low ? letter - 'a' + 'A' : letter);
    }
    return true;
}

void CBillDispenserMonitor::TraceModuleLetters() {
    for (std::size_t position = 0; position < kBillDispPositions; ++position) {
        const FeedModule& module = modules_[position];
        if (!module.present) {
            continue;
        }
        const std::string prefix =
            "Bill Dispenser: Feed Module[" + std::to_string(position + 1) + "]: Denomination: ";
        const auto letter = static_cast<std::uint8_t>(module.letter);
        if (letter == kNoCassetteLetter) {
            Host().TraceNote(prefix + "<no cassette>");
        } else if (letter == kUnknownCassetteLetter) {
            Host().TraceNote(prefix + "<unknown>");
        } else {
            Host().TraceNote(prefix + LetterText(module.letter) + " " + LowText(module.wasLow));
        }
    }
}

}  // namespace lane::monitor
