// Requests of the device setting commands and the reply loops they wait in.
#include "Moxtel/PortRequest.h"

#include <algorithm>

namespace lane::moxtel {

std::uint8_t PacketByte(const link::LinkPacket& packet, std::size_t n) {
    if (n < 3) {
        return n == 0 ? packet.DA : n == 1 ? packet.DC : packet.DL;
    }
    const std::size_t index = n - 3;
    if (index >= packet.DL || index >= packet.data.size()) {
        return 0;
    }
    return packet.data[index];
}

int WritePortData(UtilityRun& run, std::uint8_t port, const std::string& data) {
    link::LinkPacket packet;
    packet.DA = port;
    packet.DC = link::TMCB_DC_PORT_DATA;
    const std::size_t length = std::min(data.size(), packet.data.size());
    packet.DL = static_cast<std::uint8_t>(length);
    for (std::size_t i = 0; i < length; ++i) {
        packet.data[i] = static_cast<std::uint8_t>(data[i]);
    }
    return run.link.WritePacketToSecurityModule(packet) == 0 ? kPortReplyMatched : kPortWriteFailed;
}

int AwaitPortReply(SecurityModuleCommands& commands, UtilityRun& run, std::uint8_t port,
                   std::uint8_t letter, std::uint8_t code, int waitCount, link::LinkPacket& reply,
                   const ReplyTest& extra) {
    const bool cash = port == link::kCashPort;
    const std::size_t matchAt = cash ? 4 : 3;
    for (int count = 1;; ++count) {
        const bool read = cash ? commands.ReadCashPortReply(reply, waitCount)
                               : run.link.ReadPacketFromSecurityModule(reply, waitCount);
        if (!read) {
            return kPortNoReply;
        }
        if (count >= kReplyLoopPacketLimit) {
            return kPortTooManyPackets;
        }
        if (reply.DA == port && reply.DC == link::TMCB_DC_PORT_DATA && reply.DL > matchAt - 3 &&
            PacketByte(reply, matchAt) == letter && PacketByte(reply, matchAt + 1) == code &&
            (!extra || extra(reply))) {
            return kPortReplyMatched;
        }
    }
}

int PortRequest(SecurityModuleCommands& commands, UtilityRun& run, std::uint8_t port,
                const std::string& data, std::uint8_t letter, std::uint8_t code, int waitCount,
                link::LinkPacket& reply) {
    const int written = WritePortData(run, port, data);
    if (written != kPortReplyMatched) {
        return written;
    }
    return AwaitPortReply(commands, run, port, letter, code, waitCount, reply);
}

}  // namespace lane::moxtel
