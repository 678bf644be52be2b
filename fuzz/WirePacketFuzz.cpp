// Drives the link's wire-packet checks, the read paths' packet decisions and the driver
// protocol's frame reader and decoders with arbitrary bytes.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "link/PacketRules.h"
#include "link/TMCB_Support.h"
#include "platform/posix/DeviceDriverFrame.h"

namespace {

using namespace lane::link;
namespace device = lane::platform::device;

void Check(bool condition) {
    if (!condition) {
        __builtin_trap();
    }
}

bool DataPastLengthIsZero(const LinkPacket& packet) {
    const std::size_t used = std::min<std::size_t>(packet.DL, kLinkPacketDataSize);
    return std::all_of(packet.data.begin() + static_cast<long>(used), packet.data.end(),
                       [](std::uint8_t byte) { return byte == 0; });
}

// What a USB read does with `count` received bytes: check, copy when the checksum holds, decide.
void UsbRead(const std::uint8_t* data, std::size_t size, std::size_t count) {
    UsbWirePacket wire{};
    std::copy_n(data, std::min(size, wire.size()), wire.begin());
    LinkPacket packet;
    const bool valid = IsValidChecksum(wire);
    const bool copied = CopyFromWire(wire, packet);
    Check(copied == (wire[2] <= kUsbMaxDataLength));
    Check(packet.DL <= kUsbMaxDataLength && DataPastLengthIsZero(packet));
    if (valid) {
        // A valid packet goes back on the wire byte for byte.
        UsbWirePacket again;
        Check(CopyToWire(again, packet) == 0);
        const std::size_t length = AddChecksum(again);
        Check(length == packet.DL + 4u &&
              std::equal(again.begin(), again.begin() + length, wire.begin()));
    }
    const SerialPacketCheck check = CheckSerialPortPacket(wire, count);
    if (check == SerialPacketCheck::Good) {
        Check(count >= 4 && count <= kUsbWirePacketSize && count == wire[2] + 4u);
        Check(wire[0] >= 1 && wire[0] <= 6 && wire[1] == TMCB_DC_PORT_DATA);
        LinkPacket received;
        if (valid) {
            Check(CopyFromWire(wire, received));
        }
        static_cast<void>(UsbReaderAction(received, count - 1));
    }
    static_cast<void>(UsbReaderAction(copied && valid ? packet : LinkPacket{}, count));
}

void BoardRead(const std::uint8_t* data, std::size_t size) {
    BoardWirePacket wire{};
    std::copy_n(data, std::min(size, wire.size()), wire.begin());
    LinkPacket packet;
    CopyFromBoardWire(wire, size, packet);
    Check(DataPastLengthIsZero(packet));
    if (TmcbReaderAction(packet, size) == ReaderAction::Queue) {
        Check(size == packet.DL + 3u && packet.DA <= 6 && packet.DC == TMCB_DC_PORT_DATA);
        BoardWirePacket again;
        Check(CopyToBoardWire(again, packet) == size &&
              std::equal(again.begin(), again.begin() + static_cast<long>(size), wire.begin()));
    }
}

// Cuts the bytes into frames as either end would; every frame that decodes encodes back to
// the same bytes.
void Frames(const std::uint8_t* data, std::size_t size, bool requests) {
    device::FrameReader reader(requests ? device::kMaxRequestBody : device::kMaxReplyBody);
    std::size_t offset = 0;
    while (offset < size) {
        std::size_t used = 0;
        const auto result = reader.Feed(data + offset, size - offset, used);
        offset += used;
        if (result == device::FrameReader::Result::Bad) {
            return;
        }
        if (result != device::FrameReader::Result::Frame) {
            continue;
        }
        const std::vector<std::uint8_t>& body = reader.Body();
        std::vector<std::uint8_t> encoded;
        if (requests) {
            lane::platform::DeviceRequest request;
            if (!device::DecodeRequest(body.data(), body.size(), request)) {
                continue;
            }
            Check(request.input.size() <= lane::platform::kDeviceMaxTransferBytes &&
                  request.output.size() <= lane::platform::kDeviceMaxTransferBytes);
            encoded = device::EncodeRequest(request);
        } else {
            device::DeviceReply reply;
            if (!device::DecodeReply(body.data(), body.size(), reply)) {
                continue;
            }
            encoded = device::EncodeReply(reply);
        }
        Check(encoded.size() == body.size() + device::kFrameHeaderBytes &&
              std::equal(body.begin(), body.end(), encoded.begin() + device::kFrameHeaderBytes));
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    UsbRead(data, size, size);
    UsbRead(data, size, size > 0 ? data[0] % 70 : 0);
    BoardRead(data, size);
    Frames(data, size, true);
    Frames(data, size, false);
    return 0;
}
