// The statistics time stamps of the security module's own events, one table row per event.
#include "monitor/stats/EventStamps.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <mutex>

namespace lane::monitor {

namespace {

using S = CDeviceStatistics;
using W = MonitorSwitches;

struct EventStamp {
    std::uint8_t code;
    std::uint8_t subCode;
    std::time_t CDeviceStatistics::*stamp;
    bool MonitorSwitches::*gate;
};

constexpr EventStamp kEventStamps[] = {
    {0xA2, 1, &S::SecModLastTimeGreenButtonPressed, &W::MonitorSecurityModule},
    {0xA2, 2, &S::SecModLastTimeRedButtonPressed, &W::MonitorSecurityModule},
    {0xA3, 1, &S::LaneLightLastTimeOn, &W::MonitorSecurityModule},
    {0xA3, 2, &S::LaneLightLastTimeOff, &W::MonitorSecurityModule},
    {0xA3, 3, &S::LaneLightLastTimeFlashing, &W::MonitorSecurityModule},
    {0xA3, 4, &S::GreenLightLastTimeOn, &W::MonitorSecurityModule},
    {0xA3, 5, &S::GreenLightLastTimeOff, &W::MonitorSecurityModule},
    {0xA3, 6, &S::GreenLightLastTimeFlashing, &W::MonitorSecurityModule},
    {0xA3, 7, &S::YellowLightLastTimeOn, &W::MonitorSecurityModule},
    {0xA3, 8, &S::YellowLightLastTimeOff, &W::MonitorSecurityModule},
    {0xA3, 9, &S::YellowLightLastTimeFlashing, &W::MonitorSecurityModule},
    {0xA3, 10, &S::RedLightLastTimeOn, &W::MonitorSecurityModule},
    {0xA3, 11, &S::RedLightLastTimeOff, &W::MonitorSecurityModule},
    {0xA3, 12, &S::RedLightLastTimeFlashing, &W::MonitorSecurityModule},
    {0xA4, 2, &S::SecModLastTimeUPSEvent, &W::MonitorSecurityModule},
    {0xA4, 3, &S::SecModLastTimeAbnormalPowerOff, &W::MonitorSecurityModule},
    {0xA4, 4, &S::SecModLastTimeAbnormalPowerOff, &W::MonitorSecurityModule},
    {0xA5, 1, &S::ConveyorLastTimeFrontBeltOn, &W::MonitorConveyor},
    {0xA5, 2, &S::ConveyorLastTimeFrontBeltOff, &W::MonitorConveyor},
    {0xA5, 3, &S::ConveyorLastTimeGreenButton, &W::MonitorConveyor},
    {0xA5, 4, &S::ConveyorLastTimeFrontSwitchClosed, &W::MonitorConveyor},
    {0xA5, 5, &S::ConveyorLastTimeFrontSwitchOpen, &W::MonitorConveyor},
    {0xA5, 6, &S::ConveyorLastTimeFrontBeltOnReverse, &W::MonitorConveyor},
    {0xA5, 7, &S::ConveyorLastTimeRearBeltOn, &W::MonitorConveyor},
    {0xA5, 8, &S::ConveyorLastTimeRearBeltOff, &W::MonitorConveyor},
    {0xA5, 9, &S::ConveyorLastTimeRearBeltOnReverse, &W::MonitorConveyor},
    {0xA5, 10, &S::ConveyorLastTimeRearSwitchClosed, &W::MonitorConveyor},
    {0xA5, 11, &S::ConveyorLastTimeRearSwitchOpen, &W::MonitorConveyor},
    {0xA6, 1, &S::SecScaleLastTimeScaleReset, &W::MonitorSecurityScale},
    {0xA6, 2, &S::SecScaleLastTimeScaleCalibrated, &W::MonitorSecurityScale},
    {0xA6, 3, &S::SecScaleLastTimeMaximumWeight, &W::MonitorSecurityScale},
    {0xA6, 4, &S::SecScaleLastTimeNegativeWeight, &W::MonitorSecurityScale},
    {0xA6, 5, &S::SecScaleLastTimeZeroCommandSent, &W::MonitorSecurityScale},
    {0xA7, 1, &S::SecModLastTimePresenceClear, &W::MonitorSecurityModule},
    {0xA7, 2, &S::SecModLastTimePresenceDetected, &W::MonitorSecurityModule},
    {0xAC, 1, &S::CouponBoxLastTimeLightOn, &W::MonitorSecurityModule},
    {0xAC, 2, &S::CouponBoxLastTimeLightOff, &W::MonitorSecurityModule},
    {0xAC, 3, &S::CouponBoxLastTimeLightFlashing, &W::MonitorSecurityModule},
    {0xAC, 4, &S::CouponBoxLastTimeCouponReceived, &W::MonitorSecurityModule},
    {0xAC, 5, &S::CouponBoxLastTimeBoxFull, &W::MonitorSecurityModule},
    {0xAD, 1, &S::SensormaticLastTimeHardTagDetected, &W::MonitorSecurityModule},
    {0xAD, 2, &S::SensormaticLastTimeHardTagClear, &W::MonitorSecurityModule},
    {0xAD, 3, &S::SensormaticLastTimeCommError, &W::MonitorSecurityModule},
    {0xAD, 4, &S::SensormaticLastTimeEnableController, &W::MonitorSecurityModule},
    {0xAD, 5, &S::SensormaticLastTimeDisableController, &W::MonitorSecurityModule},
    {0xAF, 1, &S::CurtainsLastTimeFrontCurtainBreak, &W::MonitorConveyor},
    {0xAF, 2, &S::CurtainsLastTimeFrontCurtainUnbreak, &W::MonitorConveyor},
    {0xAF, 3, &S::CurtainsLastTimeRearCurtainBreak, &W::MonitorConveyor},
    {0xAF, 4, &S::CurtainsLastTimeRearCurtainUnbreak, &W::MonitorConveyor},
    {0xAF, 5, &S::BaggingSensorLastTimeBagAreaFull, &W::MonitorConveyor},
    {0xAF, 6, &S::BaggingSensorLastTimeBagAreaClear, &W::MonitorConveyor},
};

constexpr std::size_t kStampCodes = 0xAF - 0xA2 + 1;
constexpr std::size_t kStampSubCodes = 13;
using StampTable = std::array<std::array<const EventStamp*, kStampSubCodes>, kStampCodes>;

// The rows by code and sub-code, for a lookup per message.
const StampTable& StampRows() {
    static const StampTable table = [] {
        StampTable built{};
        for (const EventStamp& row : kEventStamps) {
            built[row.code - 0xA2][row.subCode] = &row;
        }
        return built;
    }();
    return table;
}

const EventStamp* FindEventStamp(std::uint8_t code, std::uint8_t subCode) {
    if (code < 0xA2 || code > 0xAF || subCode >= kStampSubCodes) {
        return nullptr;
    }
    return StampRows()[code - 0xA2][subCode];
}

}  // namespace

void StampEventTimes(CDeviceStatistics& statistics, const MonitorSwitches& switches,
                     const MonitorMessage& message) {
    const EventStamp* row = FindEventStamp(message.code, message.subCode);
    if (row == nullptr || !(switches.*(row->gate))) {
        return;
    }
    std::lock_guard<CDeviceStatistics> guard(statistics);
    statistics.*(row->stamp) = message.time;
}

void CEventStampBatch::Add(const MonitorSwitches& switches, const MonitorMessage& message) {
    const EventStamp* row = FindEventStamp(message.code, message.subCode);
    if (row == nullptr || !(switches.*(row->gate))) {
        return;
    }
    Note(row->stamp, message.time);
}

void CEventStampBatch::AddCommunicated(std::time_t time) {
    Note(&S::SecModLastTimeCommunicated, time);
}

void CEventStampBatch::Note(std::time_t CDeviceStatistics::*field, std::time_t time) {
    for (Pending& pending : pending_) {
        if (pending.field == field) {
            pending.time = time;
            return;
        }
    }
    pending_.push_back(Pending{field, time});
}

void CEventStampBatch::Apply(CDeviceStatistics& statistics) {
    if (pending_.empty()) {
        return;
    }
    {
        std::lock_guard<CDeviceStatistics> guard(statistics);
        for (const Pending& pending : pending_) {
            statistics.*(pending.field) = pending.time;
        }
    }
    pending_.clear();
}

void StampCommunicated(CDeviceStatistics& statistics, std::time_t time) {
    std::lock_guard<CDeviceStatistics> guard(statistics);
    statistics.SecModLastTimeCommunicated = time;
}

void RecordBadData(CDeviceStatistics& statistics, std::time_t time, const std::string& hex) {
    std::lock_guard<CDeviceStatistics> guard(statistics);
    statistics.SecModLastTimeBadData = time;
    statistics.SecModLastBadData = hex;
}

}  // namespace lane::monitor
