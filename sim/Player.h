// Plays a scenario's steps on the simulator pipe and the security module, every wait on the
// clock and the stop event.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "common/Clock.h"
#include "common/Waitable.h"
#include "sim/ModuleFace.h"
#include "sim/PipeFace.h"
#include "sim/Scenario.h"

namespace lane::sim {

enum PlayResult : int {
    kPlayDone = 0,      // every step played and the end reached
    kPlayStopped = 1,   // `stop` was set
    kPlayTimedOut = 2,  // a connect, expect or drop step ran out of time
    kPlayNoFace = 3,    // a step needs a face that is not served
};

// The faces a player plays on; a scenario's steps need the faces it uses.
struct Faces {
    PipeFace* pipe = nullptr;
    ModuleFace* module = nullptr;
};

class Player {
  public:
    // Delays are divided by `speed` (greater than 0); time-outs and the hold are not.
    Player(const Scenario& scenario, Faces faces, Clock& clock, Waitable& stop, double speed);
    // The simulator pipe alone.
    Player(const Scenario& scenario, PipeFace& face, Clock& clock, Waitable& stop, double speed)
        : Player(scenario, Faces{&face, nullptr}, clock, stop, speed) {}

    // Plays every step, then holds on while the monitor keeps the pipe or a program keeps a
    // module handle open, until they close or the scenario's hold time runs out. On
    // kPlayTimedOut and kPlayNoFace, `message` names the line and the wait.
    [[nodiscard]] int Run(std::string& message);

  private:
    int Play(const std::vector<Step>& steps);
    int PlayStep(const Step& step);
    int AwaitConnection(const Step& step, std::int64_t deadlineMs);
    int Send(const Step& step);
    int Expect(const Step& step);
    int Delay(const Step& step);
    int ModuleConnect(const Step& step);
    int ModuleExpect(const Step& step);
    int ModuleExpectUpload(const Step& step);
    int Monitor(const Step& step);
    int NoFace(const Step& step, const char* face);
    int Hold();
    std::int64_t DeadlineAfter(std::int64_t timeoutMs) const;
    std::int64_t LeftMs(std::int64_t deadlineMs) const;

    const Scenario& scenario_;
    PipeFace* face_;
    ModuleFace* module_;
    Clock& clock_;
    Waitable& stop_;
    double speed_;
    std::string message_;
};

}  // namespace lane::sim
