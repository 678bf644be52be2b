// Tembo, the delay tool: lets twelve seconds pass between the steps of the update batch files.
#include "delay/Tembo.h"

namespace lane::delay {

void Delay(Clock& clock, std::int64_t delayMs) {
    clock.SleepMs(delayMs <= 0 ? 1 : delayMs);
}

int RunTembo(Clock& clock) {
    Delay(clock, kTemboDelayMs);
    return 0;
}

}  // namespace lane::delay
