// Texts the cash dispenser decoders make from device bytes: C-style hex and device strings.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace lane::monitor {

// "0x" and the byte's value in lower-case hex without leading zeros ("0x80", "0x0"); the byte is
// always read as unsigned.
std::string HexByte(std::uint8_t value);
// As HexByte, for any unsigned value ("0x1a2b").
std::string HexValue(unsigned value);

// The value as C's "%#x" writes it: "0" for zero, otherwise "0x" and lower-case hex digits.
std::string AlternateHex(unsigned value);

// The bytes up to the first zero (at most `count`), as a UTF-8 text: bytes from 0x80 up are
// taken as Latin-1 characters, so a device string never makes a trace line invalid UTF-8.
std::string DeviceString(const std::uint8_t* bytes, std::size_t count);

}  // namespace lane::monitor
