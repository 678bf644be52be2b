// What one run of the utility hands its parts, and the parts that work through the module's ports
// (start-up sequence, menus, command handlers) as main wires them in.
#pragma once

#include <functional>
#include <map>
#include <string>

#include "Moxtel/LogMessage.h"
#include "Moxtel/PgmCnfg.h"
#include "Moxtel/SecurityModuleIdentity.h"
#include "Moxtel/UtilityOptions.h"
#include "common/Clock.h"
#include "link/securitymodule.h"
#include "platform/Console.h"
#include "platform/LanePath.h"

namespace lane::moxtel {

struct UtilityRun {
    CLogMessage& log;
    PgmCnfg& config;
    UtilityOptions& options;
    link::CSecurityModuleLink& link;
    platform::Console& console;
    Clock& clock;
    SecurityModuleIdentity& identity;  // filled by the start-up sequence
    BillAcceptorIdentity& billAcceptor;
    // Ends the process with the exit code, without returning (a completed firmware upload ends
    // the run this way, once the capture file is flushed and the link shut down).
    const std::function<void(int)>& endProcess;
    const platform::LanePaths& paths;  // where the system's Windows paths lie on this machine  //
                                       // filled when a command asks the bill acceptor
};

// A command handler: 0 for success, non-zero for a failure it has already logged.
using UtilityHandler = std::function<int(UtilityRun&)>;

struct UtilityParts {
    // The port start-up sequence with the display of the module's identity: 0, or the exit code
    // of the step that failed. A run without it goes from the banner straight to the command.
    UtilityHandler startUpSequence;
    // The service menus, run when the line names no command.
    std::function<void(UtilityRun&)> mainMenu;
    // The command handlers by command name (the bill acceptor upload is one try of it).
    std::map<std::string, UtilityHandler, std::less<>> commands;
};

}  // namespace lane::moxtel
