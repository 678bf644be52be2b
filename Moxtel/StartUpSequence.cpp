// The start-up sequence of every run: the module's identity read on port 6, on a TMCB board the
// cash machine synchronised and its CCU version read on port 5, then the identity shown.
#include "Moxtel/ExitCodes.h"
#include "Moxtel/securitymodule_commands.h"

namespace lane::moxtel {

namespace {

constexpr const char* kModule = "StartUpSequence";

// One step of the sequence and the exit code its failure ends the run with.
struct Step {
    int (SecurityModuleCommands::*call)();
    int exitCode;
};

constexpr Step kServicePortSteps[] = {
    {&SecurityModuleCommands::OpenPort6, kExitPort6Open},
    {&SecurityModuleCommands::DisableTracing, kExitDisableTracing},
    {&SecurityModuleCommands::RequestEpromVersion, kExitEpromVersion},
    {&SecurityModuleCommands::RequestChecksum, kExitChecksum},
    {&SecurityModuleCommands::RequestModel, kExitModel},
    {&SecurityModuleCommands::ClosePort6, kExitPort6Close},
};

constexpr Step kCashPortSteps[] = {
    {&SecurityModuleCommands::OpenPort5, kExitPort5Open},
    {&SecurityModuleCommands::SyncCashMachine, kExitCashMachineSync},
    {&SecurityModuleCommands::RequestCcuVersion, kExitCcuVersion},
    {&SecurityModuleCommands::ClosePort5, kExitPort5Close},
};

template <std::size_t N>
int RunSteps(SecurityModuleCommands& commands, const Step (&steps)[N]) {
    for (const Step& step : steps) {
        if ((commands.*step.call)() != 0) {
            return step.exitCode;
        }
    }
    return kExitSuccess;
}

void ShowIdentity(UtilityRun& run, bool tmcb) {
    run.log.LogMessage(kLogShow, kCategoryCommand, kModule, __LINE__, "%s", "");
    run.log.LogMessage(kLogShow, kCategoryCommand, kModule, __LINE__, "%s", "");
    run.log.LogMessage(kLogPrompt, kCategoryCommand, kModule, __LINE__,
                       "Security Module Version %s", run.identity.versionText.c_str());
    run.log.LogMessage(kLogPrompt, kCategoryCommand, kModule, __LINE__, ", Checksum %s",
                       run.identity.checksumText.c_str());
    run.log.LogMessage(kLogShow, kCategoryCommand, kModule, __LINE__, "%s",
                       run.identity.checksumStatus == '0' ? " Passed!" : " Failed!");
    if (tmcb) {
        run.log.LogMessage(kLogShow, kCategoryCommand, kModule, __LINE__, "CCU Version %s",
                           run.identity.ccuVersionText.c_str());
    }
}

}  // namespace

int RunStartUpSequence(UtilityRun& run) {
    SecurityModuleCommands commands(run);
    commands.SetTrace(true);
    int result = RunSteps(commands, kServicePortSteps);
    if (result != kExitSuccess) {
        return result;
    }
    const bool tmcb = run.config.Access(run.log).SecurityModuleType == TMCB_SECURITY_MODULE;
    if (tmcb) {
        result = RunSteps(commands, kCashPortSteps);
        if (result != kExitSuccess) {
            return result;
        }
        // On this board the cash devices are reached on port 5 directly.
        run.options.cashDevicesThroughModule = false;
    }
    ShowIdentity(run, tmcb);
    return kExitSuccess;
}

}  // namespace lane::moxtel
