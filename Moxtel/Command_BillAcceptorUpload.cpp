// The bill acceptor's firmware upload: version gate, port 5, the bill acceptor's status and
// model, the choice of the image, the tries of start and blocks with the resume the bill
// acceptor asks for, the restart, the CRC check and the status and success files.
#include "Moxtel/Command_BillAcceptorUpload.h"

#include <ctime>
#include <memory>
#include <string>

#include "Moxtel/BillAcceptorImage.h"
#include "Moxtel/BillAcceptorSender.h"
#include "Moxtel/BillAcceptorStatusFile.h"
#include "Moxtel/Command_BillAcceptorStatus.h"
#include "Moxtel/ConsoleLine.h"
#include "Moxtel/securitymodule_commands.h"
#include "common/TimeText.h"
#include "platform/File.h"

namespace lane::moxtel {

namespace {

constexpr const char* kModule = "Command_BillAcceptorUpload";

// The lowest module version (cash devices through the module) and CCU version (TMCB board).
constexpr unsigned kLowestModuleVersion = 321;
constexpr unsigned kLowestCcuVersion = 130;
// Tries of start and blocks within one run of the command.
constexpr int kUploadTries = 10;
// The pause after an aborted try, before the bill acceptor is asked where it stands.
constexpr std::int64_t kAfterAbortMs = 2000;
// The bill acceptor's restart after the upload: one dot a second.
constexpr int kRestartSeconds = 50;
constexpr std::int64_t kRestartDotMs = 1000;

// Bill acceptor type codes that choose an image.
constexpr unsigned kTypeLE3900 = 31;
constexpr unsigned kTypeSC66Old = 74;
constexpr unsigned kTypeSC66 = 85;
constexpr unsigned kTypeSC83 = 84;
constexpr unsigned kTypeAE2800 = 88;

// The command's failures, one code per site.
enum BillUploadFailure : int {
    kVersionTooOld = 1,
    kInvalidInputFileChecksum,
    kPort5,
    kStatusRequest,
    kModelFromStatusFile,
    kVersionRequest,
    kLoadingFile,
    kAllTriesFailed,
    kChecksumMismatch,
};

void Show(UtilityRun& run, int line, const char* text) {
    run.log.LogMessage(kLogShow, kCategoryCommand, kModule, line, "%s", text);
}

std::string TimeNow(UtilityRun& run) {
    const std::tm local = LocalTm(run.clock.Now().seconds);
    char text[32];
    std::strftime(text, sizeof text, "%m/%d/%y %H:%M:%S", &local);
    return text;
}

// 0 when the module (or, on a TMCB board, the CCU) can load a bill acceptor.
int CheckVersion(UtilityRun& run) {
    if (run.options.cashDevicesThroughModule) {
        if (run.identity.version < kLowestModuleVersion) {
            Show(run, __LINE__, "Incorrect Security Module Version must be >= 3.21");
            return kVersionTooOld;
        }
        return 0;
    }
    if (run.identity.ccuVersion < kLowestCcuVersion) {
        Show(run, __LINE__, "Incorrect CCU Version must be >= 1.30");
        return kVersionTooOld;
    }
    return 0;
}

// The image for the bill acceptor's model in a command-line run.
const std::string& ImageForModel(const UtilityOptions& options, unsigned typeCode) {
    switch (typeCode) {
        case kTypeLE3900:
            return options.billAcceptorImageLE3900;
        case kTypeSC66Old:
        case kTypeSC66:
            return options.billAcceptorImageSC66;
        case kTypeSC83:
            return options.billAcceptorImageSC83;
        case kTypeAE2800:
            return options.billAcceptorImageAE2800;
        default:
            return options.inputFile;
    }
}

// The bill acceptor's status, and its model (asked, or read from the status file when the bill
// acceptor can only say that it is in its upload mode). 0 or the failure it has logged.
int LearnBillAcceptor(UtilityRun& run, SecurityModuleCommands& commands) {
    run.billAcceptor.startingBlock = 0;
    run.billAcceptor.uploadMode = false;
    if (commands.RequestBillAcceptorStatus() != 0) {
        Show(run, __LINE__, "ERROR 23.1: Bill Acceptor Status Request Failed.");
        static_cast<void>(commands.ClosePort5());
        return kStatusRequest;
    }
    if (run.billAcceptor.uploadMode) {
        run.console.Write("Request Model\n");
        if (run.options.commandGiven &&
            ReadModelFromStatusFile(run, run.billAcceptor.typeCode) != 0) {
            return kModelFromStatusFile;
        }
        return 0;
    }
    if (commands.RequestBillAcceptorVersion() != 0) {
        Show(run, __LINE__, "ERROR 23.2: Bill Acceptor CRC Request Failed.");
        static_cast<void>(commands.ClosePort5());
        return kVersionRequest;
    }
    return 0;
}

// Up to ten tries of start and blocks; after a failed one the upload is ended, and the bill
// acceptor's status says where the next try starts. 0 or the failure it has logged.
int UploadWithTries(UtilityRun& run, SecurityModuleCommands& commands,
                    const BillAcceptorImage& image) {
    for (int attempt = 1; attempt <= kUploadTries; ++attempt) {
        if (StartBillAcceptorUpload(run, commands) != 0) {
            Show(run, __LINE__, "ERROR 23.3: Setting Bill Acceptor for Upload Mode Failed.");
        } else if (SendBillAcceptorImage(run, commands, image) != 0) {
            Show(run, __LINE__, "ERROR 23.4: Bill Acceptor Upload Data Packet Failed.");
        } else {
            return 0;
        }
        static_cast<void>(commands.SendBillAcceptorCommand(kBillAcceptorEndUpload));
        run.clock.SleepMs(kAfterAbortMs);
        run.billAcceptor.startingBlock = 0;
        run.billAcceptor.uploadMode = false;
        static_cast<void>(commands.RequestBillAcceptorStatus());
    }
    Show(run, __LINE__, "ERROR 22: Bill Acceptor Upload Failed After 10 Tries.");
    return kAllTriesFailed;
}

void CreateSuccessFile(UtilityRun& run) {
    if (run.options.successFile.empty()) {
        return;
    }
    const std::uint32_t error =
        platform::WriteWholeFile(run.paths.Map(run.options.successFile), "");
    if (error != 0) {
        run.log.LogMessage(kLogShow, kCategoryCommand, kModule, __LINE__,
                           "Can not create %s (system error %u)", run.options.successFile.c_str(),
                           static_cast<unsigned>(error));
    }
}

// The bill acceptor restarts into its new firmware: the utility waits for it, then reads the new
// version and checks its CRC when a checksum was given. 0 or the failure it has logged.
int FinishUpload(UtilityRun& run, SecurityModuleCommands& commands, const std::string& path) {
    static_cast<void>(commands.SendBillAcceptorCommand(kBillAcceptorEndUpload));
    Show(run, __LINE__, "File Uploaded to Bill Acceptor!");
    Show(run, __LINE__, "Waiting for Bill Acceptor to Reset!");
    run.log.LogMessage(kLogFileOnly, kCategoryCommand, kModule, __LINE__, "End Time %s",
                       TimeNow(run).c_str());
    run.console.Write("Please Wait");
    for (int second = 0; second < kRestartSeconds; ++second) {
        run.clock.SleepMs(kRestartDotMs);
        run.console.Write(".");
    }
    run.console.Write("\n");
    Show(run, __LINE__, "New Bill Acceptor Version");
    static_cast<void>(commands.RequestBillAcceptorVersion());
    run.billAcceptor.uploadMode = false;
    if (run.options.uploadChecksum != 0) {
        run.log.LogMessage(kLogFileOnly, kCategoryCommand, kModule, __LINE__,
                           "Checksum Match %X %X", run.options.uploadChecksum,
                           run.billAcceptor.crc);
        run.log.LogMessage(kLogPrompt, kCategoryCommand, kModule, __LINE__, "%s",
                           "Bill Acceptor Checksum ");
        if (run.options.uploadChecksum != run.billAcceptor.crc) {
            Show(run, __LINE__, "FAILED!");
            Show(run, __LINE__, "BILL ACCEPTOR UPLOAD FAILED!");
            return kChecksumMismatch;
        }
        Show(run, __LINE__, "PASSED!");
        Show(run, __LINE__, "BILL ACCEPTOR UPLOAD COMPLETE!");
        static_cast<void>(commands.ClosePort5());
    } else {
        Show(run, __LINE__, "BILL ACCEPTOR UPLOAD COMPLETE!");
    }
    WriteBillAcceptorStatusFile(run, path, true);
    CreateSuccessFile(run);
    return 0;
}

}  // namespace

int Command_BillAcceptorUpload(UtilityRun& run) {
    run.log.LogMessage(kLogFileOnly, kCategoryCommand, kModule, __LINE__, "Start Time %s",
                       TimeNow(run).c_str());
    if (const int checked = CheckVersion(run); checked != 0) {
        return checked;
    }
    // A checksum that is not a number would check nothing: refuse before the port is opened.
    if (!run.options.inputFileChecksumValid) {
        run.log.LogMessage(kLogShow, kCategoryCommand, kModule, __LINE__,
                           "ERROR 03: Input File Checksum \"%s\" is not a hexadecimal number!",
                           run.options.inputFileChecksumText.c_str());
        return kInvalidInputFileChecksum;
    }
    Show(run, __LINE__, "");
    Show(run, __LINE__, "**** Bill Acceptor Upload ****");
    Show(run, __LINE__, "");
    Show(run, __LINE__, "Opening Port 5 Cash Devices");
    SecurityModuleCommands commands(run);
    if (OpenBillAcceptorPort(run, commands) != 0) {
        return kPort5;
    }
    if (const int learned = LearnBillAcceptor(run, commands); learned != 0) {
        return learned;
    }
    std::string path;
    if (run.options.commandGiven) {
        path = ImageForModel(run.options, run.billAcceptor.typeCode);
        if (path.empty()) {
            static_cast<void>(commands.ClosePort5());
            Show(run, __LINE__, "Upload does not match device, done.");
            run.log.Capture().Flush();
            static_cast<void>(run.link.ShutDownSecurityModule());
            run.endProcess(0);
            return 0;
        }
    } else {
        run.log.LogMessage(kLogPrompt, kCategoryCommand, kModule, __LINE__, "%s",
                           "Enter File Name :");
        path = ReadConsoleLine(run.console);
        if (path.empty()) {
            Show(run, __LINE__, "ERROR 01: Invalid File name.");
            static_cast<void>(commands.ClosePort5());
            return 0;
        }
        run.log.LogMessage(kLogFileOnly, kCategoryCommand, kModule, __LINE__, "File:%s",
                           path.c_str());
    }
    WriteBillAcceptorStatusFile(run, path, false);
    const auto image = std::make_unique<BillAcceptorImage>();
    if (ReadBillAcceptorImage(run, path, *image) != kBillImageAccepted) {
        Show(run, __LINE__, "ERROR 01: Can not Open/Find/Load Upload File.");
        static_cast<void>(commands.ClosePort5());
        return kLoadingFile;
    }
    if (const int uploaded = UploadWithTries(run, commands, *image); uploaded != 0) {
        return uploaded;
    }
    return FinishUpload(run, commands, path);
}

}  // namespace lane::moxtel
