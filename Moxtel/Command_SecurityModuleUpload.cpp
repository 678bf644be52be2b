// The security module's firmware upload: board check, identity display on port 6, choice of the
// image, version checks, reading, sending, and the end of the process; and the trace code menu.
#include "Moxtel/Command_SecurityModuleUpload.h"

#include <cctype>
#include <memory>
#include <string>

#include "Moxtel/ConsoleLine.h"
#include "Moxtel/FirmwareImage.h"
#include "Moxtel/FirmwareSender.h"
#include "Moxtel/securitymodule_commands.h"
#include "link/LinkConfig.h"
#include "link/TMCB_Support.h"

namespace lane::moxtel {

namespace {

constexpr const char* kModule = "Command_SecurityModuleUpload";

// From this module version on, no firmware below it may be loaded.
constexpr unsigned kLowestDownLevelVersion = 447;
// Modules at or below this version, and models with this third character, take the alternate
// image.
constexpr unsigned kAlternateImageVersion = 346;
constexpr char kAlternateImageModel = 'A';
// The pause before a trace code is sent.
constexpr std::int64_t kTraceCodePauseMs = 2000;

// The command's failures, one code per site.
enum UploadFailure : int {
    kNotUsb = 1,
    kInvalidInputFileChecksum,
    kPort6Open,
    kPort6Close,
    kNoFileName,
    kInvalidFileName,
    kWrongGeneration,
    kDownLevel,
    kLoadingFile,
    kSendingFile,
};

constexpr int kTraceCodeNotSent = 1;

void Show(UtilityRun& run, const char* text) {
    run.log.LogMessage(kLogShow, kCategoryCommand, kModule, __LINE__, "%s", text);
}

void ShowIdentity(UtilityRun& run, SecurityModuleCommands& commands) {
    const SecurityModuleIdentity& identity = run.identity;
    run.log.LogMessage(kLogShow, kCategoryCommand, kModule, __LINE__, "Security Module Version %s",
                       identity.versionText.c_str());
    static_cast<void>(commands.RequestModel());
    run.log.LogMessage(kLogFileOnly, kCategoryCommand, kModule, __LINE__, "Model %s",
                       identity.model.c_str());
    run.log.LogMessage(kLogPrompt, kCategoryCommand, kModule, __LINE__,
                       "USB Security Module Checksum %s", identity.checksumText.c_str());
    Show(run, identity.checksumStatus == '0' ? " PASSED!" : " FAILED!");
    Show(run, "");
}

bool TakesAlternateImage(const SecurityModuleIdentity& identity) {
    return identity.version <= kAlternateImageVersion ||
           (identity.model.size() >= 3 && identity.model[2] == kAlternateImageModel);
}

// The image's path: typed in an interactive run, else the input file or the alternate one.
// 0, or the failure it has logged.
int ChooseImagePath(UtilityRun& run, SecurityModuleCommands& commands, std::string& path) {
    if (!run.options.commandGiven) {
        run.log.LogMessage(kLogPrompt, kCategoryCommand, kModule, __LINE__, "%s",
                           "Enter File Name :");
        path = ReadConsoleLine(run.console);
        run.log.LogMessage(kLogFileOnly, kCategoryCommand, kModule, __LINE__, "Entered name : %s",
                           path.c_str());
        if (path.empty()) {
            Show(run, "Invalid File Name!");
            static_cast<void>(commands.ClosePort6());
            return kNoFileName;
        }
        return 0;
    }
    if (TakesAlternateImage(run.identity)) {
        path = run.options.altInputFile;
        run.log.LogMessage(kLogShow, kCategoryCommand, kModule, __LINE__, "Using Alternate File %s",
                           path.c_str());
        return 0;
    }
    path = run.options.inputFile;
    return 0;
}

// The image's version against the module's: generation, then no loading below 4.47 once there.
// 0, or the failure it has logged.
int CheckImageVersion(UtilityRun& run, const ImageVersion& image) {
    const unsigned module = run.identity.version;
    if (image.generation == '3' && (module < 300 || module > 399)) {
        Show(run, "ERROR 1E: Wrong version of firmware, Security Controller is 4.xx");
        return kWrongGeneration;
    }
    if (image.generation == '4' && (module < 400 || module > 499)) {
        Show(run, "ERROR 1E: Wrong version of firmware, Security Controller is 3.xx");
        return kWrongGeneration;
    }
    run.log.LogMessage(kLogFileOnly, kCategoryCommand, kModule, __LINE__, "Loading code version %d",
                       static_cast<int>(image.version));
    if (module >= kLowestDownLevelVersion && image.version < kLowestDownLevelVersion) {
        Show(run, "ERROR 1E: Can not down level firmware to below 4.47");
        return kDownLevel;
    }
    return 0;
}

// The end of a completed upload: the capture file flushed, the link shut down, the process gone.
int EndAfterUpload(UtilityRun& run) {
    run.console.Write("\n");
    Show(run, "File Upload Complete!");
    Show(run, "Waiting for Security Module to Reset");
    Show(run, "Exiting Program!");
    run.log.Capture().Flush();
    static_cast<void>(run.link.ShutDownSecurityModule());
    run.endProcess(0);
    return 0;
}

}  // namespace

int Command_SecurityModuleUpload(UtilityRun& run) {
    if (run.config.Access(run.log).SecurityModuleType != link::kBoardTypeUsb) {
        Show(run, "ERROR 1D: System is not USB!");
        return kNotUsb;
    }
    // A checksum that is not a number would check nothing: refuse before the module is touched.
    if (!run.options.inputFileChecksumValid) {
        run.log.LogMessage(kLogShow, kCategoryCommand, kModule, __LINE__,
                           "ERROR 03: Input File Checksum \"%s\" is not a hexadecimal number!",
                           run.options.inputFileChecksumText.c_str());
        return kInvalidInputFileChecksum;
    }
    Show(run, "");
    Show(run, "**** USB Security Module Firmware Update ****");
    Show(run, "");
    SecurityModuleCommands commands(run);
    if (commands.OpenPort6() != 0) {
        Show(run, "ERROR 1B: Uploading USB Security Module, Can not open port 6.");
        return kPort6Open;
    }
    ShowIdentity(run, commands);
    if (commands.ClosePort6() != 0) {
        Show(run, "ERROR 14: Uploading USB Security Module.");
        return kPort6Close;
    }
    std::string path;
    if (const int chosen = ChooseImagePath(run, commands, path); chosen != 0) {
        return chosen;
    }
    const ImageVersion image = ImageVersionFromPath(path);
    if (image.digits == 0) {
        Show(run, "ERROR 01: Invalid File Name");
        return kInvalidFileName;
    }
    if (const int checked = CheckImageVersion(run, image); checked != 0) {
        return checked;
    }
    const auto buffer = std::make_unique<FirmwareBuffer>();
    std::size_t count = 0;
    const int read = ReadFirmwareImage(run, path, *buffer, count);
    if (read == kImageNoChange) {
        return 0;
    }
    if (read != kImageAccepted) {
        Show(run, "ERROR 01: Uploading USB Security Module, Loading File.");
        static_cast<void>(commands.ClosePort6());
        return kLoadingFile;
    }
    if (SendFirmwareImage(run, *buffer, count) != 0) {
        Show(run, "ERROR 13: Uploading USB Security Module.");
        return kSendingFile;
    }
    return EndAfterUpload(run);
}

int TraceCodeMenu(UtilityRun& run) {
    SecurityModuleCommands commands(run);
    for (;;) {
        commands.ClearScreen();
        run.console.Write(
            "\n\n\n***** Trace Code Menu *****\n\n"
            " 1 - Enable Cash Devices (all 4)\n"
            " 2 - Enable Conveyors\n"
            " 0 - Stop all Tracing\n"
            " X - Exit Menu\n"
            "\nEnter Function :");
        const int pressed = run.console.GetKey();
        const char key =
            static_cast<char>(pressed >= 0 && pressed <= 0xFF ? std::toupper(pressed) : 0);
        const char echo[] = {key, '\n', '\n', '\0'};
        run.console.Write(echo);
        if (key == 'X') {
            return 0;
        }
        const bool enable = key != '0';
        link::LinkPacket packet;
        packet.DA = link::TMCB_PORT_SYSTEM_PORT;
        packet.DC = link::kDcTraceControl;
        packet.DL = 2;
        packet.data[0] = static_cast<std::uint8_t>(key);
        packet.data[1] = enable ? '1' : '0';
        run.console.Write(enable ? "Enabling Code, Please Wait...\n"
                                 : "Disabling Code, Please Wait...\n");
        run.clock.SleepMs(kTraceCodePauseMs);
        if (run.link.WritePacketToSecurityModule(packet) != 0) {
            Show(run, "ERROR 11: Sending Trace Code to Security Module.");
            return kTraceCodeNotSent;
        }
        run.console.Write(enable ? "\nCode Enabled.\n" : "\nCode Disabled.\n");
        commands.WaitForKey();
    }
}

}  // namespace lane::moxtel
