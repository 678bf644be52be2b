// A clock that stands still until a test advances it.
#include "common/FakeClock.h"

#include <chrono>

namespace lane {

WallTime FakeClock::Now() const {
    const std::int64_t totalMs = static_cast<std::int64_t>(wallStartMs_) + tickMs_.load();
    return WallTime{wallStartSeconds_ + static_cast<std::time_t>(totalMs / 1000),
                    static_cast<unsigned>(totalMs % 1000)};
}

void FakeClock::WaitUntil(WaitState& state, std::int64_t deadlineMs) {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        waiters_.insert(&state);
    }
    waitersChanged_.notify_all();
    {
        std::unique_lock<std::mutex> lock(state.mutex);
        state.cv.wait(lock, [&] {
            return state.signalled || (deadlineMs != kInfiniteMs && tickMs_.load() >= deadlineMs);
        });
        state.signalled = false;
    }
    {
        std::lock_guard<std::mutex> lock(mutex_);
        waiters_.erase(&state);
    }
    waitersChanged_.notify_all();
}

void FakeClock::AdvanceMs(std::int64_t stepMs) {
    std::lock_guard<std::mutex> lock(mutex_);
    tickMs_ += stepMs;
    for (WaitState* state : waiters_) {
        // Taking the waiter's mutex orders the tick change before its predicate check.
        std::lock_guard<std::mutex> stateLock(state->mutex);
        state->cv.notify_all();
    }
}

int FakeClock::Waiters() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return static_cast<int>(waiters_.size());
}

bool FakeClock::AwaitWaiters(int count, int realTimeoutMs) const {
    std::unique_lock<std::mutex> lock(mutex_);
    return waitersChanged_.wait_for(lock, std::chrono::milliseconds(realTimeoutMs),
                                    [&] { return static_cast<int>(waiters_.size()) >= count; });
}

}  // namespace lane
