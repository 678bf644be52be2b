// Texts the cash dispenser decoders make from device bytes: C-style hex and device strings.
#include "monitor/decoders/DeviceText.h"

#include <cstdio>

namespace lane::monitor {

namespace {

std::string HexDigits(unsigned value) {
    char buffer[16];
    std::snprintf(buffer, sizeof buffer, "%x", value);
    return buffer;
}

}  // namespace

std::string HexByte(std::uint8_t value) {
    return "0x" + HexDigits(value);
}

std::string HexValue(unsigned value) {
    return "0x" + HexDigits(value);
}

std::string AlternateHex(unsigned value) {
    return value == 0 ? std::string("0") : "0x" + HexDigits(value);
}

std::string DeviceString(const std::uint8_t* bytes, std::size_t count) {
    std::string text;
    for (std::size_t i = 0; i < count && bytes[i] != 0; ++i) {
        const std::uint8_t byte = bytes[i];
        if (byte < 0x80) {
            text.push_back(static_cast<char>(byte));
        } else {
            text.push_back(static_cast<char>(0xC0 | (byte >> 6)));
            text.push_back(static_cast<char>(0x80 | (byte & 0x3F)));
        }
    }
    return text;
}

}  // namespace lane::monitor
