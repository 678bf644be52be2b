// Statistics time stamps of the security module's events, and the communicated and bad-data stamps.
#pragma once

#include <ctime>
#include <string>
#include <vector>

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

// The stamps of one pass of the parser, set together under one statistics lock instead of one
// lock per message; the newest time of each stamp wins, as if they were set one by one.
class CEventStampBatch {
  public:
    // As StampEventTimes and StampCommunicated, held until Apply.
    void Add(const MonitorSwitches& switches, const MonitorMessage& message);
    void AddCommunicated(std::time_t time);
    // Sets the held stamps and empties the batch.
    void Apply(CDeviceStatistics& statistics);

  private:
    struct Pending {
        std::time_t CDeviceStatistics::*field;
        std::time_t time;
    };
    void Note(std::time_t CDeviceStatistics::*field, std::time_t time);
    std::vector<Pending> pending_;
};

// Keeps the time and hex text of the last packet that failed validation.
void RecordBadData(CDeviceStatistics& statistics, std::time_t time, const std::string& hex);

}  // namespace lane::monitor
