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

int ReadFujitsuStatusBlock(UtilityRun& run, SecurityModuleCommands& commands,
                           FujitsuDataBlock& block) {
    block = FujitsuDataBlock{};
    const std::string request(std::begin(kStatusFrame), std::end(kStatusFrame));
    if (WritePortData(run, link::kCashPort, request) != kPortReplyMatched) {
        run.log.LogMessage(kLogShow, kCategoryCommand, kModule, __LINE__, "%s",
                           "ERROR 11: Writing Security Module Data Failed.");
        return kPortWriteFailed;
    }
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
