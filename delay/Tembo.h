// Tembo, the delay tool: lets twelve seconds pass between the steps of the update batch files.
#pragma once

#include <cstdint>

#include "common/Clock.h"

namespace lane::delay {

inline constexpr std::int64_t kTemboDelayMs = 12000;

// Sleeps `delayMs` on the clock in one call; a request of 0 becomes 1 ms, as the system sleep is
// never asked for nothing.
void Delay(Clock& clock, std::int64_t delayMs);

// The whole tool: one twelve-second sleep; arguments are ignored. Returns the exit code, 0.
int RunTembo(Clock& clock);

}  // namespace lane::delay
