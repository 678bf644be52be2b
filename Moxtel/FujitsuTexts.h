// What the Fujitsu bill dispenser's screens print for the bytes of its data block: the names of
// the set bits of its registers, a cassette's type and low state, the currency of its ISO code,
// and the thickness sensor's graph line.
#pragma once

#include <cstdint>
#include <string>

namespace lane::moxtel {

enum class FujitsuRegister { Status, Error1, Error2, Error3, Sensor1, Sensor2, Sensor3 };

// The names of the set bits, bit 7 first, or the register's text for 0 ("All Clear",
// "No Errors").
std::string FujitsuRegisterText(FujitsuRegister which, std::uint8_t value);

// "A Cassette," and " Bills Low" when bit 7 is set; "None" for no cassette.
std::string FujitsuCassetteText(std::uint8_t status);
// The cassette's letter ('A' to 'I'), or 0 for none or an unknown type.
char FujitsuCassetteLetter(std::uint8_t status);

// The country of a three-letter currency code ("Hungary" for HU..., "US" for anything unknown).
const char* FujitsuCurrencyName(char first, char second);

// The thickness sensor's valid range, its normal band and the graph's columns.
inline constexpr int kFujitsuGraphWidth = 80;
inline constexpr int kFujitsuGraphOrigin = 176;  // the value at column 0
inline constexpr int kFujitsuThicknessLowest = 223;
inline constexpr int kFujitsuThicknessHighest = 239;
inline constexpr int kFujitsuNormalLowest = 229;
inline constexpr int kFujitsuNormalHighest = 233;
// The console code page's vertical box-drawing bar.
inline constexpr char kFujitsuGraphBar = static_cast<char>(179);

// 80 characters: bars at the range's ends, dots over the normal band, '*' at the value (column 0
// below the graph's origin; nothing past its right end).
std::string FujitsuThicknessGraphLine(std::uint8_t value);

}  // namespace lane::moxtel
