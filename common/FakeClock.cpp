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
        waiters_[&state] = deadlineMs;
        if (deadlineMs != kInfiniteMs) {
            ++timedWaiters_;
            ++waitsBegun_;
        }
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
        if (deadlineMs != kInfiniteMs) {
            --timedWaiters_;
        }
    }
    waitersChanged_.notify_all();
}

void FakeClock::AdvanceMs(std::int64_t stepMs) {
    std::lock_guard<std::mutex> lock(mutex_);
    tickMs_ += stepMs;
    for (const auto& [state, deadline] : waiters_) {
        // Taking the waiter's mutex orders the tick change before its predicate check.
        std::lock_guard<std::mutex> stateLock(state->mutex);
        state->cv.notify_all();
    }
}

int FakeClock::Waiters() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return timedWaiters_;
}

bool FakeClock::AwaitWaiters(int count, int realTimeoutMs) const {
    std::unique_lock<std::mutex> lock(mutex_);
    return waitersChanged_.wait_for(lock, std::chrono::milliseconds(realTimeoutMs),
                                    [&] { return timedWaiters_ >= count; });
}

}  // namespace lane

namespace lane {

std::int64_t FakeClock::AwaitDeadline(const std::function<bool(std::int64_t)>& matches,
                                      int realTimeoutMs) const {
    std::unique_lock<std::mutex> lock(mutex_);
    std::int64_t found = kInfiniteMs;
    waitersChanged_.wait_for(lock, std::chrono::milliseconds(realTimeoutMs), [&] {
        for (const auto& [state, deadline] : waiters_) {
            if (deadline != kInfiniteMs && matches(deadline)) {
                found = deadline;
                return true;
            }
        }
        return false;
    });
    return found;
}

std::int64_t FakeClock::EarliestDeadlineMs() const {
    std::lock_guard<std::mutex> lock(mutex_);
    std::int64_t earliest = kInfiniteMs;
    for (const auto& [state, deadline] : waiters_) {
        if (deadline != kInfiniteMs && (earliest == kInfiniteMs || deadline < earliest)) {
            earliest = deadline;
        }
    }
    return earliest;
}

std::uint64_t FakeClock::WaitsBegun() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return waitsBegun_;
}

bool FakeClock::AwaitWaitAfter(std::uint64_t waitsBegun, int realTimeoutMs) const {
    std::unique_lock<std::mutex> lock(mutex_);
    return waitersChanged_.wait_for(lock, std::chrono::milliseconds(realTimeoutMs),
                                    [&] { return waitsBegun_ > waitsBegun && timedWaiters_ > 0; });
}

}  // namespace lane
