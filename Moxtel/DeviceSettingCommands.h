// The device setting commands of the command line, by command name, as main hands them to the
// dispatch.
#pragma once

#include <functional>
#include <map>
#include <string>

#include "Moxtel/UtilityRun.h"

namespace lane::moxtel {

// Adds the handlers of the safety switch, cash pocket sensor, scale interface, flatpack, curtain
// break window, EAS light and EAS type commands, SetCoinSpeed, the cash counting buffers,
// ReportCoinDispenserStatus and HardwareVersionRequest.
void AddDeviceSettingCommands(std::map<std::string, UtilityHandler, std::less<>>& commands);

}  // namespace lane::moxtel
