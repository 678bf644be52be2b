// The bill acceptor upload's exchange: start, upload mode, blocks and their acknowledgements.
#include "Moxtel/BillAcceptorSender.h"

#include <cstdio>
#include <string_view>

namespace lane::moxtel {

namespace {

constexpr const char* kModule = "Command_BillAcceptorUpload";

constexpr std::uint8_t kStatusModeMask = 0x7E;
constexpr std::uint8_t kUploadModeStatus = 0x50;
constexpr std::uint8_t kDigitMark = 0x80;  // the board's layout: every 4-bit digit OR 0x80
constexpr std::size_t kBlockDigits = 4;
// Data bytes of a block packet in each layout.
constexpr std::uint8_t kUsbBlockLength = 4 + kBillAcceptorBlockBytes;
constexpr std::uint8_t kBoardBlockLength = 2 + kBlockDigits + 2 * kBillAcceptorBlockBytes;

// What one block's exchange came to.
enum class BlockResult { Accepted, OneBehind, Failed };

void Show(UtilityRun& run, int line, const char* text) {
    run.log.LogMessage(kLogShow, kCategoryCommand, kModule, line, "%s", text);
}

BlockResult SendBlock(UtilityRun& run, SecurityModuleCommands& commands,
                      const BillAcceptorImage& image, unsigned block) {
    const link::LinkPacket packet =
        BillAcceptorBlockPacket(image, block, run.options.cashDevicesThroughModule);
    if (run.link.WritePacketToSecurityModule(packet) != 0) {
        Show(run, __LINE__, "ERROR 11: Sending Data Packet to Bill Acceptor.");
        return BlockResult::Failed;
    }
    link::LinkPacket reply;
    const int replied =
        commands.AwaitCashPortReply('b', '1', kBlockReplyWaitCount, reply, IsBlockReply);
    if (replied == kNoReplyResult) {
        Show(run, __LINE__, "ERROR 20: Time-out For RX Data Packet.");
        return BlockResult::Failed;
    }
    if (replied != 0) {
        Show(run, __LINE__, "ERROR 22: Time-out For RX Data Packet.");
        return BlockResult::Failed;
    }
    const unsigned expected = ReplyBlockNumber(reply);
    if (expected == block) {
        return BlockResult::Accepted;
    }
    run.log.LogMessage(kLogShow, kCategoryCommand, kModule, __LINE__,
                       "ERROR 2A: Block Number Mismatch %X %X", block, expected);
    return block == expected + 1 ? BlockResult::OneBehind : BlockResult::Failed;
}

}  // namespace

link::LinkPacket BillAcceptorBlockPacket(const BillAcceptorImage& image, unsigned block,
                                         bool throughModule) {
    link::LinkPacket packet;
    packet.DA = link::kCashPort;
    packet.DC = link::TMCB_DC_PORT_DATA;
    packet.data[0] = kBillAcceptorBlockLetter;
    packet.data[1] = kBillAcceptorBlockCode;
    const std::size_t first = static_cast<std::size_t>(block) * kBillAcceptorBlockBytes;
    const auto byteAt = [&](std::size_t i) {
        const std::size_t at = first + i;
        return at < image.buffer.size() ? image.buffer[at] : std::uint8_t{0};
    };
    if (throughModule) {
        packet.DL = kUsbBlockLength;
        packet.data[2] = static_cast<std::uint8_t>((block >> 8) & 0xFFu);
        packet.data[3] = static_cast<std::uint8_t>(block & 0xFFu);
        for (std::size_t i = 0; i < kBillAcceptorBlockBytes; ++i) {
            packet.data[4 + i] = byteAt(i);
        }
        return packet;
    }
    packet.DL = kBoardBlockLength;
    for (std::size_t digit = 0; digit < kBlockDigits; ++digit) {
        const unsigned shift = static_cast<unsigned>(4 * (kBlockDigits - 1 - digit));
        packet.data[2 + digit] = static_cast<std::uint8_t>(((block >> shift) & 0x0Fu) | kDigitMark);
    }
    for (std::size_t i = 0; i < kBillAcceptorBlockBytes; ++i) {
        const std::uint8_t byte = byteAt(i);
        packet.data[2 + kBlockDigits + 2 * i] = static_cast<std::uint8_t>((byte >> 4) | kDigitMark);
        packet.data[3 + kBlockDigits + 2 * i] =
            static_cast<std::uint8_t>((byte & 0x0Fu) | kDigitMark);
    }
    return packet;
}

bool IsBlockReply(const link::LinkPacket& reply) {
    return Holds(reply, 10) && (WireByte(reply, 10) & kStatusModeMask) == kUploadModeStatus;
}

unsigned ReplyBlockNumber(const link::LinkPacket& reply) {
    unsigned number = 0;
    for (std::size_t n = 6; n <= 9; ++n) {
        number = number * 16 + (WireByte(reply, n) & 0x7Fu);
    }
    return number;
}

bool ReplyHasNoBlock(const link::LinkPacket& reply) {
    for (std::size_t n = 6; n <= 9; ++n) {
        if ((WireByte(reply, n) & 0x7Fu) != 0x0Fu) {
            return false;
        }
    }
    return true;
}

int StartBillAcceptorUpload(UtilityRun& run, SecurityModuleCommands& commands) {
    run.log.LogMessage(kLogFileOnly, kCategoryCommand, kModule, __LINE__, "%s",
                       "Sending Start Upload Command to Bill Acceptor");
    if (commands.SendBillAcceptorCommand(kBillAcceptorStartUpload) != 0) {
        Show(run, __LINE__, "ERROR 23.5: Setting Bill Acceptor for Upload Mode Failed.");
        return kBillStartNotSent;
    }
    if (run.billAcceptor.uploadMode) {
        return 0;
    }
    link::LinkPacket reply;
    const int replied = commands.AwaitCashPortReply(
        'b', '1', kUploadModeWaitCount, reply, [](const link::LinkPacket& packet) {
            return IsBlockReply(packet) && ReplyHasNoBlock(packet);
        });
    if (replied == kNoReplyResult) {
        Show(run, __LINE__, "ERROR 20: Setting Bill Acceptor for Upload Mode Failed.");
        return kBillStartNoReply;
    }
    if (replied != 0) {
        Show(run, __LINE__, "ERROR 22: Setting Bill Acceptor for Upload Mode Failed.");
        return kBillStartTooManyPackets;
    }
    run.log.LogMessage(kLogFileOnly, kCategoryCommand, kModule, __LINE__, "%s",
                       "Bill Acceptor in Upload Mode");
    return 0;
}

int SendBillAcceptorImage(UtilityRun& run, SecurityModuleCommands& commands,
                          const BillAcceptorImage& image) {
    const unsigned startingBlock = run.billAcceptor.startingBlock;
    run.log.LogMessage(kLogFileOnly, kCategoryCommand, kModule, __LINE__,
                       "Starting Upload, Block = %d", static_cast<int>(startingBlock));
    // The last byte counted is the end-of-file byte: it goes only with a block that carries
    // file bytes too.
    const std::size_t end = image.count > 0 ? image.count - 1 : 0;
    std::size_t position = static_cast<std::size_t>(startingBlock) * kBillAcceptorBlockBytes;
    // Where a block was stepped back: a second step back there is a failure.
    std::size_t adjustedAt = end;
    char progress[48];
    while (position < end) {
        const auto block = static_cast<unsigned>(position / kBillAcceptorBlockBytes);
        const BlockResult result = SendBlock(run, commands, image, block);
        if (result == BlockResult::OneBehind && adjustedAt != position) {
            // The bill acceptor lost the block before: that one again, then this one.
            Show(run, __LINE__, "Block Number Adjusted");
            adjustedAt = position;
            position -= kBillAcceptorBlockBytes;
            continue;
        }
        if (result != BlockResult::Accepted) {
            run.log.LogMessage(kLogShow, kCategoryCommand, kModule, __LINE__,
                               "ERROR 23.6: Sending Data Packet to Bill Acceptor, POS = %d",
                               static_cast<int>(position));
            return kBillBlockFailed;
        }
        const int length = std::snprintf(progress, sizeof progress, "Bytes Left %d     \r",
                                         static_cast<int>(image.count - position));
        run.console.Write(std::string_view(progress, static_cast<std::size_t>(length)));
        run.log.LogMessage(kLogFileOnly, kCategoryCommand, kModule, __LINE__,
                           "Block %d, Byte Position %d", static_cast<int>(block),
                           static_cast<int>(position));
        position += kBillAcceptorBlockBytes;
    }
    return 0;
}

}  // namespace lane::moxtel
