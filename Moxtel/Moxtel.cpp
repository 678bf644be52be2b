// The utility's entry flow: version query, capture folder, configuration, command line, link
// start, main flow, exit code.
#include "Moxtel/Moxtel.h"

#include <filesystem>
#include <system_error>

#include "Moxtel/CommandDispatch.h"
#include "Moxtel/ExitCodes.h"

namespace lane::moxtel {

namespace {

constexpr const char* kModule = "Moxtel";

void CreateFirmwareUpdateFolder(const platform::LanePaths& paths) {
    std::error_code ignored;  // an existing folder, or one that cannot be made, is no fault
    std::filesystem::create_directory(paths.Map(kFirmwareUpdateFolder), ignored);
}

// The banner, the start-up sequence, then the menus or the command.
int MainFlow(UtilityRun& run, const UtilityParts& parts) {
    run.log.LogMessage(kLogShow, kCategoryCommand, kModule, __LINE__, "%s", kVersionBanner);
    if (parts.startUpSequence) {
        const int result = parts.startUpSequence(run);
        if (result != 0) {
            return result;
        }
    }
    if (!run.options.commandGiven) {
        if (parts.mainMenu) {
            parts.mainMenu(run);
        }
        return kExitSuccess;
    }
    return DispatchCommand(run, parts);
}

// From the link start to the link shut-down.
int RunWithLink(CLogMessage& log, PgmCnfg& config, UtilityOptions& options,
                const MoxtelServices& services, const UtilityParts& parts) {
    log.LogMessage(kLogShow, kCategoryCommand, kModule, __LINE__, "%s",
                   "Initializing Security Module..");
    const ProgramConfig& values = config.Access(log);
    const link::LinkConfig linkConfig{link::LinkRole::Utility, values.SecurityModuleType,
                                      values.ScannerScale_Type};
    CUtilityLinkReporter reporter(log);
    link::CSecurityModuleLink link(linkConfig, reporter, services.clock, services.paths);
    if (link.StartUpSecurityModule() != 0) {
        log.LogMessage(kLogConsole | kLogError, kCategoryCommand, kModule, __LINE__, "%s",
                       "ERROR 1A, Initializing Security Module.");
        return kExitLinkStart;
    }
    SecurityModuleIdentity identity;
    BillAcceptorIdentity billAcceptor;
    UtilityRun run{log,           config,           options,
                   link,          services.console, services.clock,
                   identity,      billAcceptor,     services.endProcess,
                   services.paths};
    const int result = MainFlow(run, parts);
    log.LogMessage(kLogFileOnly, kCategoryCommand, kModule, __LINE__, "Return Code %d", result);
    static_cast<void>(link.ShutDownSecurityModule());
    return result;
}

}  // namespace

void Acknowledge(CLogMessage& log, platform::Console& console, const UtilityOptions& options,
                 const char* text) {
    if (options.acknowledgeResults) {
        log.LogMessage(kLogPrompt, kCategoryCommand, kModule, __LINE__,
                       "%s, Press Any Key To Continue", text);
        console.FlushKeys();
        static_cast<void>(console.GetKey());
    } else {
        log.LogMessage(kLogShow, kCategoryCommand, kModule, __LINE__, "%s", text);
    }
    log.LogMessage(kLogShow, kCategoryCommand, kModule, __LINE__, "%s", "");
}

int RunMoxtel(const std::vector<std::string>& arguments, const MoxtelServices& services,
              const UtilityParts& parts) {
    if (FirstArgumentIsGetUtilityVersion(arguments)) {
        services.console.Write(std::string("\n") + kVersionBanner + "\n");
        return kExitSuccess;
    }
    CreateFirmwareUpdateFolder(services.paths);
    CCaptureWriter capture(services.clock, services.paths);
    PgmCnfg config(
        ConfigSources{services.paths, services.registry, services.clock, services.machineName});
    CLogMessage log(services.clock, services.console, capture, config);
    static_cast<void>(config.Access(log));
    if (config.LoadResult() != 0) {
        return kExitConfigurationFatal;
    }
    const ParsedCommandLine parsed = ParseCommandLine(arguments);
    for (const std::string& note : parsed.notes) {
        log.LogMessage(kLogFileOnly, kCategoryCommand, kModule, __LINE__, "%s", note.c_str());
    }
    UtilityOptions options = parsed.options;
    log.SetConsoleDisplay(options.consoleDisplay);
    if (!parsed.valid && !options.manufacturingMode) {
        options.acknowledgeResults = true;
        log.LogMessage(kLogShow, kCategoryCommand, kModule, __LINE__, "%s",
                       "ERROR 03, Invalid Command Line!");
        Acknowledge(log, services.console, options, "Program Exiting");
        return kExitInvalidCommandLine;
    }
    return RunWithLink(log, config, options, services, parts);
}

}  // namespace lane::moxtel
