// Fleet metrics: the lane's health as a text file for the node exporter's textfile collector.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "monitor/stats/DeviceStatistics.h"
#include "monitor/stats/MonitorHost.h"
#include "monitor/stats/Settings.h"

namespace lane::monitor {

// The file written into the metrics folder; the collector reads every "*.prom" file there.
inline constexpr const char* kFleetMetricsFileName = "tavrik.prom";
// The setting (REG_SZ under kSettingsKey) naming the metrics folder as a host path; no value or
// an empty one leaves the metrics off.
inline constexpr const char* kMetricsFolderValue = "MetricsFolder";

// A label value as the exposition format takes it: backslash, quote and line feed escaped, and
// every byte outside printable ASCII (texts from devices are untrusted) replaced by '?', so that
// one odd byte can never make the collector reject the whole file.
std::string MetricLabelValue(std::string_view text);

// The whole file for the record as it is now (the record's lock is held for the pass) and the
// settings: colours, states, last-event times as Unix seconds (0 for never), the report's
// counts and rates, and the versions as info metrics.
std::string FleetMetricsText(const CDeviceStatistics& statistics, const MonitorSettings& settings);

// Writes the file into the folder that MetricsFolder names, whole: under a temporary name first,
// then renamed over the old file, so a reader sees the old file or the new one, never a part.
// Returns 0 (also when no folder is set) or the Windows error of the write, which is also traced
// as a note, since the collector only shows a stale file.
std::uint32_t WriteFleetMetrics(MonitorHost& host);

}  // namespace lane::monitor
