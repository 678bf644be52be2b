// MonitorHost: what the device monitors and the report need from the view that owns them.
#pragma once

#include <cstdint>
#include <string>

#include "monitor/stats/DeviceStatistics.h"
#include "monitor/stats/Settings.h"
#include "platform/Registry.h"

namespace lane::monitor {

// The view implements it; tests give a fake. Every operation may be called from any thread.
class MonitorHost {
  public:
    virtual ~MonitorHost() = default;

    // The lane's statistics record, guarded by its own lock.
    virtual CDeviceStatistics& Statistics() = 0;
    // The settings block; the monitors only read it.
    virtual const MonitorSettings& Settings() const = 0;
    // A trace line with the text as given.
    virtual void TraceText(const std::string& text) = 0;
    // A trace line framed as "  ** <text> **".
    virtual void TraceNote(const std::string& text) = 0;
    // The registry holding the values key (statistics and repeat histories).
    virtual platform::Registry& Registry() = 0;
    // Around each batch of messages a worker handles: the trace lines of the batch reach the
    // trace file together.
    virtual void BeginTraceBatch() {}
    virtual void EndTraceBatch() {}
    // The result of a save of the statistics to the registry (0 or the registry's error), for
    // the host to report a failure; the next save writes everything again.
    virtual void StatisticsSaved(std::uint32_t result) { (void)result; }
};

}  // namespace lane::monitor
