// Manual-reset events, one-shot waitable timers and the wait for any of them.
#include "common/Waitable.h"

#include <algorithm>

namespace lane {

void Waitable::Attach(WaitState* state) {
    std::lock_guard<std::mutex> lock(mutex_);
    waiters_.push_back(state);
}

void Waitable::Detach(WaitState* state) {
    std::lock_guard<std::mutex> lock(mutex_);
    waiters_.erase(std::remove(waiters_.begin(), waiters_.end(), state), waiters_.end());
}

void Waitable::WakeWaiters() {
    // Called with mutex_ held; a waiter never takes mutex_ while holding its own state mutex.
    for (WaitState* state : waiters_) {
        state->Wake();
    }
}

void ManualResetEvent::Set() {
    std::lock_guard<std::mutex> lock(mutex_);
    if (set_) {
        return;  // every waiter was woken when it became set and sees it set still
    }
    set_ = true;
    WakeWaiters();
}

void ManualResetEvent::Reset() {
    std::lock_guard<std::mutex> lock(mutex_);
    set_ = false;
}

bool ManualResetEvent::IsSet() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return set_;
}

void WaitableTimer::SetRelative(std::int64_t dueInMs) {
    std::lock_guard<std::mutex> lock(mutex_);
    dueMs_ = clock_.TickMs() + (dueInMs < 0 ? 0 : dueInMs);
    WakeWaiters();  // waiters recompute their deadline
}

void WaitableTimer::Cancel() {
    std::lock_guard<std::mutex> lock(mutex_);
    dueMs_ = kInfiniteMs;
}

bool WaitableTimer::IsSignalled(std::int64_t nowMs) const {
    std::lock_guard<std::mutex> lock(mutex_);
    return dueMs_ != kInfiniteMs && nowMs >= dueMs_;
}

std::int64_t WaitableTimer::DueMs() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return dueMs_;
}

namespace {

int FirstSignalled(const std::vector<Waitable*>& objects, std::int64_t nowMs) {
    for (std::size_t i = 0; i < objects.size(); ++i) {
        if (objects[i]->IsSignalled(nowMs)) {
            return static_cast<int>(i);
        }
    }
    return kWaitTimeout;
}

std::int64_t EarliestDeadline(const std::vector<Waitable*>& objects, std::int64_t timeoutDeadline) {
    std::int64_t deadline = timeoutDeadline;
    for (const Waitable* object : objects) {
        const std::int64_t due = object->DueMs();
        if (due != kInfiniteMs && (deadline == kInfiniteMs || due < deadline)) {
            deadline = due;
        }
    }
    return deadline;
}

}  // namespace

int WaitForAny(Clock& clock, const std::vector<Waitable*>& objects, std::int64_t timeoutMs) {
    WaitState state;
    for (Waitable* object : objects) {
        object->Attach(&state);
    }
    const std::int64_t timeoutDeadline =
        timeoutMs == kInfiniteMs ? kInfiniteMs : clock.TickMs() + timeoutMs;
    int result = kWaitTimeout;
    for (;;) {
        const std::int64_t nowMs = clock.TickMs();
        result = FirstSignalled(objects, nowMs);
        if (result != kWaitTimeout) {
            break;
        }
        if (timeoutDeadline != kInfiniteMs && nowMs >= timeoutDeadline) {
            break;
        }
        clock.WaitUntil(state, EarliestDeadline(objects, timeoutDeadline));
    }
    for (Waitable* object : objects) {
        object->Detach(&state);
    }
    return result;
}

int WaitForAny(Clock& clock, std::initializer_list<Waitable*> objects, std::int64_t timeoutMs) {
    return WaitForAny(clock, std::vector<Waitable*>(objects), timeoutMs);
}

bool WaitFor(Clock& clock, Waitable& object, std::int64_t timeoutMs) {
    return WaitForAny(clock, {&object}, timeoutMs) == 0;
}

}  // namespace lane
