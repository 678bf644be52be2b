// The production clock: the system's steady and wall clocks.
#include "common/RealClock.h"

#include <chrono>

namespace lane {

std::int64_t RealClock::TickMs() const {
    using namespace std::chrono;
    return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

WallTime RealClock::Now() const {
    using namespace std::chrono;
    const auto sinceEpochMs =
        duration_cast<milliseconds>(system_clock::now().time_since_epoch()).count();
    return WallTime{static_cast<std::time_t>(sinceEpochMs / 1000),
                    static_cast<unsigned>(sinceEpochMs % 1000)};
}

void RealClock::WaitUntil(WaitState& state, std::int64_t deadlineMs) {
    std::unique_lock<std::mutex> lock(state.mutex);
    if (deadlineMs == kInfiniteMs) {
        state.cv.wait(lock, [&] { return state.signalled; });
    } else {
        const auto remaining = std::chrono::milliseconds(deadlineMs - TickMs());
        state.cv.wait_for(lock, remaining, [&] { return state.signalled; });
    }
    state.signalled = false;
}

}  // namespace lane
