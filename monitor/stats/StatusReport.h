// The status report: its text, the numbered copies of earlier reports, and writing one report.
#pragma once

#include <cstdint>
#include <ctime>
#include <string>

#include "monitor/stats/DeviceStatistics.h"
#include "monitor/stats/MonitorHost.h"
#include "monitor/stats/Settings.h"
#include "platform/LanePath.h"

namespace lane::monitor {

inline constexpr const char* kGeneratingReportText = "...Generating Report...";
// Copies are numbered with two digits, so no more than this many are kept.
inline constexpr std::uint32_t kMaxReportCopies = 99;

// WriteStatusReport's results.
inline constexpr std::uint32_t kReportNotOpened = 1;
inline constexpr std::uint32_t kReportNotEmptied = 2;
inline constexpr std::uint32_t kReportNotWritten = 3;

// "%Y-%m-%d %H:%M:%S %p" in local time ("2005-03-04 14:05:09 PM"); the default statistics
// time (1980-01-01 00:00:00) gives an empty text.
std::string ReportTimeText(std::time_t seconds);

// The whole report, every line ended by CR LF, for the record as it is now and the current
// time `now`. Holds the record's lock for the whole pass. Divisors of 0 in the two coin
// acceptor percentages print 100%: the decoder treats a threshold of 0 as always reached.
std::string StatusReportText(const CDeviceStatistics& statistics, const MonitorSettings& settings,
                             std::time_t now);

// The Windows name of copy `number` of the report file: "%s.%02d".
std::string ReportCopyName(const std::string& reportFile, std::uint32_t number);

// Deletes copy `copies` (at most kMaxReportCopies), then renames copy i-1 to copy i for i from
// `copies` down to 1, copy 0 being the report file itself. Failures are ignored.
void RotateReportCopies(const platform::LanePaths& paths, const std::string& reportFile,
                        std::uint32_t copies);

// One report: the trace line, the statistics saved to the registry, the copies rotated, the
// report file (LogFileName, mapped onto the lane root) rewritten. Returns 0, or the step that
// failed; a report that cannot be written is given up without a message. `saveResult`, when
// given, receives the result of the statistics save.
[[nodiscard]] std::uint32_t WriteStatusReport(MonitorHost& host, const platform::LanePaths& paths,
                                              std::time_t now, std::uint32_t* saveResult = nullptr);

}  // namespace lane::monitor
