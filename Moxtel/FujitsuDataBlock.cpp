// Reading the Fujitsu bill dispenser's status data block through the cash port.
#include "Moxtel/FujitsuDataBlock.h"

#include <algorithm>

#include "Moxtel/PortRequest.h"

namespace lane::moxtel {

namespace {

constexpr const char* kModule = "FujitsuDataBlock";
constexpr std::size_t kMarkByte = 6;
constexpr std::size_t kFirstDataByte = 7;
// The status request, frame 1.
constexpr std::uint8_t kStatusFrame[] = {'D', '4', 0x60, 0x01, 0xFF, 0x00, 0x00, 0x01, 0x00, 0x1C};
// The log data request, frame 2.
constexpr std::uint8_t kLogFrame[] = {'D', '4', 0x60, 0x12, 0x01, 0x00, 0x1C};

}  // namespace

bool TakeFujitsuReply(FujitsuDataBlock& block, const link::LinkPacket& reply) {
    const std::uint8_t mark = PacketByte(reply, kMarkByte);
    if (mark == 'X') {
        return true;
    }
    if (mark != 'D') {
        return false;
    }
    const std::size_t held = std::min<std::size_t>(reply.DL, reply.data.size());
    const std::size_t carried = held > 4 ? held - 4 : 0;
    const std::size_t room = block.bytes.size() - block.length;
    const std::size_t count = std::min(carried, room);
    for (std::size_t i = 0; i < count; ++i) {
        block.bytes[block.length + i] = PacketByte(reply, kFirstDataByte + i);
    }
    block.length += count;
    return false;
}

std::string FujitsuStatusRequest() {
    return std::string(std::begin(kStatusFrame), std::end(kStatusFrame));
}

std::string FujitsuLogRequest() {
    return std::string(std::begin(kLogFrame), std::end(kLogFrame));
}

std::string FujitsuClearRequest(std::uint8_t option, const std::string& message) {
    std::string request{'D', '4', '\x60', '\x12', '\x29', static_cast<char>(option)};
    std::string text = message.substr(0, kFujitsuMessageChars);
    text.resize(kFujitsuMessageChars, ' ');
    request += text;
    request.push_back('\x1C');
    return request;
}

int ReadFujitsuBlock(UtilityRun& run, SecurityModuleCommands& commands, FujitsuDataBlock& block) {
    block = FujitsuDataBlock{};
    run.log.LogMessage(kLogFileOnly, kCategoryCommand, kModule, __LINE__, "%s",
                       "Waiting for data from Fujitsu Bill Dispenser");
    for (int replies = 0; replies < kFujitsuMostReplies; ++replies) {
        link::LinkPacket reply;
        if (!commands.ReadCashPortReply(reply, kFujitsuWaitCount)) {
            run.log.LogMessage(kLogShow, kCategoryCommand, kModule, __LINE__, "%s",
                               "ERROR 30: Reading Data From Fujitsu Bill Dispenser.");
            return kPortNoReply;
        }
        if (reply.DA != link::kCashPort || PacketByte(reply, 4) != 'd' ||
            PacketByte(reply, 5) != '4') {
            continue;
        }
        if (TakeFujitsuReply(block, reply)) {
            break;
        }
    }
    run.log.LogMessage(kLogFileOnly, kCategoryCommand, kModule, __LINE__,
                       "%d Bytes Read From Fujitsu Bill Dispenser", static_cast<int>(block.length));
    return 0;
}

int ReadFujitsuStatusBlock(UtilityRun& run, SecurityModuleCommands& commands,
                           FujitsuDataBlock& block) {
    block = FujitsuDataBlock{};
    if (WritePortData(run, link::kCashPort, FujitsuStatusRequest()) != kPortReplyMatched) {
        run.log.LogMessage(kLogShow, kCategoryCommand, kModule, __LINE__, "%s",
                           "ERROR 11: Writing Security Module Data Failed.");
        return kPortWriteFailed;
    }
    return ReadFujitsuBlock(run, commands, block);
}

std::uint32_t FujitsuCounter(const FujitsuDataBlock& block, std::size_t position,
                             std::size_t bytes) {
    std::uint32_t value = 0;
    for (std::size_t i = 0; i < bytes && i < 4; ++i) {
        const std::size_t at = position + i;
        value = (value << 8) | (at < block.bytes.size() ? block.bytes[at] : 0U);
    }
    return value;
}

std::string FujitsuFirmwareText(const FujitsuDataBlock& block) {
    const auto at = [&](std::size_t n) { return static_cast<char>(block.bytes[n]); };
    std::string text;
    for (std::size_t n = 48; n <= 53; ++n) {
        text.push_back(at(n));
    }
    text += ' ';
    text += {at(44), at(45), '/', at(46), at(47), '/', '2', '0', at(42), at(43)};
    return text;
}

}  // namespace lane::moxtel
