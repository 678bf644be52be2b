// The cash dispensers' lane events ("dispense 20x2 5x1", "bill-dispenser jam 2", "coin-dispenser
// low", "cassette removed 3", "cash-pocket light on"): the frames the security module sends.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace lane::sim::parse {

// True when `command` (any case) begins a dispenser event.
bool IsDispenserEvent(std::string_view command);

// The frames of one dispenser event, its words in lower case. False (and no bytes) when the words
// are no dispenser event or a value is out of range.
bool DispenserEventFrames(const std::vector<std::string>& words, std::vector<std::uint8_t>& frames);

// The forms of the dispenser events, for the error of a bad line.
inline constexpr const char* kDispenserEventForms =
    "dispense VxN... (V 1|5|10|20, N 1..999), bill-dispenser jam 1..6|unjam|low 1..4|refilled|"
    "offline|online, cassette removed|replaced 1..4, coins dispensed [1..99], coin-dispenser "
    "low|ready|offline, cash-pocket light on|buzzer on|bill|no-bill|complete";

}  // namespace lane::sim::parse
