// Plays a scenario's steps on the simulator pipe and the security module.
#include "sim/Player.h"

#include <algorithm>
#include <cmath>

namespace lane::sim {

Player::Player(const Scenario& scenario, Faces faces, Clock& clock, Waitable& stop, double speed)
    : scenario_(scenario),
      face_(faces.pipe),
      module_(faces.module),
      clock_(clock),
      stop_(stop),
      speed_(speed > 0 ? speed : 1) {}

int Player::Run(std::string& message) {
    message_.clear();
    int rc = Play(scenario_.steps);
    if (rc == kPlayDone) {
        rc = Hold();
    }
    message = message_;
    return rc;
}

int Player::Play(const std::vector<Step>& steps) {
    for (const Step& step : steps) {
        const int rc = PlayStep(step);
        if (rc != kPlayDone) {
            return rc;
        }
    }
    return kPlayDone;
}

int Player::PlayStep(const Step& step) {
    if (stop_.IsSignalled(clock_.TickMs())) {
        return kPlayStopped;
    }
    const bool pipeStep = step.kind == StepKind::Connect || step.kind == StepKind::Send ||
                          step.kind == StepKind::Expect || step.kind == StepKind::Drop;
    if (pipeStep && face_ == nullptr) {
        return NoFace(step, "the simulator pipe");
    }
    switch (step.kind) {
        case StepKind::Connect:
            return AwaitConnection(step, DeadlineAfter(step.ms));
        case StepKind::Send:
            return Send(step);
        case StepKind::Delay:
            return Delay(step);
        case StepKind::Expect:
            return Expect(step);
        case StepKind::Drop:
            face_->Drop();
            return AwaitConnection(step, DeadlineAfter(step.ms));
        case StepKind::Repeat:
            for (std::uint32_t i = 0; i < step.count; ++i) {
                const int rc = Play(step.body);
                if (rc != kPlayDone) {
                    return rc;
                }
            }
            return kPlayDone;
        case StepKind::ModuleConnect:
            return ModuleConnect(step);
        case StepKind::ModuleExpect:
            return ModuleExpect(step);
        case StepKind::ModuleExpectUpload:
            return ModuleExpectUpload(step);
        case StepKind::Monitor:
            return Monitor(step);
        case StepKind::Fault:
            if (module_ == nullptr) {
                return NoFace(step, "the security module");
            }
            module_->ArmFault(step.fault);
            return kPlayDone;
    }
    return kPlayDone;
}

int Player::NoFace(const Step& step, const char* face) {
    message_ = "line " + std::to_string(step.line) + ": " + face + " is not served";
    return kPlayNoFace;
}

int Player::AwaitConnection(const Step& step, std::int64_t deadlineMs) {
    switch (face_->AwaitConnection(clock_, stop_, LeftMs(deadlineMs))) {
        case PipeFace::kConnected:
            return kPlayDone;
        case PipeFace::kStopped:
            return kPlayStopped;
        case PipeFace::kTimedOut:
            break;
    }
    message_ = "line " + std::to_string(step.line) + ": the monitor did not connect within " +
               std::to_string(step.ms) + " ms";
    return kPlayTimedOut;
}

// A packet for a monitor that has gone goes to its next connection.
int Player::Send(const Step& step) {
    for (;;) {
        const int rc = AwaitConnection(step, kInfiniteMs);
        if (rc != kPlayDone) {
            return rc;
        }
        if (face_->Send(step.bytes)) {
            return kPlayDone;
        }
    }
}

// Waits for the bytes on the current connection; should the monitor close it meanwhile, the
// search goes on in the next connection.
int Player::Expect(const Step& step) {
    const std::int64_t deadlineMs = DeadlineAfter(step.ms);
    for (;;) {
        if (face_->TakeMatch(step.bytes)) {
            return kPlayDone;
        }
        if (!face_->IsOpen()) {
            const int rc = AwaitConnection(step, deadlineMs);
            if (rc != kPlayDone) {
                return rc;
            }
            continue;
        }
        const int woken = WaitForAny(clock_, {&stop_, &face_->Activity()}, LeftMs(deadlineMs));
        if (woken == 0) {
            return kPlayStopped;
        }
        if (woken == kWaitTimeout) {
            message_ = "line " + std::to_string(step.line) + ": " +
                       FormatHex(step.bytes.data(), step.bytes.size()) + " not received within " +
                       std::to_string(step.ms) + " ms";
            return kPlayTimedOut;
        }
    }
}

int Player::Delay(const Step& step) {
    const auto delayMs =
        static_cast<std::int64_t>(std::llround(static_cast<double>(step.ms) / speed_));
    if (delayMs <= 0) {
        return kPlayDone;
    }
    return WaitForAny(clock_, {&stop_}, delayMs) == 0 ? kPlayStopped : kPlayDone;
}

int Player::ModuleConnect(const Step& step) {
    if (module_ == nullptr) {
        return NoFace(step, "the security module");
    }
    switch (module_->AwaitHandle(clock_, stop_, step.ms == kNoLimitMs ? kInfiniteMs : step.ms)) {
        case ModuleFace::kReady:
            return kPlayDone;
        case ModuleFace::kStopped:
            return kPlayStopped;
        case ModuleFace::kTimedOut:
            break;
    }
    message_ = "line " + std::to_string(step.line) +
               ": no program opened the security module within " + std::to_string(step.ms) + " ms";
    return kPlayTimedOut;
}

// Waits for the bytes among the packets written to the module, on any handle.
int Player::ModuleExpect(const Step& step) {
    if (module_ == nullptr) {
        return NoFace(step, "the security module");
    }
    const std::int64_t deadlineMs = DeadlineAfter(step.ms);
    for (;;) {
        if (module_->TakeMatch(step.bytes)) {
            return kPlayDone;
        }
        const int woken = WaitForAny(clock_, {&stop_, &module_->Changed()}, LeftMs(deadlineMs));
        if (woken == 0) {
            return kPlayStopped;
        }
        if (woken == kWaitTimeout) {
            message_ = "line " + std::to_string(step.line) + ": " +
                       FormatHex(step.bytes.data(), step.bytes.size()) +
                       " not written to the security module within " + std::to_string(step.ms) +
                       " ms";
            return kPlayTimedOut;
        }
    }
}

// Waits for one more completed firmware upload than the previous such step took.
int Player::ModuleExpectUpload(const Step& step) {
    if (module_ == nullptr) {
        return NoFace(step, "the security module");
    }
    const std::int64_t deadlineMs = DeadlineAfter(step.ms);
    for (;;) {
        if (module_->TakeUpload()) {
            return kPlayDone;
        }
        const int woken = WaitForAny(clock_, {&stop_, &module_->Changed()}, LeftMs(deadlineMs));
        if (woken == 0) {
            return kPlayStopped;
        }
        if (woken == kWaitTimeout) {
            message_ = "line " + std::to_string(step.line) +
                       ": no firmware upload completed within " + std::to_string(step.ms) + " ms";
            return kPlayTimedOut;
        }
    }
}

// The stream goes out once the remote-monitor port is open and the reads have taken most of
// what went before; until then the step waits.
int Player::Monitor(const Step& step) {
    if (module_ == nullptr) {
        return NoFace(step, "the security module");
    }
    if (module_->AwaitPortOpen(kModuleRemoteMonitorPort, clock_, stop_, kInfiniteMs) !=
            ModuleFace::kReady ||
        module_->AwaitMonitorRoom(clock_, stop_, kInfiniteMs) != ModuleFace::kReady) {
        return kPlayStopped;
    }
    module_->SendMonitorStream(step.bytes);
    return kPlayDone;
}

// Holds on while the pipe's monitor or a module handle is still there.
int Player::Hold() {
    const std::int64_t holdMs = scenario_.holdMs == kNoLimitMs ? kInfiniteMs : scenario_.holdMs;
    const std::int64_t deadlineMs = DeadlineAfter(holdMs == kInfiniteMs ? kNoLimitMs : holdMs);
    for (;;) {
        std::vector<Waitable*> objects{&stop_};
        if (face_ != nullptr && face_->IsOpen()) {
            objects.push_back(&face_->PartnerGone());
        }
        if (module_ != nullptr && module_->InUse()) {
            objects.push_back(&module_->AllClosed());
        }
        if (objects.size() == 1) {
            return kPlayDone;
        }
        const int woken = WaitForAny(clock_, objects, LeftMs(deadlineMs));
        if (woken == 0) {
            return kPlayStopped;
        }
        if (woken == kWaitTimeout) {
            return kPlayDone;
        }
    }
}

std::int64_t Player::DeadlineAfter(std::int64_t timeoutMs) const {
    return timeoutMs == kNoLimitMs ? kInfiniteMs : clock_.TickMs() + timeoutMs;
}

std::int64_t Player::LeftMs(std::int64_t deadlineMs) const {
    if (deadlineMs == kInfiniteMs) {
        return kInfiniteMs;
    }
    return std::max<std::int64_t>(0, deadlineMs - clock_.TickMs());
}

}  // namespace lane::sim
