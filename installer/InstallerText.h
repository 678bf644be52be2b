// printf-style message texts of the installer's log.
#pragma once

#include <string>

namespace lane::quillan {

// The text `format` gives with the arguments, as sprintf would write it (any length).
[[gnu::format(printf, 1, 2)]] std::string FormatText(const char* format, ...);

}  // namespace lane::quillan
