// Shared parts of the clock interface.
#include "common/Clock.h"

namespace lane {

void WaitState::Wake() {
    {
        std::lock_guard<std::mutex> lock(mutex);
        if (signalled) {
            return;  // already woken and not yet awake: one wake-up is enough
        }
        signalled = true;
    }
    // A wait state belongs to the one thread that waits on it.
    cv.notify_one();
}

void Clock::SleepMs(std::int64_t sleepMs) {
    WaitState state;
    const std::int64_t deadlineMs = TickMs() + (sleepMs < 0 ? 0 : sleepMs);
    while (TickMs() < deadlineMs) {
        WaitUntil(state, deadlineMs);
    }
}

}  // namespace lane
