// Trace texts of the security module's own events, and the text of a message's trace line.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "monitor/acquisition/FrameTable.h"
#include "monitor/acquisition/MonitorMessage.h"

namespace lane::monitor {

// The fixed description of a security-module, conveyor, scale or cash-system event (" - Lane
// Light On"), or "" when the code and sub-code have none.
const char* SecurityModuleDescription(std::uint8_t code, std::uint8_t subCode);

// True for the cash devices' codes, whose descriptions come from their decoders' FormatTrace.
bool IsDescribedByDecoder(std::uint8_t code);

// "A3 01  - Lane Light On", "B2 02 [02] 41 42  - Data FROM Cash System": the code, sub-code,
// length and data in hex, then the description (`decoderText` for the cash devices' codes).
std::string MessageTraceText(const MonitorMessage& message, const std::string& decoderText);
// The same text appended to `text`.
void AppendMessageTraceText(std::string& text, const MonitorMessage& message,
                            std::string_view decoderText);

}  // namespace lane::monitor
