// The reader's checks of one remote-monitor packet in driver mode.
#include "monitor/acquisition/DriverPacket.h"

namespace lane::monitor {

DriverPacketCheck CheckDriverPacket(const link::UsbWirePacket& buffer, std::size_t count) {
    if (count == 0) {
        return DriverPacketCheck::Empty;
    }
    if (count < link::kWireHeaderSize || count > kRemoteMonitorRequestSize) {
        return DriverPacketCheck::BadSize;
    }
    if (buffer[0] != link::kRemoteMonitorPort) {
        return DriverPacketCheck::InvalidAddress;
    }
    switch (buffer[1]) {
        case link::TMCB_DC_OPEN_PORT:
            return DriverPacketCheck::PortOpened;
        case link::TMCB_DC_CLOSE_PORT:
            return DriverPacketCheck::PortClosed;
        case link::TMCB_DC_PORT_DATA:
            // The checksum is not looked at; the data must lie within the bytes received.
            return buffer[2] <= count - link::kWireHeaderSize ? DriverPacketCheck::PortData
                                                              : DriverPacketCheck::LengthOverrun;
        default:
            return DriverPacketCheck::InvalidCommand;
    }
}

}  // namespace lane::monitor
