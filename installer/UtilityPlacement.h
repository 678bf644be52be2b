// Puts the new utility in place, keeping backups of the old one.
#pragma once

#include "installer/InstallerFiles.h"
#include "installer/InstallerLog.h"

namespace lane::quillan {

inline constexpr const char* kLaneUtility = "C:\\kel lane\\applications\\moxtel.exe";
inline constexpr const char* kLaneUtilityBackup = "c:\\kel lane\\applications\\moxtel.exeOLD";
inline constexpr const char* kNewUtility = "C:\\kel lane\\firmwareupdate\\moxtel.exe";
inline constexpr const char* kNewUtilityBackup = "c:\\firmwareupdate\\moxtel.exeOLD";
inline constexpr const char* kPlacedUtility = "c:\\kel lane\\applications\\moxtel.exe";
inline constexpr const char* kPlacedUtilityCopy = "c:\\firmwareupdate\\moxtel.exe";

// Backs up the lane's utility and the new one, then copies the new one over the lane's and to
// "c:\firmwareupdate". False, with the error logged, at the first copy that fails.
[[nodiscard]] bool PlaceUtility(CInstallerFiles& files, CInstallerLog& log);

}  // namespace lane::quillan
