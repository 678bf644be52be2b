// The Fujitsu bill dispenser items' port 5, messages and keys.
#include "Moxtel/FujitsuSession.h"

#include <cctype>

#include "Moxtel/Command_FujitsuTest.h"
#include "Moxtel/OperatorInput.h"
#include "Moxtel/PortRequest.h"

namespace lane::moxtel {

namespace {

constexpr const char* kModule = "Command_FujitsuTest";

bool UsbBoard(UtilityRun& run) {
    return run.config.Access(run.log).SecurityModuleType == link::kBoardTypeUsb;
}

}  // namespace

FujitsuSession::~FujitsuSession() {
    if (open_) {
        static_cast<void>(commands_.ClosePort5());
    }
}

int FujitsuSession::Start(const char* title, const char* syncFailed) {
    if (UsbBoard(run_) && run_.identity.version < kFujitsuModuleVersion) {
        Show("Incorrect Security Module Version must be >= 4.05");
        return kFujitsuVersionTooOld;
    }
    Show(title);
    Show("Opening Port 5 Cash Devices");
    if (commands_.OpenPort5() != 0) {
        Show("ERROR 1B: Open port 5 Failed.");
        return kFujitsuPortFailed;
    }
    open_ = true;
    if (commands_.SyncCashMachine() != 0) {
        Show(syncFailed);
        return kFujitsuPortFailed;
    }
    return 0;
}

void FujitsuSession::Show(const std::string& text) {
    run_.log.LogMessage(kLogShow, kCategoryCommand, kModule, __LINE__, "%s", text.c_str());
}

void FujitsuSession::Prompt(const std::string& text) {
    run_.log.LogMessage(kLogPrompt, kCategoryCommand, kModule, __LINE__, "%s", text.c_str());
}

void FujitsuSession::FileOnly(const std::string& text) {
    run_.log.LogMessage(kLogFileOnly, kCategoryCommand, kModule, __LINE__, "%s", text.c_str());
}

bool FujitsuSession::Send(const std::string& data) {
    if (WritePortData(run_, link::kCashPort, data) != kPortReplyMatched) {
        Show("ERROR 11: Writting Data to Port 5.");
        return false;
    }
    return true;
}

bool FujitsuSession::RequestBlock(const std::string& request, FujitsuDataBlock& block) {
    return Send(request) && ReadFujitsuBlock(run_, commands_, block) == 0;
}

bool FujitsuSession::RequestBlockShown(const std::string& request, FujitsuDataBlock& block) {
    Show(kFujitsuRequesting);
    if (RequestBlock(request, block)) {
        return true;
    }
    Show(kFujitsuAbortedText);
    return false;
}

int FujitsuSession::AwaitReply(std::uint8_t code, link::LinkPacket& reply) {
    return AwaitPortReply(commands_, run_, link::kCashPort, 'd', code, kFujitsuWaitCount, reply);
}

char FujitsuSession::Key() {
    if (!run_.options.acknowledgeResults || run_.console.InputEnded()) {
        return 'X';
    }
    const char key = ReadMenuKey(run_);
    return run_.console.InputEnded() ? 'X' : key;
}

char FujitsuSession::SilentKey() {
    if (!run_.options.acknowledgeResults || run_.console.InputEnded()) {
        return 'X';
    }
    const int key = std::toupper(run_.console.GetKey() & 0xFF);
    return run_.console.InputEnded() ? 'X' : static_cast<char>(key);
}

bool FujitsuSession::KeyPressed() {
    return run_.console.KeyWaiting() || run_.console.InputEnded();
}

}  // namespace lane::moxtel
