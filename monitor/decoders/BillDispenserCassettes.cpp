// CBillDispenserMonitor: the configuration reply and the unsolicited cassette status.
#include <mutex>
#include <string>

#include "monitor/decoders/BillDispenserCodes.h"
#include "monitor/decoders/BillDispenserMonitor.h"
#include "monitor/decoders/DeviceText.h"

namespace lane::monitor {

using namespace billdisp;

namespace {

// The cassette-status reply's missing mask: bit 0 the diverter bin, bit n cassette n.
constexpr int kMissingMask = 4;
constexpr unsigned kDiverterBinPosition = 0;
constexpr unsigned kLastMaskPosition = 6;

std::string PositionName(unsigned position) {
    return position == kDiverterBinPosition ? "Diverter Bin"
                                            : "Cassette " + std::to_string(position);
}

}  // namespace

void CBillDispenserMonitor::ProcessConfiguration(const MonitorMessage& message) {
    modelCode_ = message.data[4];
    revisionCode_ = message.data[5];
    Host().TraceNote("Bill Dispenser: Configuration Command Response:");
    Host().TraceNote("Bill Dispenser Model: " + HexByte(modelCode_) +
                     ", Revision: " + HexByte(revisionCode_));
    if (!ReadModuleLetters(message)) {
        return;
    }
    TraceModuleLetters();
    CDeviceStatistics& s = Host().Statistics();
    std::lock_guard<CDeviceStatistics> lock(s);
    s.BillDispModel = DeviceString(&modelCode_, 1);
    s.BillDispRevision = DeviceString(&revisionCode_, 1);
    for (std::size_t slot = 0; slot < kFeedModuleCount; ++slot) {
        if (!modules_[slot].present) {
            continue;
        }
        const std::int32_t value = DenominationValue(modules_[slot].letter);
        s.BillDispFMn[slot] = static_cast<std::uint32_t>(slot + 1);
        s.BillDispFMnDenomination[slot] =
            currency_.currencySymbol +
            (value == 0 ? std::string("<Unmapped CurrencyCode>") : std::to_string(value) + " ");
    }
    SettleLowState(s, AnyModuleLow(), true);
    RecordLowAndRefilled(message.time, false);
}

// The diverter bin takes part in the missing mask once a physical status has shown a diverter.
void CBillDispenserMonitor::ProcessCassetteStatus(const MonitorMessage& message) {
    Host().TraceNote("Bill Dispenser: Unsolicited Cassette Status:");
    if (!ReadModuleLetters(message)) {
        return;
    }
    TraceModuleLetters();
    const MonitorSettings& settings = Host().Settings();
    CDeviceStatistics& s = Host().Statistics();
    std::uint8_t known = 0;
    {
        std::lock_guard<CDeviceStatistics> lock(s);
        if (s.BillDispDivBin == 1) {
            known |= 1u << kDiverterBinPosition;
        }
    }
    for (unsigned position = 1; position <= kFeedModuleCount; ++position) {
        if (modules_[FeedModuleSlot(position)].present) {
            known |= static_cast<std::uint8_t>(1u << position);
        }
    }
    const std::uint8_t missing = message.data[kMissingMask] & known;
    std::uint8_t removed = 0;
    std::uint8_t replaced = 0;
    for (unsigned position = 0; position <= kLastMaskPosition; ++position) {
        const auto bit = static_cast<std::uint8_t>(1u << position);
        if ((known & bit) == 0) {
            continue;
        }
        if ((missing & bit) != 0) {
            Host().TraceNote("Bill Dispenser: " + PositionName(position) + " Missing");
            if ((missingMask_ & bit) == 0) {
                removed |= bit;
            }
        } else {
            Host().TraceNote("Bill Dispenser: " + PositionName(position) + " Present");
            if ((missingMask_ & bit) != 0) {
                replaced |= bit;
            }
        }
    }
    if (missing == 0) {
        Host().TraceNote("Bill Dispenser: All Cassettes Inserted");
    }
    std::lock_guard<CDeviceStatistics> lock(s);
    for (unsigned position = 0; position <= kLastMaskPosition; ++position) {
        const auto bit = static_cast<std::uint8_t>(1u << position);
        const bool isBin = position == kDiverterBinPosition;
        const std::size_t slot = isBin ? 0 : FeedModuleSlot(position);
        if ((removed & bit) != 0) {
            if (isBin) {
                s.BillDispDivBinLastTimeRemoved = message.time;
            } else {
                s.BillDispFMnLastTimeCassetteRemoved[slot] = message.time;
                s.BillDispLastCassetteRemoved = std::to_string(position);
            }
            s.BillDispState = DeviceState::CassetteRemoved;
            s.StatusBillDispenser = StatusColour::Red;
            FireIf(settings.FireBillDispCassetteRemoved, kEventBillDispCassetteRemoved);
        }
        if ((replaced & bit) != 0) {
            if (isBin) {
                s.BillDispDivBinLastTimeReplaced = message.time;
            } else {
                s.BillDispFMnLastTimeCassetteReplaced[slot] = message.time;
                s.BillDispLastCassetteReplaced = std::to_string(position);
            }
            if (s.BillDispState == DeviceState::CassetteRemoved && missing == 0) {
                s.BillDispState = DeviceState::Ready;
                s.StatusBillDispenser = StatusColour::Green;
            }
            FireIf(settings.FireBillDispCassetteReplaced, kEventBillDispCassetteReplaced);
        }
    }
    for (std::size_t slot = 0; slot < kFeedModuleCount; ++slot) {
        const FeedModule& module = modules_[slot];
        if (!module.present) {
            continue;
        }
        const auto letter = static_cast<std::uint8_t>(module.letter);
        const std::int32_t value = DenominationValue(module.letter);
        std::string text = currency_.currencySymbol;
        if (letter == kNoCassetteLetter || letter == kUnknownCassetteLetter) {
            text += "<Cassette Removed>";
        } else if (value == 0) {
            text += "<Unmapped Currency Code>";
        } else {
            text += std::to_string(value);
        }
        s.BillDispFMnDenomination[slot] = text;
        s.BillDispFMn[slot] = static_cast<std::uint32_t>(slot + 1);
    }
    RecordLowAndRefilled(message.time, false);
    // This reply never returns the dispenser from Low to Ready.
    SettleLowState(s, AnyModuleLow(), false);
    missingMask_ = missing;
}

}  // namespace lane::monitor
