// The coin dispenser's request/reply exchanges on the cash port: one request packet ('A', the
// request code, its arguments), then replies read and acknowledged until 'a' and the same code.
#include "Moxtel/Command_CoinDispenser.h"

namespace lane::moxtel {

namespace {

constexpr const char* kModule = "Command_CoinDispenser";

constexpr std::uint8_t kRequestLetter = 'A';
constexpr std::uint8_t kReplyLetter = 'a';
constexpr std::uint8_t kStatusCode = '1';
constexpr std::uint8_t kFirmwareCode = '3';
constexpr std::uint8_t kConfigurationCode = '4';
constexpr std::uint8_t kModelCode = '5';
constexpr std::uint8_t kSetConfigurationCode = '6';
constexpr std::uint8_t kBlockCode = '7';
constexpr std::uint8_t kEepromCode = '8';
constexpr std::uint8_t kSpeedCode = 'A';
constexpr std::uint8_t kBinStatusCode = 'B';
constexpr std::uint8_t kIniVersionCode = 'C';
// A block is read from this many replies.
constexpr int kBlockReplies = 5;
// The byte of an update reply that says the write failed.
constexpr std::uint8_t kUpdateFailed = '1';

}  // namespace

void CCoinDispenser::Show(const char* text) {
    run_.log.LogMessage(kLogShow, kCategoryCommand, kModule, __LINE__, "%s", text);
}

int CCoinDispenser::AwaitReply(std::uint8_t code, Texts texts, link::LinkPacket& reply) {
    for (int count = 1;; ++count) {
        if (!commands_.ReadCashPortReply(reply, kCoinDispenserWaitCount)) {
            Show(texts == Texts::Status      ? "ERROR 40: Status Request Failed."
                 : texts == Texts::BinStatus ? "ERROR 40: Bin Status Request Failed."
                                             : "ERROR 40: Read Failed.");
            return kCoinNoReply;
        }
        if (count >= kReplyLoopPacketLimit) {
            Show(texts == Texts::Status      ? "ERROR 42: Get Status Failed."
                 : texts == Texts::BinStatus ? "ERROR 42: Get Bin Status Failed."
                                             : "ERROR 42: Update Failed.");
            return kCoinTooManyPackets;
        }
        if (reply.DA == link::kCashPort && CashReplyByte(reply, 4) == kReplyLetter &&
            CashReplyByte(reply, 5) == code && reply.DL >= 3) {
            return kCoinOk;
        }
    }
}

int CCoinDispenser::Exchange(std::uint8_t code, const std::uint8_t* arguments,
                             std::size_t argumentCount, Texts texts, link::LinkPacket& reply) {
    link::LinkPacket request;
    request.DA = link::kCashPort;
    request.DC = link::TMCB_DC_PORT_DATA;
    request.DL = static_cast<std::uint8_t>(2 + argumentCount);
    request.data[0] = kRequestLetter;
    request.data[1] = code;
    for (std::size_t i = 0; i < argumentCount; ++i) {
        request.data[2 + i] = arguments[i];
    }
    if (run_.link.WritePacketToSecurityModule(request) != 0) {
        Show("ERROR 11: Writing Security Module Data Failed.");
        return kCoinWriteFailed;
    }
    return AwaitReply(code, texts, reply);
}

int CCoinDispenser::RequestStatus() {
    link::LinkPacket reply;
    const int result = Exchange(kStatusCode, nullptr, 0, Texts::Status, reply);
    if (result != kCoinOk) {
        info_.unavailable = true;
        return result;
    }
    info_.statusBits = CashReplyByte(reply, 6);
    info_.unavailable = (info_.statusBits & kCoinStatusOffline) != 0;
    return kCoinOk;
}

int CCoinDispenser::RequestBinStatus() {
    link::LinkPacket reply;
    const int result = Exchange(kBinStatusCode, nullptr, 0, Texts::BinStatus, reply);
    if (result == kCoinWriteFailed || result == kCoinNoReply) {
        info_.unavailable = true;
    }
    if (result != kCoinOk) {
        return result;
    }
    info_.binBytes[0] = CashReplyByte(reply, 6);
    info_.binBytes[1] = CashReplyByte(reply, 7);
    return kCoinOk;
}

int CCoinDispenser::RequestFirmwareVersion() {
    link::LinkPacket reply;
    const int result = Exchange(kFirmwareCode, nullptr, 0, Texts::Status, reply);
    if (result == kCoinOk) {
        info_.firmwareVersion = CashReplyText(reply, 6);
    }
    return result;
}

int CCoinDispenser::RequestModel() {
    link::LinkPacket reply;
    const int result = Exchange(kModelCode, nullptr, 0, Texts::Status, reply);
    if (result != kCoinOk) {
        return result;
    }
    info_.productId.clear();
    for (std::size_t n = 6; n <= 9; ++n) {
        info_.productId.push_back(static_cast<char>(CashReplyByte(reply, n)));
    }
    info_.modelByte = CashReplyByte(reply, 7);
    info_.model = CoinModelFromByte(info_.modelByte);
    run_.log.LogMessage(kLogFileOnly, kCategoryCommand, kModule, __LINE__,
                        "Coin Dispenser PID:%c%c%c%c", info_.productId[0], info_.productId[1],
                        info_.productId[2], info_.productId[3]);
    run_.log.LogMessage(kLogPrompt, kCategoryCommand, kModule, __LINE__, "%s",
                        "Dispenser Model : ");
    Show(CoinModelName(info_.modelByte));
    return kCoinOk;
}

int CCoinDispenser::RequestIniVersion() {
    link::LinkPacket reply;
    const int result = Exchange(kIniVersionCode, nullptr, 0, Texts::Status, reply);
    if (result == kCoinOk) {
        info_.iniVersion.clear();
        for (std::size_t n = 6; n <= 10; ++n) {
            info_.iniVersion.push_back(static_cast<char>(CashReplyByte(reply, n)));
        }
    }
    return result;
}

int CCoinDispenser::RequestConfiguration() {
    link::LinkPacket reply;
    const int result = Exchange(kConfigurationCode, nullptr, 0, Texts::Status, reply);
    if (result == kCoinOk) {
        info_.configCode = CashReplyByte(reply, 6);
        info_.configText = CashReplyText(reply, 8);
    }
    return result;
}

int CCoinDispenser::ReadConfigurationBlock() {
    info_.block.fill(0);
    link::LinkPacket reply;
    const int result = Exchange(kBlockCode, nullptr, 0, Texts::Status, reply);
    if (result != kCoinOk) {
        return result;
    }
    // The first matching reply starts the block; the replies after it belong to it whatever
    // they hold.
    static_cast<void>(CopyCoinBlockReply(info_.block, reply));
    for (int copied = 1; copied < kBlockReplies; ++copied) {
        if (!commands_.ReadCashPortReply(reply, kCoinDispenserWaitCount)) {
            Show("ERROR 40: Status Request Failed.");
            return kCoinNoReply;
        }
        static_cast<void>(CopyCoinBlockReply(info_.block, reply));
    }
    return kCoinOk;
}

int CCoinDispenser::SetConfiguration(std::uint8_t code) {
    link::LinkPacket reply;
    return Exchange(kSetConfigurationCode, &code, 1, Texts::Status, reply);
}

int CCoinDispenser::WriteEeprom(std::uint8_t offset, std::uint8_t value) {
    const std::uint8_t arguments[] = {offset, value};
    link::LinkPacket reply;
    const int result = Exchange(kEepromCode, arguments, 2, Texts::Update, reply);
    if (result != kCoinOk) {
        return result;
    }
    return CashReplyByte(reply, 6) == kUpdateFailed ? kCoinUpdateRefused : kCoinOk;
}

int CCoinDispenser::SetDispenseSpeed(std::uint8_t delayMs) {
    link::LinkPacket reply;
    const int result = Exchange(kSpeedCode, &delayMs, 1, Texts::Update, reply);
    if (result != kCoinOk) {
        return result;
    }
    return CashReplyByte(reply, 6) == kUpdateFailed ? kCoinUpdateRefused : kCoinOk;
}

}  // namespace lane::moxtel
