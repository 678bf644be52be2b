// What the operator types at the device items: one key, upper-cased and echoed; a line ended by
// Enter; the decimal number a line starts with.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "Moxtel/UtilityRun.h"

namespace lane::moxtel {

// The longest answer line kept; characters typed past it are dropped.
inline constexpr std::size_t kOperatorLineChars = 80;

// One key, upper-cased and echoed with a line end.
char ReadMenuKey(UtilityRun& run);
// A line up to Enter (or the end of input), echoed; backspace takes the last character back.
std::string ReadOperatorLine(platform::Console& console, std::size_t maxChars);
// The decimal number at the start of `text` after blanks (0 when there is none), as the C
// library's atoi reads it but without overflow: digits past 32 bits wrap.
std::uint32_t DecimalPrefix(std::string_view text);

}  // namespace lane::moxtel
