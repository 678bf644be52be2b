// Local-time breakdown and the time texts of traces, the registry and reports.
#pragma once

#include <cstddef>
#include <ctime>
#include <string>

#include "common/Clock.h"

namespace lane {

// Local calendar time of `seconds` (the C library's local zone; thread safe).
std::tm LocalTm(std::time_t seconds);
// Seconds of a local calendar time; -1 when it cannot be represented.
std::time_t FromLocalTm(std::tm local);

// "%04d%02d%02d %02d:%02d:%02d.%03hu": the stamp of every trace line.
std::string TraceTimeText(WallTime time);
// The same stamp written to `out`, which holds kTraceTimeTextMax characters; returns its length.
// No allocation: the calendar part is worked out once per second and thread.
inline constexpr std::size_t kTraceTimeTextMax = 80;
std::size_t FormatTraceTime(WallTime time, char* out);
// "%Y-%m-%d %H:%M:%S": registry and report times.
std::string RegistryTimeText(std::time_t seconds);

}  // namespace lane
