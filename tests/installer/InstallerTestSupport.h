// Helpers of the installer's tests: a clock whose waits pass at once, recorded.
#pragma once

#include <atomic>
#include <cstdint>
#include <mutex>
#include <vector>

#include "common/Clock.h"

namespace lane::quillan::test {

// Every timed wait ends at once with the tick count moved to its deadline; the lengths of the
// waits are recorded. Waits without a deadline wait for their wake-up.
class SkippingClock final : public Clock {
  public:
    std::int64_t TickMs() const override { return tickMs_.load(); }
    WallTime Now() const override { return WallTime{wallSeconds, 0}; }
    void WaitUntil(WaitState& state, std::int64_t deadlineMs) override {
        if (deadlineMs == kInfiniteMs) {
            std::unique_lock<std::mutex> lock(state.mutex);
            state.cv.wait(lock, [&] { return state.signalled; });
            state.signalled = false;
            return;
        }
        std::lock_guard<std::mutex> lock(mutex_);
        const std::int64_t now = tickMs_.load();
        if (deadlineMs > now) {
            waits_.push_back(deadlineMs - now);
            tickMs_ = deadlineMs;
        }
    }
    std::vector<std::int64_t> Waits() const {
        std::lock_guard<std::mutex> lock(mutex_);
        return waits_;
    }

    std::time_t wallSeconds = 0;

  private:
    std::atomic<std::int64_t> tickMs_{0};
    mutable std::mutex mutex_;
    std::vector<std::int64_t> waits_;
};

}  // namespace lane::quillan::test
