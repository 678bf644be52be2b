// The reader's checks of one remote-monitor packet in driver mode, in the order it makes them,
// without I/O: what the packet is and whether its data may be taken.
#pragma once

#include <cstddef>
#include <cstdint>

#include "link/TMCB_Support.h"

namespace lane::monitor {

// Largest packet the remote-monitor read asks for.
inline constexpr std::size_t kRemoteMonitorRequestSize = link::kUsbWirePacketSize;

enum class DriverPacketCheck {
    Empty,           // nothing was read
    BadSize,         // below 3 bytes or above 64
    InvalidAddress,  // DA other than the remote-monitor port 7
    PortOpened,      // DC 2: the port's open acknowledgement
    PortClosed,      // DC 3: the port's close acknowledgement
    PortData,        // DC 6 whose DL data bytes were all received
    LengthOverrun,   // DC 6 whose DL claims more bytes than the read brought (count - 3)
    InvalidCommand,  // any other DC
};

// `count` is the read's byte count, which may exceed the buffer only if the source misreports.
DriverPacketCheck CheckDriverPacket(const link::UsbWirePacket& buffer, std::size_t count);

}  // namespace lane::monitor
