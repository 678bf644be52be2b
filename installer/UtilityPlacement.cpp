// Puts the new utility in place, keeping backups of the old one.
#include "installer/UtilityPlacement.h"

#include "installer/InstallerText.h"

namespace lane::quillan {

namespace {

bool Backup(CInstallerFiles& files, CInstallerLog& log, const char* from, const char* to) {
    const std::uint32_t error = files.CopyFile(from, to);
    if (error != 0) {
        log.Log(FormatText("ERROR: Copy moxtel.exe to moxtel.exeOLD failed with %lu",
                           static_cast<unsigned long>(error)));
        return false;
    }
    return true;
}

bool Place(CInstallerFiles& files, CInstallerLog& log, const char* to) {
    const std::uint32_t error = files.CopyFile(kNewUtility, to);
    if (error != 0) {
        log.Log(
            FormatText("ERROR: Copy moxtel failed with %lu", static_cast<unsigned long>(error)));
        return false;
    }
    return true;
}

}  // namespace

bool PlaceUtility(CInstallerFiles& files, CInstallerLog& log) {
    log.Log("Try to copy moxtel.exe to moxtel.exeOLD in c:\\kel lane\\applications");
    if (!Backup(files, log, kLaneUtility, kLaneUtilityBackup)) {
        return false;
    }
    log.Log("Try to copy moxtel.exe to moxtel.exeOLD in c:\\firmwareupdate");
    if (!Backup(files, log, kNewUtility, kNewUtilityBackup)) {
        return false;
    }
    log.Log("Backing up moxtel.exe succeeded");
    log.Log("Try to place updated moxtel to c:\\kel lane\\applications");
    if (!Place(files, log, kPlacedUtility)) {
        return false;
    }
    log.Log("Try to place updated moxtel to c:\\firmwareupdate");
    if (!Place(files, log, kPlacedUtilityCopy)) {
        return false;
    }
    log.Log("Copy moxtel succeeded");
    return true;
}

}  // namespace lane::quillan
