// A line typed at the console, as the utility's prompts read file names.
#pragma once

#include <cstddef>
#include <string>

#include "platform/Console.h"

namespace lane::moxtel {

// The longest file name typed at a prompt.
inline constexpr std::size_t kFileNameChars = 127;

// Reads one line at the keyboard, echoing it: Enter ends it, backspace takes the last character
// back, characters past `maxChars` are ignored. The end of input ends the line too.
[[nodiscard]] std::string ReadConsoleLine(platform::Console& console,
                                          std::size_t maxChars = kFileNameChars);

}  // namespace lane::moxtel
