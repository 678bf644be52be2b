// Plays a scenario's steps on the simulator pipe, every wait on the clock and the stop event.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "common/Clock.h"
#include "common/Waitable.h"
#include "sim/PipeFace.h"
#include "sim/Scenario.h"

namespace lane::sim {

enum PlayResult : int {
    kPlayDone = 0,      // every step played and the end reached
    kPlayStopped = 1,   // `stop` was set
    kPlayTimedOut = 2,  // a connect, expect or drop step ran out of time
};

class Player {
  public:
    // Delays are divided by `speed` (greater than 0); time-outs and the hold are not.
    Player(const Scenario& scenario, PipeFace& face, Clock& clock, Waitable& stop, double speed);

    // Plays every step, then holds the connection open until the monitor closes it or the
    // scenario's hold time runs out. On kPlayTimedOut, `message` names the line and the wait.
    [[nodiscard]] int Run(std::string& message);

  private:
    int Play(const std::vector<Step>& steps);
    int PlayStep(const Step& step);
    int AwaitConnection(const Step& step, std::int64_t deadlineMs);
    int Send(const Step& step);
    int Expect(const Step& step);
    int Delay(const Step& step);
    int Hold();
    std::int64_t DeadlineAfter(std::int64_t timeoutMs) const;
    std::int64_t LeftMs(std::int64_t deadlineMs) const;

    const Scenario& scenario_;
    PipeFace& face_;
    Clock& clock_;
    Waitable& stop_;
    double speed_;
    std::string message_;
};

}  // namespace lane::sim
