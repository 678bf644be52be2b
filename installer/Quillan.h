// Quillan, the update package installer: asks the module for its firmware version and, when an
// update is due, writes its embedded files, puts the new utility in place and runs the update
// batch file, logging every step.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "common/Clock.h"
#include "installer/InstallerFiles.h"
#include "installer/InstallerLog.h"
#include "platform/CommandInterpreter.h"
#include "platform/LanePath.h"
#include "platform/Registry.h"
#include "platform/Resource.h"

namespace lane::quillan {

inline constexpr const char* kLaneConfigFile = "C:\\Kel Lane\\Config\\LaneConfig.ini";
// How long the program stays after its work, before it ends.
inline constexpr std::int64_t kFinalWaitMs = 60000;

struct QuillanServices {
    Clock& clock;       // log times and every wait of the run
    Clock& replyClock;  // the bound on the module's replies
    const platform::LanePaths& paths;
    const platform::Registry& registry;
    platform::ExecutableResources& resources;
    CInstallerFiles& files;
    platform::CommandInterpreter& interpreter;
    std::function<void(const std::string&)> output;  // console text
};

// The lane number of "C:\Kel Lane\Config\LaneConfig.ini" ([Common] KelLaneNumber, default 0).
[[nodiscard]] int ReadLaneNumber(const platform::LanePaths& paths);

// Queries, decides and updates, logging into `log` (already opened). True when the update ran.
[[nodiscard]] bool RunUpdateFlow(const QuillanServices& services, CInstallerLog& log);

// The whole run: opens the logs, runs the flow, keeps the log of the outcome and waits before
// the program ends. True when the update ran.
bool RunQuillan(const QuillanServices& services);

}  // namespace lane::quillan
