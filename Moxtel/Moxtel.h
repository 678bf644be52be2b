// Moxtel, the security-module utility's main module: the entry flow from the command line to
// the exit code.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "Moxtel/UtilityRun.h"
#include "common/Clock.h"
#include "platform/Console.h"
#include "platform/LanePath.h"
#include "platform/Registry.h"

namespace lane::moxtel {

// The folder made at the root of the current drive before the first capture line.
inline constexpr const char* kFirmwareUpdateFolder = "\\FirmwareUpdate";

// The platform services a run uses, wired in by main.
struct MoxtelServices {
    Clock& clock;
    const platform::LanePaths& paths;
    const platform::Registry& registry;
    platform::Console& console;
    std::string machineName;              // the system's computer name; empty when not known
    std::function<void(int)> endProcess;  // ends the process at once with the exit code
};

// Runs the utility on the arguments that follow the program name and gives the exit code.
[[nodiscard]] int RunMoxtel(const std::vector<std::string>& arguments,
                            const MoxtelServices& services, const UtilityParts& parts);

// The acknowledge step: with acknowledge on, "<text>, Press Any Key To Continue", the keys typed
// ahead discarded and one key waited for; otherwise the text alone. An empty line follows.
void Acknowledge(CLogMessage& log, platform::Console& console, const UtilityOptions& options,
                 const char* text);

}  // namespace lane::moxtel
