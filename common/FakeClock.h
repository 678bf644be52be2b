// A clock that stands still until a test advances it; waits wake when their deadline is reached.
#pragma once

#include <atomic>
#include <mutex>
#include <set>

#include "common/Clock.h"

namespace lane {

class FakeClock final : public Clock {
  public:
    // Starts at `start` wall time (local interpretation is the caller's) and tick 0.
    explicit FakeClock(WallTime start = WallTime{})
        : wallStartSeconds_(start.seconds), wallStartMs_(start.milliseconds) {}

    std::int64_t TickMs() const override { return tickMs_.load(); }
    WallTime Now() const override;
    void WaitUntil(WaitState& state, std::int64_t deadlineMs) override;

    // Moves time on and wakes every waiter whose deadline has come.
    void AdvanceMs(std::int64_t stepMs);
    // Number of threads blocked in WaitUntil with a deadline or none.
    int Waiters() const;
    // Blocks (real time, bounded by `realTimeoutMs`) until at least `count` threads wait on this
    // clock. Tests call it before advancing so that a waiter has taken its deadline.
    bool AwaitWaiters(int count, int realTimeoutMs = 5000) const;

  private:
    const std::time_t wallStartSeconds_;
    const unsigned wallStartMs_;
    std::atomic<std::int64_t> tickMs_{0};
    mutable std::mutex mutex_;
    mutable std::condition_variable waitersChanged_;
    std::set<WaitState*> waiters_;
};

}  // namespace lane
