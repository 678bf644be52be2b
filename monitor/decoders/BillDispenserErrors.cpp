// CBillDispenserMonitor: what a dispense reply's error records, and the end of a jam.
#include <mutex>

#include "monitor/decoders/BillDispenserErrorTable.h"
#include "monitor/decoders/BillDispenserMonitor.h"

namespace lane::monitor {

using namespace billdisp;

namespace {

bool EventSwitch(const MonitorSettings& settings, int eventCode) {
    switch (eventCode) {
        case kEventBillDispFeedFailure:
            return settings.FireBillDispFeedFailure;
        case kEventBillDispInvalidCassettes:
            return settings.FireBillDispInvalidCassettes;
        case kEventBillDispJammed:
            return settings.FireBillDispJammed;
        case kEventBillDispSensorBlock:
            return settings.FireBillDispSensorBlock;
        case kEventBillDispVoltageRange:
            return settings.FireBillDispVoltageRange;
        case kEventBillDispFeedModule:
            return settings.FireBillDispFeedModule;
        default:
            return false;
    }
}

bool IsJam(ErrorEffect effect) {
    return effect == ErrorEffect::JamModule || effect == ErrorEffect::JamModuleFlag ||
           effect == ErrorEffect::Jam;
}

}  // namespace

void CBillDispenserMonitor::DecodeDispenseError(std::uint8_t error, std::uint8_t status1,
                                                std::uint8_t status2, std::time_t time) {
    const std::optional<DecodedError> decoded = DecodeError(error, status1, status2);
    if (!decoded) {
        EndJamUnlessReported(false, time);
        return;
    }
    Host().TraceNote(decoded->line);
    // Only feed modules 1 to 6 have statistics, whatever number the codes give.
    const bool feedModule = decoded->module >= 1 && IsFeedModuleNumber(decoded->module);
    const std::size_t slot = feedModule ? FeedModuleSlot(decoded->module) : 0;
    {
        CDeviceStatistics& s = Host().Statistics();
        std::lock_guard<CDeviceStatistics> lock(s);
        switch (decoded->effect) {
            case ErrorEffect::FeedFailure:
                if (feedModule) {
                    s.BillDispFMnLastTimeFeedFailure[slot] = time;
                }
                break;
            case ErrorEffect::InvalidCassettes:
                s.BillDispLastTimeDetectedInvalidCassettes = time;
                break;
            case ErrorEffect::DiverterFull:
                s.BillDispDivBinLastTimeFullAtDispense = time;
                break;
            case ErrorEffect::DiverterMissing:
                s.BillDispDivBinLastTimeMissingAtDispense = time;
                break;
            case ErrorEffect::JamModule:
                if (feedModule) {
                    s.BillDispFMnLastTimeJammed[slot] = time;
                }
                [[fallthrough]];
            case ErrorEffect::JamModuleFlag:
                if (feedModule) {
                    modules_[slot].jamActive = true;
                }
                break;
            case ErrorEffect::SensorBlock:
                s.BillDispLastTimeSensorBlock = time;
                break;
            case ErrorEffect::VoltageRange:
                if (feedModule) {
                    s.BillDispFMnLastTimeVoltageOutOfRange[slot] = time;
                }
                break;
            case ErrorEffect::NotInService:
                if (feedModule) {
                    s.BillDispFMnLastTimeNotInService[slot] = time;
                }
                break;
            case ErrorEffect::Jam:
            case ErrorEffect::None:
                break;
        }
        if (IsJam(decoded->effect)) {
            s.BillDispState = DeviceState::Jammed;
        }
        if (decoded->colour == ErrorColour::Red) {
            s.StatusBillDispenser = StatusColour::Red;
        } else if (decoded->colour == ErrorColour::Yellow) {
            s.StatusBillDispenser = StatusColour::Yellow;
        }
    }
    if (decoded->eventCode != 0) {
        FireIf(EventSwitch(Host().Settings(), decoded->eventCode), decoded->eventCode);
    }
    EndJamUnlessReported(IsJam(decoded->effect), time);
}

void CBillDispenserMonitor::EndJamUnlessReported(bool jamReported, std::time_t time) {
    std::lock_guard<CDeviceStatistics> lock(Host().Statistics());
    if (!jamReported && Host().Statistics().BillDispState == DeviceState::Jammed) {
        ClearJams(time);
    }
}

void CBillDispenserMonitor::ClearJams(std::time_t time) {
    CDeviceStatistics& s = Host().Statistics();
    std::lock_guard<CDeviceStatistics> lock(s);
    for (std::size_t slot = 0; slot < kFeedModuleCount; ++slot) {
        if (modules_[slot].jamActive) {
            s.BillDispFMnLastTimeUnjammed[slot] = time;
            modules_[slot].jamActive = false;
        }
    }
    s.BillDispState = DeviceState::Ready;
    s.StatusBillDispenser = StatusColour::Green;
}

}  // namespace lane::monitor
