// Plays a scenario's steps on the simulator pipe.
#include "sim/Player.h"

#include <algorithm>
#include <cmath>

namespace lane::sim {

Player::Player(const Scenario& scenario, PipeFace& face, Clock& clock, Waitable& stop, double speed)
    : scenario_(scenario), face_(face), clock_(clock), stop_(stop), speed_(speed > 0 ? speed : 1) {}

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
            face_.Drop();
            return AwaitConnection(step, DeadlineAfter(step.ms));
        case StepKind::Repeat:
            for (std::uint32_t i = 0; i < step.count; ++i) {
                const int rc = Play(step.body);
                if (rc != kPlayDone) {
                    return rc;
                }
            }
            return kPlayDone;
    }
    return kPlayDone;
}

int Player::AwaitConnection(const Step& step, std::int64_t deadlineMs) {
    switch (face_.AwaitConnection(clock_, stop_, LeftMs(deadlineMs))) {
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
        if (face_.Send(step.bytes)) {
            return kPlayDone;
        }
    }
}

// Waits for the bytes on the current connection; should the monitor close it meanwhile, the
// search goes on in the next connection.
int Player::Expect(const Step& step) {
    const std::int64_t deadlineMs = DeadlineAfter(step.ms);
    for (;;) {
        if (face_.TakeMatch(step.bytes)) {
            return kPlayDone;
        }
        if (!face_.IsOpen()) {
            const int rc = AwaitConnection(step, deadlineMs);
            if (rc != kPlayDone) {
                return rc;
            }
            continue;
        }
        const int woken = WaitForAny(clock_, {&stop_, &face_.Activity()}, LeftMs(deadlineMs));
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

int Player::Hold() {
    if (!face_.IsOpen()) {
        return kPlayDone;
    }
    const std::int64_t holdMs = scenario_.holdMs == kNoLimitMs ? kInfiniteMs : scenario_.holdMs;
    return WaitForAny(clock_, {&stop_, &face_.PartnerGone()}, holdMs) == 0 ? kPlayStopped
                                                                           : kPlayDone;
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
