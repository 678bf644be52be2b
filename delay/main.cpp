// Tembo: waits twelve seconds and ends with 0, whatever its command line says.
#include <cstdlib>

#include "common/RealClock.h"
#include "common/ScaledClock.h"
#include "delay/Tembo.h"

int main() {
    lane::RealClock realClock;
    // Tests may speed the wait up (LANE_TEST_TIME_SCALE); unset, the twelve seconds are real.
    lane::ScaledClock clock(realClock,
                            lane::TimeScaleFromText(std::getenv(lane::kTestTimeScaleVariable)));
    return lane::delay::RunTembo(clock);
}
