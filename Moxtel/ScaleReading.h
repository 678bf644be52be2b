// The security scale's reading stream on the service port: reading packets ('s' '7'), the EU
// reply ('s' 'G'), and the texts the scale test shows and captures for one reading.
#pragma once

#include <cstdint>
#include <string>

#include "link/TMCB_Support.h"

namespace lane::moxtel {

// One reading as the module streams it.
struct ScaleReading {
    std::uint8_t flags = 0;        // bit 0 unstable, bit 1 negative weight
    std::uint16_t weight = 0;      // wire bytes 6 (high) and 7
    std::uint16_t noise = 0;       // wire bytes 8 (high) and 9
    std::uint8_t stableLimit = 0;  // wire byte 10
    std::uint8_t weightHigh = 0;   // as sent, for the display
    std::uint8_t weightLow = 0;
    std::uint8_t noiseHigh = 0;
    std::uint8_t noiseLow = 0;

    bool Unstable() const { return (flags & 0x01U) != 0; }
    bool Negative() const { return (flags & 0x02U) != 0; }
};

// True, with the reading, when `packet` is a port-6 reading that holds every byte up to the
// stable limit; anything else (another port, another reply, a short packet) is no reading.
[[nodiscard]] bool ReadScaleReading(const link::LinkPacket& packet, ScaleReading& reading);
// True, with the EU value (byte 5 x 256 + byte 6), when `packet` is the port-6 EU reply.
[[nodiscard]] bool ReadEuReply(const link::LinkPacket& packet, unsigned& euValue);

// The display line of a reading: "NEG " when negative, weight and noise as sent in hex, then
// "  UNSTABLE *******\n" or "  STABLE\n".
std::string ScaleDisplayLine(const ScaleReading& reading);
// The capture file's line: unstable bit, weight, noise, stable limit, each followed by a comma.
std::string ScaleCaptureLine(const ScaleReading& reading);

}  // namespace lane::moxtel
