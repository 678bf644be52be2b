// Reading packets of the scale stream and the texts of one reading.
#include "Moxtel/ScaleReading.h"

#include <cstdio>

#include "Moxtel/securitymodule_commands.h"
#include "link/LinkConfig.h"

namespace lane::moxtel {

namespace {

// Wire bytes 3 and 4 of a reading and of the EU reply.
constexpr std::uint8_t kReplyLetter = 's';
constexpr std::uint8_t kReadingCode = '7';
constexpr std::uint8_t kEuCode = 'G';
// The last wire byte each of them needs.
constexpr std::size_t kReadingLastByte = 10;
constexpr std::size_t kEuLastByte = 6;

bool IsServiceReply(const link::LinkPacket& packet, std::uint8_t code, std::size_t last) {
    return packet.DA == link::kServicePort && packet.DC == link::TMCB_DC_PORT_DATA &&
           Holds(packet, last) && WireByte(packet, 3) == kReplyLetter &&
           WireByte(packet, 4) == code;
}

}  // namespace

bool ReadScaleReading(const link::LinkPacket& packet, ScaleReading& reading) {
    if (!IsServiceReply(packet, kReadingCode, kReadingLastByte)) {
        return false;
    }
    reading.flags = WireByte(packet, 5);
    reading.weightHigh = WireByte(packet, 6);
    reading.weightLow = WireByte(packet, 7);
    reading.noiseHigh = WireByte(packet, 8);
    reading.noiseLow = WireByte(packet, 9);
    reading.weight = static_cast<std::uint16_t>(reading.weightHigh * 256U + reading.weightLow);
    reading.noise = static_cast<std::uint16_t>(reading.noiseHigh * 256U + reading.noiseLow);
    reading.stableLimit = WireByte(packet, 10);
    return true;
}

bool ReadEuReply(const link::LinkPacket& packet, unsigned& euValue) {
    if (!IsServiceReply(packet, kEuCode, kEuLastByte)) {
        return false;
    }
    euValue = WireByte(packet, 5) * 256U + WireByte(packet, 6);
    return true;
}

std::string ScaleDisplayLine(const ScaleReading& reading) {
    char text[64];
    std::snprintf(text, sizeof text, "%s%.2x%.2x  -  %.2x%.2x  -  %s",
                  reading.Negative() ? "NEG " : "", reading.weightHigh, reading.weightLow,
                  reading.noiseHigh, reading.noiseLow,
                  reading.Unstable() ? "  UNSTABLE *******\n" : "  STABLE\n");
    return text;
}

std::string ScaleCaptureLine(const ScaleReading& reading) {
    char text[64];
    std::snprintf(text, sizeof text, "%02X,%d,%d,%d,\n", reading.flags & 0x01U,
                  static_cast<int>(reading.weight), static_cast<int>(reading.noise),
                  static_cast<int>(reading.stableLimit));
    return text;
}

}  // namespace lane::moxtel
