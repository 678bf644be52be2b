// Statistics time stamps of the security module's events, and the communicated and bad-data stamps.
#pragma once

#include <ctime>
#include <string>

#include "monitor/acquisition/MonitorMessage.h"
#include "monitor/acquisition/MonitorSwitches.h"
#include "monitor/stats/DeviceStatistics.h"

namespace lane::monitor {

// Sets the time stamp of the message's event (code and sub-code) to the message's time, under
// the statistics lock, when the event's monitoring switch is on (MonitorSecurityModule, or
// MonitorConveyor for the conveyor and curtains, MonitorSecurityScale for the scale). Events
// without a stamp change nothing.
void StampEventTimes(CDeviceStatistics& statistics, const MonitorSwitches& switches,
                     const MonitorMessage& message);

// Marks the security module as heard from at `time` (SecModLastTimeCommunicated).
void StampCommunicated(CDeviceStatistics& statistics, std::time_t time);

// Keeps the time and hex text of the last packet that failed validation.
void RecordBadData(CDeviceStatistics& statistics, std::time_t time, const std::string& hex);

}  // namespace lane::monitor
