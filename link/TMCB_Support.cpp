// The security module's link packet, its wire forms on the USB interface and on the interface
// board, and the port, command and driver control-code vocabulary.
#include "link/TMCB_Support.h"

#include <algorithm>

namespace lane::link {

std::uint8_t LinkChecksum(const std::uint8_t* bytes, std::size_t count) {
    unsigned sum = 0;
    for (std::size_t i = 0; i < count; ++i) {
        sum += bytes[i];
    }
    return static_cast<std::uint8_t>(sum & 0xFFu);
}

std::size_t AddChecksum(UsbWirePacket& wire) {
    const std::uint8_t dataLength = wire[2];
    if (dataLength > kUsbMaxDataLength) {
        return 0;
    }
    const std::size_t summed = kWireHeaderSize + dataLength;
    wire[summed] = LinkChecksum(wire.data(), summed);
    return summed + 1;
}

bool IsValidChecksum(const UsbWirePacket& wire) {
    const std::uint8_t dataLength = wire[2];
    if (dataLength > kUsbMaxDataLength) {
        return false;
    }
    const std::size_t summed = kWireHeaderSize + dataLength;
    return wire[summed] == LinkChecksum(wire.data(), summed);
}

int CopyToWire(UsbWirePacket& wire, const LinkPacket& packet) {
    wire.fill(0);
    if (packet.DL > kUsbMaxDataLength) {
        return kCopyToWirePacketTooLarge;
    }
    wire[0] = packet.DA;
    wire[1] = packet.DC;
    wire[2] = packet.DL;
    std::copy_n(packet.data.begin(), packet.DL, wire.begin() + kWireHeaderSize);
    return 0;
}

bool CopyFromWire(const UsbWirePacket& wire, LinkPacket& packet) {
    packet = LinkPacket{};
    if (wire[2] > kUsbMaxDataLength) {
        return false;
    }
    packet.DA = wire[0];
    packet.DC = wire[1];
    packet.DL = wire[2];
    std::copy_n(wire.begin() + kWireHeaderSize, packet.DL, packet.data.begin());
    return true;
}

std::size_t CopyToBoardWire(BoardWirePacket& wire, const LinkPacket& packet) {
    wire.fill(0);
    if (packet.DL > kLinkPacketDataSize) {
        return 0;
    }
    wire[0] = packet.DA;
    wire[1] = packet.DC;
    wire[2] = packet.DL;
    std::copy_n(packet.data.begin(), packet.DL, wire.begin() + kWireHeaderSize);
    return kWireHeaderSize + packet.DL;
}

void CopyFromBoardWire(const BoardWirePacket& wire, std::size_t count, LinkPacket& packet) {
    packet = LinkPacket{};
    packet.DA = wire[0];
    packet.DC = wire[1];
    packet.DL = wire[2];
    const std::size_t received = std::min(count, kBoardWirePacketSize) > kWireHeaderSize
                                     ? std::min(count, kBoardWirePacketSize) - kWireHeaderSize
                                     : 0;
    const std::size_t copied = std::min<std::size_t>({packet.DL, received, kLinkPacketDataSize});
    std::copy_n(wire.begin() + kWireHeaderSize, copied, packet.data.begin());
}

}  // namespace lane::link
