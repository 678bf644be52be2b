// Command_CashCounting: the security module's cash counting buffers behind the cash port:
// zeroed with the local date and time, or dumped with the time of their last zeroing and the
// counts of the four cash devices.
#pragma once

#include <cstddef>
#include <string>

#include "Moxtel/UtilityRun.h"
#include "link/TMCB_Support.h"

namespace lane::moxtel {

// The cash counting replies are awaited this long (in steps of 100 ms).
inline constexpr int kCashBufferWaitCount = 400;

// The twelve characters the zeroing sends after 'S' '5': month, day, "20", year, hour, minute
// of "MM/DD/YY" and "HH:MM:SS" (the seconds are not sent).
std::string ZeroingStamp(const std::string& date, const std::string& time);
// `count` 16-bit values, high byte first, from wire byte 8 of a dump reply, as "%d" values
// separated by commas; a value past the packet's data reads as 0.
std::string DumpValues(const link::LinkPacket& reply, std::size_t count);

// ZeroCashBuffers and DumpCashBuffers: one handler that branches on the command name.
[[nodiscard]] int Command_CashCounting(UtilityRun& run);

}  // namespace lane::moxtel
