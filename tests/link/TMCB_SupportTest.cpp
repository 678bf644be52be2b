// Tests of the link packet's wire forms: checksum, size limits, field-by-field copies.
#include "link/TMCB_Support.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

namespace lane::link {
namespace {

using Bytes = std::vector<std::uint8_t>;

LinkPacket Packet(std::uint8_t da, std::uint8_t dc, const Bytes& data) {
    LinkPacket packet;
    packet.DA = da;
    packet.DC = dc;
    packet.DL = static_cast<std::uint8_t>(data.size());
    std::copy(data.begin(), data.end(), packet.data.begin());
    return packet;
}

// The wire bytes a packet gives: CopyToWire, AddChecksum, cut to the wire length.
Bytes WireOf(const LinkPacket& packet) {
    UsbWirePacket wire;
    wire.fill(0xEE);
    EXPECT_EQ(CopyToWire(wire, packet), 0);
    const std::size_t length = AddChecksum(wire);
    EXPECT_TRUE(std::all_of(wire.begin() + static_cast<long>(length), wire.end(),
                            [](std::uint8_t byte) { return byte == 0; }));
    return Bytes(wire.begin(), wire.begin() + static_cast<long>(length));
}

UsbWirePacket Wire(const Bytes& bytes) {
    UsbWirePacket wire{};
    std::copy(bytes.begin(), bytes.end(), wire.begin());
    return wire;
}

TEST(WirePacket, ChecksumFollowsTheDataAndTheLengthIsDataPlusFour) {
    EXPECT_EQ(WireOf(Packet(6, 6, {'a', 'b', 'c'})),
              (Bytes{0x06, 0x06, 0x03, 0x61, 0x62, 0x63, 0x35}));
    // No data: four bytes, the checksum is DA + DC.
    EXPECT_EQ(WireOf(Packet(6, 3, {})), (Bytes{0x06, 0x03, 0x00, 0x09}));
    // The sum keeps its low 8 bits only.
    EXPECT_EQ(WireOf(Packet(5, 6, {0xFF, 0xFF})), (Bytes{0x05, 0x06, 0x02, 0xFF, 0xFF, 0x0B}));
    // Sixty data bytes fill the 64-byte buffer exactly.
    const Bytes full = WireOf(Packet(1, 6, Bytes(60, 0x01)));
    ASSERT_EQ(full.size(), 64u);
    EXPECT_EQ(full[63], static_cast<std::uint8_t>(1 + 6 + 60 + 60));
}

TEST(WirePacket, MoreThanSixtyDataBytesAreRefusedForTheUsbBuffer) {
    UsbWirePacket wire;
    wire.fill(0xEE);
    EXPECT_EQ(CopyToWire(wire, Packet(1, 6, Bytes(61, 0x41))), kCopyToWirePacketTooLarge);
    EXPECT_EQ(wire, UsbWirePacket{});  // cleared, nothing copied
    LinkPacket maximal = Packet(1, 6, {});
    maximal.DL = 255;
    EXPECT_EQ(CopyToWire(wire, maximal), kCopyToWirePacketTooLarge);
    // A checksum is never written past the buffer for such a length.
    wire = Wire({1, 6, 61});
    EXPECT_EQ(AddChecksum(wire), 0u);
    EXPECT_EQ(wire, Wire({1, 6, 61}));
}

TEST(WirePacket, ReceivedPacketIsValidOnlyWithinSixtyBytesAndWithItsChecksum) {
    EXPECT_TRUE(IsValidChecksum(Wire({0x05, 0x06, 0x02, 0x41, 0x42, 0x90})));
    EXPECT_FALSE(IsValidChecksum(Wire({0x05, 0x06, 0x02, 0x41, 0x42, 0x91})));

    // DL 61 is invalid even when the last byte is the sum of all the bytes before it.
    UsbWirePacket wire = Wire({0x01, 0x06, 61});
    wire[63] = LinkChecksum(wire.data(), 63);
    EXPECT_FALSE(IsValidChecksum(wire));
    LinkPacket packet = Packet(9, 9, {1, 2, 3});
    EXPECT_FALSE(CopyFromWire(wire, packet));
    EXPECT_EQ(packet.DL, 0);
    EXPECT_EQ(packet.DA, 0);
}

TEST(WirePacket, DamagingAnyByteOfAPacketBreaksItsChecksum) {
    const Bytes good = WireOf(Packet(5, 6, {0x10, 0x20, 0x30, 0x40}));
    ASSERT_TRUE(IsValidChecksum(Wire(good)));
    for (std::size_t offset = 0; offset < good.size(); ++offset) {
        for (int flip = 1; flip < 256; ++flip) {
            Bytes damaged = good;
            damaged[offset] = static_cast<std::uint8_t>(damaged[offset] ^ flip);
            // A changed length moves the checksum byte, which may then match by chance; a length
            // above 60 never does.
            if (offset == 2 && damaged[2] <= 60) {
                continue;
            }
            EXPECT_FALSE(IsValidChecksum(Wire(damaged))) << "offset " << offset << " flip " << flip;
        }
    }
}

TEST(WirePacket, CopyFromWireTakesTheFieldsAndOnlyDataLengthBytes) {
    UsbWirePacket wire = Wire({0x05, 0x06, 0x02, 0x41, 0x42, 0x90, 0x77, 0x77});
    LinkPacket packet = Packet(1, 1, Bytes(10, 0x55));
    ASSERT_TRUE(CopyFromWire(wire, packet));
    EXPECT_EQ(packet.DA, 5);
    EXPECT_EQ(packet.DC, 6);
    EXPECT_EQ(packet.DL, 2);
    EXPECT_EQ(packet.data[0], 0x41);
    EXPECT_EQ(packet.data[1], 0x42);
    EXPECT_TRUE(std::all_of(packet.data.begin() + 2, packet.data.end(),
                            [](std::uint8_t byte) { return byte == 0; }));
}

TEST(BoardWirePacket, HasNoChecksumAndCopiesOnlyWhatWasReceived) {
    BoardWirePacket wire;
    EXPECT_EQ(CopyToBoardWire(wire, Packet(0, 6, {'H', 'I'})), 5u);
    EXPECT_EQ(Bytes(wire.begin(), wire.begin() + 6), (Bytes{0, 6, 2, 'H', 'I', 0}));
    LinkPacket oversized = Packet(1, 6, {});
    oversized.DL = 253;
    EXPECT_EQ(CopyToBoardWire(wire, oversized), 0u);

    // A length byte that claims more than the read brought copies only the bytes received.
    wire.fill(0x33);
    wire[0] = 1;
    wire[1] = 6;
    wire[2] = 255;
    LinkPacket packet;
    CopyFromBoardWire(wire, 5, packet);
    EXPECT_EQ(packet.DL, 255);
    EXPECT_EQ(packet.data[1], 0x33);
    EXPECT_EQ(packet.data[2], 0);
    CopyFromBoardWire(wire, kBoardWirePacketSize, packet);
    EXPECT_EQ(packet.data[kLinkPacketDataSize - 1], 0x33);
    CopyFromBoardWire(wire, 2, packet);
    EXPECT_EQ(packet.data[0], 0);
}

}  // namespace
}  // namespace lane::link
