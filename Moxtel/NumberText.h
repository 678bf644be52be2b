// The utility's readings of numbers and names typed on the command line or in its configuration.
#pragma once

#include <cstdint>
#include <string_view>

namespace lane::moxtel {

// The leading decimal number of `text` as atoi reads it: blanks, an optional sign, digits up to
// the first other character; no digits give 0; a number beyond the int range is held at its
// limit.
int DecimalValue(std::string_view text);

// The leading hexadecimal number of `text` as "%x" reads it: blanks, an optional "0x", hex digits
// up to the first other character, kept modulo 2^32; no digits give 0.
std::uint32_t HexValue(std::string_view text);

// True when `text` is a hexadecimal number of 32 bits at most and nothing else: an optional "0x",
// then one to eight hex digits.
bool IsHexNumber(std::string_view text);

// True when the texts are equal ignoring the case of ASCII letters.
bool EqualsIgnoringCase(std::string_view a, std::string_view b);

}  // namespace lane::moxtel
