// Tembo: waits twelve seconds and ends with 0, whatever its command line says.
#include "common/RealClock.h"
#include "delay/Tembo.h"

int main() {
    lane::RealClock clock;
    return lane::delay::RunTembo(clock);
}
