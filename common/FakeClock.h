// A clock that stands still until a test advances it; waits wake when their deadline is reached.
#pragma once

#include <atomic>
#include <functional>
#include <map>
#include <mutex>

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
    // Number of threads blocked in WaitUntil with a deadline (waits without one never end by
    // the clock, so tests do not count them).
    int Waiters() const;
    // Blocks (real time, bounded by `realTimeoutMs`) until at least `count` threads wait on this
    // clock with a deadline. Tests call it before advancing so that a waiter has its deadline.
    bool AwaitWaiters(int count, int realTimeoutMs = 5000) const;
    // Blocks (real time, bounded) until a thread waits with a deadline that `matches`, and
    // returns that deadline, or kInfiniteMs when none came in time. Tests use it to find one
    // thread's wait among the timers of others.
    std::int64_t AwaitDeadline(const std::function<bool(std::int64_t deadlineMs)>& matches,
                               int realTimeoutMs = 5000) const;
    // The earliest deadline of the threads waiting now, or kInfiniteMs.
    std::int64_t EarliestDeadlineMs() const;
    // Number of waits with a deadline begun on this clock so far.
    std::uint64_t WaitsBegun() const;
    // Blocks (real time, bounded) until more than `waitsBegun` timed waits have begun and one is
    // blocked: the way to know that a thread has moved on to its next timed wait.
    bool AwaitWaitAfter(std::uint64_t waitsBegun, int realTimeoutMs = 5000) const;

  private:
    const std::time_t wallStartSeconds_;
    const unsigned wallStartMs_;
    std::atomic<std::int64_t> tickMs_{0};
    mutable std::mutex mutex_;
    mutable std::condition_variable waitersChanged_;
    std::map<WaitState*, std::int64_t> waiters_;  // with their deadlines
    int timedWaiters_ = 0;
    std::uint64_t waitsBegun_ = 0;
};

}  // namespace lane
