// lanesim scenarios: the steps it plays, and the parser of the scenario text format.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace lane::sim {

// A time-out or hold with no limit.
inline constexpr std::int64_t kNoLimitMs = -1;
// Bounds on what a scenario may ask for, so that a bad file cannot exhaust the machine.
inline constexpr std::int64_t kMaxScenarioMs = 86'400'000;  // one day
inline constexpr std::size_t kMaxPacketBytes = 4096;
inline constexpr std::uint32_t kMaxRepeatCount = 1'000'000;
inline constexpr int kMaxRepeatDepth = 8;
inline constexpr std::int64_t kDefaultExpectTimeoutMs = 10'000;

enum class StepKind {
    Connect,  // wait for the monitor to connect (time-out in `ms`)
    Send,     // write `bytes` to the pipe as one packet
    Delay,    // wait `ms` (divided by the speed)
    Expect,   // wait until `bytes` have come from the monitor (time-out in `ms`)
    Drop,     // close the connection, then wait for the next one (time-out in `ms`)
    Repeat,   // play `body` `count` times
};

struct Step {
    StepKind kind = StepKind::Delay;
    int line = 0;  // where the step stands in the scenario text, for messages
    std::vector<std::uint8_t> bytes;
    std::int64_t ms = 0;
    std::uint32_t count = 0;
    std::vector<Step> body;
};

struct Scenario {
    std::vector<Step> steps;
    // How long lanesim keeps recording after the last step while the monitor stays connected.
    std::int64_t holdMs = kNoLimitMs;
};

// Results of ParseScenario, one per kind of fault.
enum ScenarioParseResult : int {
    kScenarioOk = 0,
    kScenarioUnknownCommand = 1,
    kScenarioBadArguments = 2,
    kScenarioBadHex = 3,
    kScenarioBadNumber = 4,
    kScenarioBadBlock = 5,
    kScenarioBadHold = 6,
};

struct ScenarioError {
    int line = 0;  // 1-based line of the fault
    std::string message;
};

// Parses a whole scenario text. Returns kScenarioOk and fills `scenario`, or a fault code with
// the line and a message in `error`.
[[nodiscard]] int ParseScenario(std::string_view text, Scenario& scenario, ScenarioError& error);

}  // namespace lane::sim
