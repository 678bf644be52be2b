// A clock on which every wait is divided by a whole factor.
#include "common/ScaledClock.h"

namespace lane {

ScaledClock::ScaledClock(Clock& base, std::int64_t factor)
    : base_(base), factor_(factor < 1 ? 1 : factor), startMs_(base.TickMs()) {}

std::int64_t ScaledClock::TickMs() const {
    return startMs_ + (base_.TickMs() - startMs_) * factor_;
}

WallTime ScaledClock::Now() const {
    return base_.Now();
}

void ScaledClock::WaitUntil(WaitState& state, std::int64_t deadlineMs) {
    if (deadlineMs == kInfiniteMs) {
        base_.WaitUntil(state, kInfiniteMs);
        return;
    }
    // The first base tick at which this clock has reached the deadline (rounded up).
    const std::int64_t aheadMs = deadlineMs - startMs_;
    const std::int64_t baseAheadMs = aheadMs <= 0 ? 0 : (aheadMs + factor_ - 1) / factor_;
    base_.WaitUntil(state, startMs_ + baseAheadMs);
}

std::int64_t TimeScaleFromText(const char* text) {
    if (text == nullptr || *text == '\0') {
        return 1;
    }
    std::int64_t value = 0;
    for (const char* c = text; *c != '\0'; ++c) {
        if (*c < '0' || *c > '9') {
            return 1;
        }
        value = value * 10 + (*c - '0');
        if (value > kMaxTimeScale) {
            return 1;
        }
    }
    return value < 1 ? 1 : value;
}

}  // namespace lane
