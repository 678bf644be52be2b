// Quillan's run: query, decide, write the files, place the utility, run the batch file, log.
#include "installer/Quillan.h"

#include "installer/FirmwareVersionQuery.h"
#include "installer/FolderSteps.h"
#include "installer/InstallerText.h"
#include "installer/UpdatePackage.h"
#include "installer/UtilityPlacement.h"
#include "platform/IniFile.h"

namespace lane::quillan {

namespace {

// Makes sure of the folders and clears the way for the new utility and batch file. Every step is
// tried; false when any failed.
bool PrepareFolders(const QuillanServices& services, CInstallerLog& log) {
    bool ready = true;
    for (const char* folder : UpdateFolders()) {
        ready = EnsureFolder(services.files, log, folder) && ready;
    }
    ready = DeleteIfPresent(services.files, log, kOldUtilityToDelete) && ready;
    return DeleteIfPresent(services.files, log, kUpdateBatchFile) && ready;
}

bool WriteFiles(const QuillanServices& services, CInstallerLog& log, UpdateKind kind) {
    for (const ResourceFile& file : UpdateFiles(kind)) {
        if (!WriteResourceToFile(services.resources, services.files, log, file)) {
            log.Log("ERROR: Failed to copy files for Security Controller Firmware update.");
            return false;
        }
    }
    log.Log("Files for Security Controller Firmware update successfully copied.");
    return true;
}

// Hands `call "<batch>"` to the command interpreter and waits for it; the batch file's own
// result is not looked at.
bool RunBatchFile(const QuillanServices& services, CInstallerLog& log) {
    const std::string command = FormatText("call \"%s\"", kUpdateBatchFile);
    int exitCode = 0;
    const std::uint32_t error = services.interpreter.Run(command, exitCode);
    if (error != 0) {
        log.Log(FormatText("ERROR: Batch file ( %s ) failed with %lu", kUpdateBatchFile,
                           static_cast<unsigned long>(error)));
        return false;
    }
    log.Log(FormatText("Batch file ( %s ) execution completed  ...", kUpdateBatchFile));
    return true;
}

bool Update(const QuillanServices& services, CInstallerLog& log, UpdateKind kind) {
    if (!PrepareFolders(services, log) || !WriteFiles(services, log, kind)) {
        return false;
    }
    if (!PlaceUtility(services.files, log)) {
        log.Log("ERROR: Failed to copy Security Controller Utility file.");
        return false;
    }
    log.Log("Security Controller Utility file successfully copied.");
    if (!RunBatchFile(services, log)) {
        log.Log("ERROR: Unable to execute FirmwareUpdateProcess.");
        return false;
    }
    log.Log("Execution of the FirmwareUpdateProcess.bat worked.");
    log.Log("Quillan completed.");
    return true;
}

}  // namespace

int ReadLaneNumber(const platform::LanePaths& paths) {
    return static_cast<int>(
        platform::GetPrivateProfileInt("Common", "KelLaneNumber", 0, paths.Map(kLaneConfigFile)));
}

bool RunUpdateFlow(const QuillanServices& services, CInstallerLog& log) {
    const VersionQueryServices query{services.paths, services.registry, services.clock,
                                     services.replyClock, services.output};
    const int version = QueryFirmwareVersion(query);
    log.Log(FormatText("The Security Controller Firmware version is %d.", version));
    const UpdateKind kind = DecideUpdate(version);
    if (kind == UpdateKind::SkipCurrent4 || kind == UpdateKind::SkipCurrent3) {
        log.Log(SkipMessage(kind));
        return false;
    }
    return Update(services, log, kind);
}

bool RunQuillan(const QuillanServices& services) {
    CInstallerLog log(services.clock, services.paths);
    log.Open(ReadLaneNumber(services.paths));
    const bool success = RunUpdateFlow(services, log);
    log.Finish(success);
    // The dialog closes itself (result 2) before it is ever shown; the program then waits.
    services.clock.SleepMs(kFinalWaitMs);
    return success;
}

}  // namespace lane::quillan
