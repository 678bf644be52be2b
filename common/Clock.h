// The clock every sleep, wait, tick and local time of the suite goes through.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <ctime>
#include <mutex>

namespace lane {

// One instant of wall-clock time: whole seconds since the epoch and the milliseconds past them.
struct WallTime {
    std::time_t seconds = 0;
    unsigned milliseconds = 0;
};

// What a thread blocks on while it waits: events and the clock wake it by setting `signalled`.
class WaitState {
  public:
    void Wake();
    std::mutex mutex;
    std::condition_variable cv;
    bool signalled = false;
};

inline constexpr std::int64_t kInfiniteMs = -1;

class Clock {
  public:
    virtual ~Clock() = default;

    // Monotonic milliseconds, the tick count of the system.
    virtual std::int64_t TickMs() const = 0;
    // Wall-clock time, used for time stamps and local-time texts.
    virtual WallTime Now() const = 0;
    // Blocks until `state` is woken or the tick count reaches `deadlineMs` (kInfiniteMs: no
    // deadline). Clears `state.signalled` before it returns.
    virtual void WaitUntil(WaitState& state, std::int64_t deadlineMs) = 0;

    void SleepMs(std::int64_t sleepMs);
};

}  // namespace lane
