// The link's decisions about packets, without I/O.
#include "link/PacketRules.h"

namespace lane::link {

namespace {

// Largest count a reader takes as one packet.
constexpr std::size_t kReaderCountLimit = 256;

bool HasPacketSize(const LinkPacket& packet, std::size_t count) {
    return count >= kWireHeaderSize && count < kReaderCountLimit &&
           count == kWireHeaderSize + packet.DL;
}

bool IsSerialPort(std::uint8_t port) {
    return port >= kFirstSerialPort && port <= kLastSerialPort;
}

}  // namespace

SerialPacketCheck CheckSerialPortPacket(const UsbWirePacket& wire, std::size_t count) {
    if (count < kWireHeaderSize) {
        return SerialPacketCheck::SizeTooSmall;
    }
    if (count > kUsbWirePacketSize) {
        return SerialPacketCheck::SizeTooLarge;
    }
    if (count != kWireHeaderSize + 1u + wire[2]) {
        return SerialPacketCheck::LengthMismatch;
    }
    if (!IsSerialPort(wire[0])) {
        return SerialPacketCheck::InvalidAddress;
    }
    if (wire[1] != TMCB_DC_PORT_DATA) {
        return SerialPacketCheck::InvalidCommand;
    }
    return SerialPacketCheck::Good;
}

ReaderAction UsbReaderAction(const LinkPacket& packet, std::size_t count) {
    if (count == 0) {
        return ReaderAction::Ignore;
    }
    if (!HasPacketSize(packet, count)) {
        return ReaderAction::Drop;
    }
    if (packet.DA == TMCB_PORT_SYSTEM_PORT) {
        return ReaderAction::Queue;
    }
    return IsSerialPort(packet.DA) && packet.DC == TMCB_DC_PORT_DATA ? ReaderAction::Queue
                                                                     : ReaderAction::Drop;
}

ReaderAction TmcbReaderAction(const LinkPacket& packet, std::size_t count) {
    if (count == 0) {
        return ReaderAction::Ignore;
    }
    if (HasPacketSize(packet, count) && packet.DA <= kLastSerialPort &&
        packet.DC == TMCB_DC_PORT_DATA) {
        return ReaderAction::Queue;
    }
    return ReaderAction::Drop;
}

std::optional<std::array<std::uint8_t, 4>> InitPortParameters(LinkRole role, int scaleType,
                                                              std::uint8_t port) {
    if (role == LinkRole::Monitor) {
        if (port == kRemoteMonitorPort) {
            return std::array<std::uint8_t, 4>{1, 6, 2, 1};
        }
        return std::nullopt;
    }
    switch (port) {
        case kScalePort: {
            std::uint8_t speed = 3;
            if (scaleType == 1) {
                speed = 2;
            } else if (scaleType == 2 || scaleType == 4) {
                speed = 8;
            }
            return std::array<std::uint8_t, 4>{speed, 6, 1, 3};
        }
        case kCashPort:
            return std::array<std::uint8_t, 4>{10, 5, 2, 1};
        case kServicePort:
            return std::array<std::uint8_t, 4>{1, 6, 2, 1};
        default:
            return std::nullopt;
    }
}

}  // namespace lane::link
