// Quillan, the update package installer: asks the module for its firmware version and, when an
// update is due, writes its embedded files, puts the new utility in place and runs the update
// batch file, logging every step.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "common/Clock.h"
#include "common/Waitable.h"
#include "installer/InstallerFiles.h"
#include "installer/InstallerLog.h"
#include "platform/CommandInterpreter.h"
#include "platform/LanePath.h"
#include "platform/Process.h"
#include "platform/Registry.h"
#include "platform/Resource.h"

namespace lane::quillan {

inline constexpr const char* kLaneConfigFile = "C:\\Kel Lane\\Config\\LaneConfig.ini";
// How long the program stays after its work, before it ends.
inline constexpr std::int64_t kFinalWaitMs = 60000;

// The program's exit codes.
inline constexpr int kQuillanDone = 0;      // the update ran, or none was due
inline constexpr int kQuillanFailed = 1;    // the update failed; the failure log says where
inline constexpr int kQuillanStopped = 2;   // stopped by a signal; the failure log says so
inline constexpr int kQuillanNoRecord = 3;  // the log could not be written; standard error says why

// How a run was asked to stop: the event, and the name of what asked ("SIGTERM").
struct QuillanStop {
    ManualResetEvent& requested;
    std::function<std::string()> reason;
};

// What the update flow came to.
enum class FlowResult {
    Updated,  // the batch file ran
    Skipped,  // the module's firmware is current
    Failed,
    Stopped,  // asked to stop before the end
};

struct QuillanServices {
    Clock& clock;       // log times and every wait of the run
    Clock& replyClock;  // the bound on the module's replies
    const platform::LanePaths& paths;
    const platform::Registry& registry;
    platform::ExecutableResources& resources;
    CInstallerFiles& files;
    platform::CommandInterpreter& interpreter;
    std::function<void(const std::string&)> output;            // console text
    std::function<void(const std::string&)> errorOutput = {};  // standard error (else `output`)
    const QuillanStop* stop = nullptr;                         // none: the run is never stopped
    // Whether a process of this id runs (stale temporary files of a live writer stay).
    std::function<bool(long)> processRunning = platform::ProcessRunning;
};

// The lane number of "C:\Kel Lane\Config\LaneConfig.ini" ([Common] KelLaneNumber, default 0).
[[nodiscard]] int ReadLaneNumber(const platform::LanePaths& paths);

// Queries, decides and updates, logging into `log` (already opened).
[[nodiscard]] FlowResult RunUpdateFlow(const QuillanServices& services, CInstallerLog& log);

// The whole run: opens the logs, removes what a stopped run left, runs the flow, keeps the log
// of the outcome and waits before the program ends (a stop ends the wait). Gives the exit code.
[[nodiscard]] int RunQuillan(const QuillanServices& services);

}  // namespace lane::quillan
