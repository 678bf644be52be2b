// One request packet of the device setting commands (any length of data) and the wait for its
// reply: on the service port 6 the reply's letter and code are wire bytes 3 and 4, on the cash
// port 5 (replies acknowledged) bytes 4 and 5 after the sequence byte.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "Moxtel/UtilityRun.h"
#include "Moxtel/securitymodule_commands.h"

namespace lane::moxtel {

// How a request ended (0 its reply came).
enum PortRequestResult : int {
    kPortReplyMatched = 0,
    kPortNoReply = 10,         // the read gave up after the wait count
    kPortWriteFailed = 11,     // the request could not be written
    kPortTooManyPackets = 12,  // the hundredth packet without a match
};

// Writes port-data `data` to `port`.
[[nodiscard]] int WritePortData(UtilityRun& run, std::uint8_t port, const std::string& data);

// A further test a matching reply must pass.
using ReplyTest = std::function<bool(const link::LinkPacket&)>;

// Reads until a packet of `port` carries `letter` and `code` and passes `extra` (when given).
[[nodiscard]] int AwaitPortReply(SecurityModuleCommands& commands, UtilityRun& run,
                                 std::uint8_t port, std::uint8_t letter, std::uint8_t code,
                                 int waitCount, link::LinkPacket& reply,
                                 const ReplyTest& extra = {});

// Writes the request and waits for its reply.
[[nodiscard]] int PortRequest(SecurityModuleCommands& commands, UtilityRun& run, std::uint8_t port,
                              const std::string& data, std::uint8_t letter, std::uint8_t code,
                              int waitCount, link::LinkPacket& reply);

// Wire byte n of a packet (0 DA, 1 DC, 2 DL, 3 on the data); 0 past its data.
std::uint8_t PacketByte(const link::LinkPacket& packet, std::size_t n);

}  // namespace lane::moxtel
