// The monitor's settings, named as their registry values, with their defaults.
#pragma once

#include <cstdint>
#include <string>

#include "monitor/acquisition/MonitorSwitches.h"
#include "platform/Registry.h"

namespace lane::monitor {

inline constexpr const char* kSettingsKey = "SOFTWARE\\Quarnel\\Tavrik";
inline constexpr const char* kValuesKey = "SOFTWARE\\Quarnel\\Tavrik\\Values";

struct MonitorSettings {
    std::uint32_t LoggingState = 0;  // 0 no trace file, 2 trace file written
    std::uint32_t MaxLogSize = 40;   // trace-file limit in units of 1024 bytes
    std::string TraceFileName = "c:\\tavrikitor.trc";
    MonitorSwitches switches;
};

// Reads every setting that is present and valid; the others keep their current values.
void LoadSettings(const platform::Registry& registry, MonitorSettings& settings);
// Writes every setting in one crash-safe write; returns the registry's result.
[[nodiscard]] std::uint32_t SaveSettings(platform::Registry& registry,
                                         const MonitorSettings& settings);

}  // namespace lane::monitor
