// Hex dumps of byte runs as the trace and the logs print them.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace lane {

// Appends each byte as "%02X " while `text` is shorter than `stopAtLength` characters; later
// bytes are left out. Trace lines use 997 as the stop length.
void AppendHexBytes(std::string& text, const std::uint8_t* bytes, std::size_t count,
                    std::size_t stopAtLength);

inline constexpr std::size_t kTraceHexStop = 997;

}  // namespace lane
