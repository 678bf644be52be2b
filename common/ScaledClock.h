// A clock on which time runs faster than on another by a whole factor: every wait is divided by
// the factor. Tests set it up through an environment variable to run long waits quickly.
#pragma once

#include <cstdint>
#include <string>

#include "common/Clock.h"

namespace lane {

// The environment variable that selects the time scale of Tembo and Quillan in tests.
inline constexpr const char* kTestTimeScaleVariable = "LANE_TEST_TIME_SCALE";
// The largest factor accepted.
inline constexpr std::int64_t kMaxTimeScale = 1000000;

class ScaledClock final : public Clock {
  public:
    // `factor` of 1 or more; the tick count starts where `base`'s stands now.
    ScaledClock(Clock& base, std::int64_t factor);

    std::int64_t Factor() const { return factor_; }
    // The base's tick count, the time since construction multiplied by the factor.
    std::int64_t TickMs() const override;
    // Wall-clock time stays the base's, so time stamps remain true.
    WallTime Now() const override;
    void WaitUntil(WaitState& state, std::int64_t deadlineMs) override;

  private:
    Clock& base_;
    const std::int64_t factor_;
    const std::int64_t startMs_;
};

// The factor a variable's text asks for: a whole number from 1 to kMaxTimeScale. Unset, empty or
// anything else gives 1 (real time), so a mistyped value never speeds up a real lane.
std::int64_t TimeScaleFromText(const char* text);

}  // namespace lane
