// Quillan's run: query, decide, write the files, place the utility, run the batch file, log.
#include "installer/Quillan.h"

#include "installer/FirmwareVersionQuery.h"
#include "installer/FolderSteps.h"
#include "installer/InstallerText.h"
#include "installer/StaleTemporaries.h"
#include "installer/UpdatePackage.h"
#include "installer/UtilityPlacement.h"
#include "platform/IniFile.h"
#include "platform/SystemError.h"

namespace lane::quillan {

namespace {

bool StopRequested(const QuillanServices& services) {
    return services.stop != nullptr && services.stop->requested.IsSet();
}

std::string StopReason(const QuillanServices& services) {
    const std::string reason =
        services.stop != nullptr && services.stop->reason ? services.stop->reason() : "";
    return reason.empty() ? "a stop request" : reason;
}

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

// Each file is written whole (or not at all), so a stop is taken between two files.
FlowResult WriteFiles(const QuillanServices& services, CInstallerLog& log, UpdateKind kind) {
    for (const ResourceFile& file : UpdateFiles(kind)) {
        if (StopRequested(services)) {
            return FlowResult::Stopped;
        }
        if (!WriteResourceToFile(services.resources, services.files, log, file)) {
            log.Log("ERROR: Failed to copy files for Security Controller Firmware update.");
            return FlowResult::Failed;
        }
    }
    log.Log("Files for Security Controller Firmware update successfully copied.");
    return FlowResult::Updated;
}

// Hands `call "<batch>"` to the command interpreter and waits for it; the batch file's own
// result is not looked at. A stop ends the programs the batch runs.
FlowResult RunBatchFile(const QuillanServices& services, CInstallerLog& log) {
    const std::string command = FormatText("call \"%s\"", kUpdateBatchFile);
    int exitCode = 0;
    const std::uint32_t error = services.interpreter.Run(command, exitCode);
    if (error == platform::kErrorOperationAborted) {
        log.Log(FormatText("ERROR: Batch file ( %s ) stopped before its end", kUpdateBatchFile));
        return FlowResult::Stopped;
    }
    if (error != 0) {
        log.Log(FormatText("ERROR: Batch file ( %s ) failed with %lu", kUpdateBatchFile,
                           static_cast<unsigned long>(error)));
        return FlowResult::Failed;
    }
    log.Log(FormatText("Batch file ( %s ) execution completed  ...", kUpdateBatchFile));
    return FlowResult::Updated;
}

FlowResult Update(const QuillanServices& services, CInstallerLog& log, UpdateKind kind) {
    if (!PrepareFolders(services, log)) {
        return FlowResult::Failed;
    }
    if (const FlowResult written = WriteFiles(services, log, kind);
        written != FlowResult::Updated) {
        return written;
    }
    if (StopRequested(services)) {
        return FlowResult::Stopped;
    }
    if (!PlaceUtility(services.files, log)) {
        log.Log("ERROR: Failed to copy Security Controller Utility file.");
        return FlowResult::Failed;
    }
    log.Log("Security Controller Utility file successfully copied.");
    if (StopRequested(services)) {
        return FlowResult::Stopped;
    }
    const FlowResult ran = RunBatchFile(services, log);
    if (ran == FlowResult::Failed) {
        log.Log("ERROR: Unable to execute FirmwareUpdateProcess.");
    }
    if (ran != FlowResult::Updated) {
        return ran;
    }
    log.Log("Execution of the FirmwareUpdateProcess.bat worked.");
    log.Log("Quillan completed.");
    return FlowResult::Updated;
}

const char* OutcomeText(FlowResult result) {
    switch (result) {
        case FlowResult::Updated:
            return "update completed";
        case FlowResult::Skipped:
            return "no update due";
        case FlowResult::Failed:
            return "update failed";
        case FlowResult::Stopped:
            return "stopped";
    }
    return "";
}

int ExitCode(FlowResult result) {
    switch (result) {
        case FlowResult::Updated:
        case FlowResult::Skipped:
            return kQuillanDone;
        case FlowResult::Failed:
            return kQuillanFailed;
        case FlowResult::Stopped:
            return kQuillanStopped;
    }
    return kQuillanFailed;
}

std::string WithoutLineEnd(std::string text) {
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) {
        text.pop_back();
    }
    return text;
}

}  // namespace

int ReadLaneNumber(const platform::LanePaths& paths) {
    return static_cast<int>(
        platform::GetPrivateProfileInt("Common", "KelLaneNumber", 0, paths.Map(kLaneConfigFile)));
}

FlowResult RunUpdateFlow(const QuillanServices& services, CInstallerLog& log) {
    const VersionQueryServices query{services.paths, services.registry, services.clock,
                                     services.replyClock, services.output};
    const int version = QueryFirmwareVersion(query);
    log.Log(FormatText("The Security Controller Firmware version is %d.", version));
    if (StopRequested(services)) {
        return FlowResult::Stopped;
    }
    const UpdateKind kind = DecideUpdate(version);
    if (kind == UpdateKind::SkipCurrent4 || kind == UpdateKind::SkipCurrent3) {
        log.Log(SkipMessage(kind));
        return FlowResult::Skipped;
    }
    return Update(services, log, kind);
}

int RunQuillan(const QuillanServices& services) {
    CInstallerLog log(services.clock, services.paths);
    log.Open(ReadLaneNumber(services.paths));
    RemoveStaleTemporaries(services.files, log, services.processRunning);
    FlowResult result = RunUpdateFlow(services, log);
    if (result == FlowResult::Failed && StopRequested(services)) {
        result = FlowResult::Stopped;  // a step cut short by the stop
    }
    if (result == FlowResult::Stopped) {
        log.Log(FormatText("ERROR: Quillan was stopped by %s before the update was complete.",
                           StopReason(services).c_str()));
    }
    const bool success = result == FlowResult::Updated;
    log.Finish(success);
    int exitCode = ExitCode(result);
    if (log.WriteError() != 0) {
        const auto& toError = services.errorOutput ? services.errorOutput : services.output;
        toError(FormatText("Quillan: %s, but its log cannot be written: %s: %s\n",
                           OutcomeText(result), log.FailedPath().c_str(),
                           WithoutLineEnd(platform::SystemErrorText(log.WriteError())).c_str()));
        exitCode = kQuillanNoRecord;
    } else {
        services.output(FormatText("Quillan: %s, log %s\n", OutcomeText(result),
                                   log.KeptLogPath(success).c_str()));
    }
    // The dialog closes itself (result 2) before it is ever shown; the program then waits, unless
    // it was asked to stop.
    if (services.stop == nullptr) {
        services.clock.SleepMs(kFinalWaitMs);
    } else if (result != FlowResult::Stopped) {
        static_cast<void>(WaitFor(services.clock, services.stop->requested, kFinalWaitMs));
    }
    return exitCode;
}

}  // namespace lane::quillan
