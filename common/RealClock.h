// The production clock: the system's steady and wall clocks.
#pragma once

#include "common/Clock.h"

namespace lane {

class RealClock final : public Clock {
  public:
    std::int64_t TickMs() const override;
    WallTime Now() const override;
    void WaitUntil(WaitState& state, std::int64_t deadlineMs) override;
};

}  // namespace lane
