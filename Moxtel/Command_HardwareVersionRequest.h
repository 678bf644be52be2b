// Command_HardwareVersionRequest: the versions of the security module and the cash devices
// behind it, written into an existing initialisation file named on the command line, section
// "HardwareVersions", one key a value.
#pragma once

#include <string>

#include "Moxtel/UtilityRun.h"

namespace lane::moxtel {

inline constexpr const char* kHardwareVersionSection = "HardwareVersions";
// Modules above this version are not reported on.
inline constexpr unsigned kHardwareVersionHighestModule = 499;
// From this module version the bill acceptor's version parts and the Fujitsu dispenser count.
inline constexpr unsigned kHardwareVersionPartsFrom = 401;

// The security module's description by its version.
std::string SecurityModuleDescription(unsigned version);

[[nodiscard]] int Command_HardwareVersionRequest(UtilityRun& run);

}  // namespace lane::moxtel
