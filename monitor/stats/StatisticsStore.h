// Loading and saving the statistics record and the repeat histories in the values key.
#pragma once

#include <cstdint>
#include <ctime>
#include <deque>
#include <string>

#include "monitor/stats/DeviceStatistics.h"
#include "platform/Registry.h"

namespace lane::monitor {

// The repeat histories, each in the subkey "<group>\<history>" of the values key.
inline constexpr const char* kSecModGroup = "SecMod";
inline constexpr const char* kGreenButtonTimesHistory = "GreenButtonTimes";
inline constexpr const char* kRedButtonTimesHistory = "RedButtonTimes";
inline constexpr const char* kSecScaleGroup = "SecScale";
inline constexpr const char* kResetTimesHistory = "ResetTimes";
inline constexpr const char* kCalibrateTimesHistory = "CalibrateTimes";

// Event times, oldest first.
using TimeHistory = std::deque<std::time_t>;

// Reads the values key in one pass, then replaces, under the record's lock, every field whose
// value is present and valid; the others keep their current values.
void LoadStatistics(const platform::Registry& registry, CDeviceStatistics& statistics);

// Writes every stored field (all but SecModEPROMFailed) to the values key, in stored order, as
// one crash-safe write. The texts are taken under the record's lock; the write happens after it
// is released. Returns the registry's result.
[[nodiscard]] std::uint32_t SaveStatistics(platform::Registry& registry,
                                           const CDeviceStatistics& statistics);

// Appends the times named "0", "1", ... of the history's subkey, stopping at the first that is
// missing or does not read as a time. A missing subkey appends nothing.
void LoadTimeList(const platform::Registry& registry, const std::string& group,
                  const std::string& name, TimeHistory& history);

// Replaces the history's subkey by one holding exactly the history's times, named "0" (oldest)
// onwards, in one crash-safe write. Returns the registry's result.
[[nodiscard]] std::uint32_t SaveTimeList(platform::Registry& registry, const std::string& group,
                                         const std::string& name, const TimeHistory& history);
// The same replacement added to `batch`, so that several histories go in one write.
void AddTimeList(platform::RegBatch& batch, const std::string& group, const std::string& name,
                 const TimeHistory& history);

}  // namespace lane::monitor
