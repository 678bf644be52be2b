// The security module's link packet, its wire forms on the USB interface and on the interface
// board, and the port, command and driver control-code vocabulary.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

namespace lane::link {

inline constexpr std::size_t kLinkPacketDataSize = 252;
inline constexpr std::size_t kWireHeaderSize = 3;         // DA, DC, DL
inline constexpr std::size_t kUsbWirePacketSize = 64;     // the USB transmit and receive buffer
inline constexpr std::uint8_t kUsbMaxDataLength = 60;     // data bytes of one USB packet
inline constexpr std::size_t kBoardWirePacketSize = 255;  // one interface-board read

// One packet as held in memory; bytes of `data` past DL are zero.
struct LinkPacket {
    std::uint8_t DA = 0;  // port of the security module
    std::uint8_t DC = 0;  // device command
    std::uint8_t DL = 0;  // number of valid bytes in data
    std::array<std::uint8_t, kLinkPacketDataSize> data{};
};

// DA, DC, DL, data and a checksum byte.
using UsbWirePacket = std::array<std::uint8_t, kUsbWirePacketSize>;
// DA, DC, DL and data, without checksum.
using BoardWirePacket = std::array<std::uint8_t, kBoardWirePacketSize>;

// Ports (DA).
inline constexpr std::uint8_t TMCB_PORT_SYSTEM_PORT = 0;
inline constexpr std::uint8_t kScalePort = 1;
inline constexpr std::uint8_t kUpsPort = 3;
inline constexpr std::uint8_t kCarouselPort = 4;
inline constexpr std::uint8_t kCashPort = 5;
inline constexpr std::uint8_t kServicePort = 6;
inline constexpr std::uint8_t kRemoteMonitorPort = 7;
inline constexpr std::uint8_t kFirstSerialPort = 1;
inline constexpr std::uint8_t kLastSerialPort = 6;

// Device commands (DC).
inline constexpr std::uint8_t TMCB_DC_INIT_PORT = 1;
inline constexpr std::uint8_t TMCB_DC_OPEN_PORT = 2;
inline constexpr std::uint8_t TMCB_DC_CLOSE_PORT = 3;
inline constexpr std::uint8_t TMCB_DC_PORT_DATA = 6;
inline constexpr std::uint8_t TMCB_DC_READY_COMPLETE = 11;
inline constexpr std::uint8_t kDcTraceControl = 0x0C;  // a key and an on/off character
inline constexpr std::uint8_t TMCB_DC_RESET_BUTTON = 13;
inline constexpr std::uint8_t TMCB_DC_POWER_COMMAND = 14;
inline constexpr std::uint8_t TMCB_DC_COMM_ERROR = 15;
inline constexpr std::uint8_t TMCB_DC_SYSTEM_LOOPBACK = 0xA0;
inline constexpr std::uint8_t kDcFirmwareUploadStart = 0xF0;
inline constexpr std::uint8_t kDcFirmwareUploadData = 0xF1;
inline constexpr std::uint8_t TMCB_DC_RESET_USB_BUFFERS = 0xF2;

// Driver control codes.
inline constexpr std::uint32_t SECMODULE_IOCTL_USB_READ_SYSTEM_PORT_LANE_MANAGER = 0x226B45;
inline constexpr std::uint32_t SECMODULE_IOCTL_USB_WRITE_SYSTEM_PORT = 0x22AB86;
inline constexpr std::uint32_t SECMODULE_IOCTL_USB_READ_REMOTE_MONITOR_PORT = 0x226B4D;
inline constexpr std::uint32_t TMCB_IOCTL_WRITE_PACKET = 0x222B04;
inline constexpr std::uint32_t TMCB_IOCTL_READ_PACKET = 0x222AC4;

// CopyToWire's refusal of a packet with more data than one USB packet holds.
inline constexpr int kCopyToWirePacketTooLarge = 1;

// The low 8 bits of the sum of `count` bytes.
std::uint8_t LinkChecksum(const std::uint8_t* bytes, std::size_t count);

// Writes the checksum after the data of `wire` and returns the wire length DL + 4; a DL above 60
// leaves the buffer alone and returns 0.
[[nodiscard]] std::size_t AddChecksum(UsbWirePacket& wire);
// True when DL is at most 60 and the checksum byte matches the first DL + 3 bytes.
[[nodiscard]] bool IsValidChecksum(const UsbWirePacket& wire);
// Clears `wire` and copies DA, DC, DL and the data. 0, or kCopyToWirePacketTooLarge (nothing
// copied) when DL is above 60.
[[nodiscard]] int CopyToWire(UsbWirePacket& wire, const LinkPacket& packet);
// Clears `packet` and copies DA, DC, DL and DL data bytes. False (packet left clear) when DL is
// above 60.
[[nodiscard]] bool CopyFromWire(const UsbWirePacket& wire, LinkPacket& packet);

// Copies DA, DC, DL and the data into the board's wire form; returns DL + 3, or 0 when DL does
// not fit a packet.
[[nodiscard]] std::size_t CopyToBoardWire(BoardWirePacket& wire, const LinkPacket& packet);
// Clears `packet` and copies DA, DC, DL and the data bytes that `count` received bytes hold
// (at most DL).
void CopyFromBoardWire(const BoardWirePacket& wire, std::size_t count, LinkPacket& packet);

}  // namespace lane::link
