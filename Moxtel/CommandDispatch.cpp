// The command dispatch: upload failures, the bill acceptor's retry loop, and the setting
// commands whose results do not change the exit code.
#include "Moxtel/CommandDispatch.h"

#include <string_view>

#include "Moxtel/ExitCodes.h"

namespace lane::moxtel {

namespace {

constexpr const char* kModule = "Moxtel";

// The setting commands: their results are not looked at.
constexpr const char* kSettingCommands[] = {
    kCommandHardwareVersionRequest,
    kCommandSetSafetySwitch,
    kCommandEasCheckpoint,
    kCommandSetCoinSpeed,
    kCommandEBoxRound02,
    kCommandZeroCashBuffers,
    kCommandDumpCashBuffers,
    kCommandSetCurtainBreakWindow,
    kCommandSetBizerbaScale,
    kCommandSetBDSensor,
    kCommandSetFlatpack,
    kCommandEPSFlash,
    kCommandTopEPSLL,
};

bool IsSettingCommand(std::string_view name) {
    for (const char* command : kSettingCommands) {
        if (name == command) {
            return true;
        }
    }
    return false;
}

const UtilityHandler* FindHandler(const UtilityParts& parts, std::string_view name) {
    const auto found = parts.commands.find(name);
    return found == parts.commands.end() ? nullptr : &found->second;
}

int BillAcceptorUploadWithRetries(UtilityRun& run, const UtilityHandler& upload) {
    run.options.billAcceptorRunCount = 1;
    run.log.LogMessage(kLogFileOnly, kCategoryCommand, kModule, __LINE__, "Run Count %d",
                       run.options.billAcceptorRunCount);
    int result = upload(run);
    while (result != 0 && run.options.billAcceptorRunCount < kBillAcceptorUploadTries) {
        ++run.options.billAcceptorRunCount;
        run.log.LogMessage(kLogFileOnly, kCategoryCommand, kModule, __LINE__, "Run Count %d",
                           run.options.billAcceptorRunCount);
        result = upload(run);
    }
    if (result == 0) {
        return kExitSuccess;
    }
    run.log.LogMessage(kLogShow, kCategoryCommand, kModule, __LINE__, "%s",
                       "ERROR 24, Bill Acceptor Upload Failed after 10 tries.");
    return kExitBillAcceptorUpload;
}

}  // namespace

int DispatchCommand(UtilityRun& run, const UtilityParts& parts) {
    const std::string& name = run.options.commandName;
    if (name == kCommandGetVersion) {
        return kExitSuccess;  // the start-up sequence has shown version and checksum
    }
    if (name == kCommandEPSLLFlash) {
        const UtilityHandler* flash = FindHandler(parts, kCommandEPSFlash);
        const UtilityHandler* top = FindHandler(parts, kCommandTopEPSLL);
        if (flash == nullptr || top == nullptr) {
            return kExitSuccess;
        }
        static_cast<void>((*flash)(run));
        static_cast<void>((*top)(run));
        return kExitSuccess;
    }
    const UtilityHandler* handler = FindHandler(parts, name);
    if (handler == nullptr) {
        return kExitSuccess;
    }
    if (name == kCommandSecurityModuleUpload) {
        if ((*handler)(run) == 0) {
            return kExitSuccess;
        }
        run.log.LogMessage(kLogShow, kCategoryCommand, kModule, __LINE__, "%s",
                           "ERROR 14, Upload Failed.");
        return kExitSecurityModuleUpload;
    }
    if (name == kCommandBillAcceptorUpload) {
        return BillAcceptorUploadWithRetries(run, *handler);
    }
    if (name == kCommandReportCoinDispenserStatus) {
        run.console.Write("Requesting Status\n");
        static_cast<void>((*handler)(run));
        return kExitSuccess;
    }
    if (IsSettingCommand(name)) {
        static_cast<void>((*handler)(run));
    }
    return kExitSuccess;
}

}  // namespace lane::moxtel
