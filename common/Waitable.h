// Manual-reset events, one-shot waitable timers and the wait for any of them.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <mutex>
#include <vector>

#include "common/Clock.h"

namespace lane {

// Something a thread can wait on. Signalled objects stay signalled until reset.
class Waitable {
  public:
    virtual ~Waitable() = default;
    virtual bool IsSignalled(std::int64_t nowMs) const = 0;
    // Tick at which the object becomes signalled on its own (timers), or kInfiniteMs.
    virtual std::int64_t DueMs() const { return kInfiniteMs; }

    void Attach(WaitState* state);
    void Detach(WaitState* state);

  protected:
    void WakeWaiters();
    mutable std::mutex mutex_;

  private:
    std::vector<WaitState*> waiters_;
};

// A manual-reset event, clear until Set and set until Reset.
class ManualResetEvent final : public Waitable {
  public:
    explicit ManualResetEvent(bool initiallySet = false) : set_(initiallySet) {}
    void Set();
    void Reset();
    bool IsSet() const;
    bool IsSignalled(std::int64_t) const override { return IsSet(); }

  private:
    bool set_;
};

// A one-shot relative timer: signalled once its due time has come, until it is set again.
class WaitableTimer final : public Waitable {
  public:
    explicit WaitableTimer(Clock& clock) : clock_(clock) {}
    // Arms the timer to fire `dueInMs` from now and clears its signalled state.
    void SetRelative(std::int64_t dueInMs);
    void Cancel();
    bool IsSignalled(std::int64_t nowMs) const override;
    std::int64_t DueMs() const override;

  private:
    Clock& clock_;
    std::int64_t dueMs_ = kInfiniteMs;
};

inline constexpr int kWaitTimeout = -1;

// Waits until one of `objects` is signalled or `timeoutMs` passes (kInfiniteMs: no limit).
// Returns the index of the first signalled object in the list, or kWaitTimeout.
int WaitForAny(Clock& clock, std::initializer_list<Waitable*> objects, std::int64_t timeoutMs);
int WaitForAny(Clock& clock, const std::vector<Waitable*>& objects, std::int64_t timeoutMs);

// Waits for one object; true when it was signalled before the timeout.
bool WaitFor(Clock& clock, Waitable& object, std::int64_t timeoutMs);

}  // namespace lane
