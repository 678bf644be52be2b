// The two ways the fuzz targets cut their input into received link packets.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "link/TMCB_Support.h"

namespace lane::fuzz {

// DA (masked with `addressMask`), DC, DL and as many data bytes as DL asks for and the input and
// the packet still hold; the packet's DL says how many it got.
inline std::vector<link::LinkPacket> Packets(const std::uint8_t* data, std::size_t size,
                                             std::uint8_t addressMask = 0xFF) {
    std::vector<link::LinkPacket> packets;
    std::size_t at = 0;
    while (size - at >= 3) {
        link::LinkPacket packet;
        packet.DA = static_cast<std::uint8_t>(data[at] & addressMask);
        packet.DC = data[at + 1];
        const std::size_t wanted = data[at + 2];
        at += 3;
        const std::size_t length = std::min({wanted, size - at, link::kLinkPacketDataSize});
        packet.DL = static_cast<std::uint8_t>(length);
        std::copy_n(data + at, length, packet.data.begin());
        at += length;
        packets.push_back(packet);
    }
    return packets;
}

// The packet at `at` (which must be below `size`) of an input made of length-prefixed packets:
// a length byte, then DA, DC, DL and data, as many as the length says and the input holds. DL
// is kept as given, so it may claim more than was copied, as it may on the wire. Moves `at` on.
inline link::LinkPacket NextClaimedPacket(const std::uint8_t* data, std::size_t size,
                                          std::size_t& at) {
    const std::size_t length = std::min<std::size_t>(data[at], size - at - 1);
    link::LinkPacket packet;
    const std::uint8_t* bytes = data + at + 1;
    packet.DA = length > 0 ? bytes[0] : 0;
    packet.DC = length > 1 ? bytes[1] : 0;
    packet.DL = length > 2 ? bytes[2] : 0;
    for (std::size_t i = 3; i < length && i - 3 < packet.data.size(); ++i) {
        packet.data[i - 3] = bytes[i];
    }
    at += 1 + length;
    return packet;
}

}  // namespace lane::fuzz
