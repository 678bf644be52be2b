// lanesim's run from options to exit code: load the scenario, listen, play, record.
#pragma once

#include <cstddef>
#include <functional>
#include <string>

#include "common/Clock.h"
#include "common/Waitable.h"
#include "platform/LanePath.h"
#include "sim/Options.h"

namespace lane::sim {

// lanesim's exit codes.
inline constexpr int kExitDone = 0;          // scenario played to its end, or stopped on request
inline constexpr int kExitUsage = 2;         // bad command line or scenario
inline constexpr int kExitCannotListen = 3;  // the simulator pipe or a driver socket cannot be made
inline constexpr int kExitTimedOut = 4;      // a connect, expect or drop step ran out of time
inline constexpr int kExitCannotWrite = 5;   // the record or ready file cannot be written
inline constexpr int kExitFault = 6;         // an unexpected fault (memory or threads exhausted)

// Largest scenario file read.
inline constexpr std::size_t kMaxScenarioFileBytes = 16u << 20;

// Plays `options.scenarioPath` under `paths` until its end or `stop`, on the faces the scenario
// uses: the simulator pipe, the security module behind "\\.\SecModuleDevice0" and "\\.\TMCB",
// or both. Returns an exit code; a failure comes with its message (nothing is printed here).
// `onListening` (optional) is told each socket's path once every face listens.
[[nodiscard]] int RunLanesim(const LanesimOptions& options, const platform::LanePaths& paths,
                             Clock& clock, Waitable& stop, std::string& message,
                             const std::function<void(const std::string&)>& onListening = {});

// Reads the record at `path` and gives one line per connection in `output`.
[[nodiscard]] int ShowRecord(const std::string& path, std::string& output, std::string& message);

}  // namespace lane::sim
