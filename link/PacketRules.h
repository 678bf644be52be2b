// The link's decisions about packets, without I/O: the checks of a serial-port read, what the
// reader threads do with a read, and the INIT_PORT parameters of each port.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>

#include "link/LinkConfig.h"
#include "link/TMCB_Support.h"

namespace lane::link {

// The first check a serial-port read of `count` bytes fails, in the order they are made.
enum class SerialPacketCheck {
    Good,
    SizeTooSmall,    // below 3 bytes
    SizeTooLarge,    // above 64 bytes
    LengthMismatch,  // not DL + 4 bytes
    InvalidAddress,  // DA 0 or above 6
    InvalidCommand,  // DC other than port data
};
SerialPacketCheck CheckSerialPortPacket(const UsbWirePacket& wire, std::size_t count);

// What a reader thread does with one read: nothing (an empty read), wait and drop it, or queue it.
enum class ReaderAction { Ignore, Drop, Queue };
// USB readers: `count` is the read's count less the checksum byte; system-port events are queued.
ReaderAction UsbReaderAction(const LinkPacket& packet, std::size_t count);
// Interface-board reader: only port data from ports 0 to 6 is queued.
ReaderAction TmcbReaderAction(const LinkPacket& packet, std::size_t count);

// The four INIT_PORT parameter bytes of `port` in this program, if the port has any.
std::optional<std::array<std::uint8_t, 4>> InitPortParameters(LinkRole role, int scaleType,
                                                              std::uint8_t port);

}  // namespace lane::link
