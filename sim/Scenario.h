// lanesim scenarios: the steps it plays, and the parser of the scenario text format.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "sim/BillAcceptorSetup.h"
#include "sim/CarouselPorts.h"
#include "sim/CashBuffers.h"
#include "sim/CoinDispenser.h"
#include "sim/FujitsuDispenserSetup.h"
#include "sim/LaneSettings.h"
#include "sim/LaneTestDevices.h"

namespace lane::sim {

// A time-out or hold with no limit.
inline constexpr std::int64_t kNoLimitMs = -1;
// Bounds on what a scenario may ask for, so that a bad file cannot exhaust the machine.
inline constexpr std::int64_t kMaxScenarioMs = 86'400'000;  // one day
inline constexpr std::size_t kMaxPacketBytes = 4096;
inline constexpr std::uint32_t kMaxRepeatCount = 1'000'000;
inline constexpr int kMaxRepeatDepth = 8;
inline constexpr std::int64_t kDefaultExpectTimeoutMs = 10'000;
// Bounds of the module's settings and faults.
inline constexpr std::uint32_t kMaxModuleVersion = 9999;
inline constexpr std::uint32_t kMaxFaultCount = 1'000'000;
inline constexpr std::uint32_t kMaxLongFaultBytes = 4000;
inline constexpr std::uint8_t kMaxModulePort = 7;
inline constexpr std::uint32_t kMaxModuleNoise = 1000;

enum class StepKind {
    Connect,             // wait for the monitor to connect (time-out in `ms`)
    Send,                // write `bytes` to the pipe as one packet
    Delay,               // wait `ms` (divided by the speed)
    Expect,              // wait until `bytes` have come from the monitor (time-out in `ms`)
    Drop,                // close the connection, then wait for the next one (time-out in `ms`)
    Repeat,              // play `body` `count` times
    ModuleConnect,       // wait for a handle on a module device (time-out in `ms`)
    ModuleExpect,        // wait until `bytes` have been written to the module (time-out in `ms`)
    Monitor,             // remote-monitor stream `bytes`, sent on port 7 once it is open
    Fault,               // arm `fault` for the next packets the module sends
    ModuleExpectUpload,  // wait until one more firmware upload has completed (time-out in `ms`)
};

// How a fault changes a packet the module sends (see docs/lanesim.md, "fault").
enum class FaultKind {
    Checksum,  // the checksum byte is wrong
    Address,   // DA becomes `value` (checksum kept right)
    Command,   // DC becomes `value` (checksum kept right)
    Length,    // DL becomes `value`, nothing else changes
    Short,     // only the first `value` bytes are sent
    Long,      // `value` zero bytes are added after the packet
    NoAnswer,  // the packet is not sent
};

inline constexpr int kAnyPort = -1;

struct ModuleFault {
    FaultKind kind = FaultKind::Checksum;
    std::uint32_t value = 0;
    int port = kAnyPort;      // only packets from this port (kAnyPort: every packet)
    std::uint32_t count = 1;  // how many packets it spoils
};

// What the module answers to the service port's version, checksum and model requests.
struct ModuleIdentity {
    std::uint32_t version = 447;    // 4.47
    std::string date = "01152019";  // MMDDYYYY: 01/15/2019
    std::string checksum = "5A3C";  // four hexadecimal digits
    bool checksumPassed = true;     // status '0'; '1' when false
    std::string model = "750";      // three characters
    // What the cash port's CCU version request reads.
    std::uint32_t ccuVersion = 130;    // 1.30, sent as "0130"
    std::string ccuDate = "07042021";  // MMDDYYYY: 07/04/2021
    // The devices the setting and coin dispenser commands reach (docs/lanesim.md).
    CoinDispenserSetup coinDispenser;
    LaneSettingsSetup laneSettings;
    CashBuffersSetup cashBuffers;
    LaneTestSetup laneTests;  // the live tests' devices: "scale" and "lane-test" lines
};

// How the module answers: late, and after unrelated packets, for the programs' time-out paths.
struct ModuleReplies {
    std::int64_t delayMs = 0;  // every answer is sent this much later
    std::uint32_t noise = 0;   // unrelated port-data packets before each service or cash reply
};

struct Step {
    StepKind kind = StepKind::Delay;
    int line = 0;  // where the step stands in the scenario text, for messages
    std::vector<std::uint8_t> bytes;
    std::int64_t ms = 0;
    std::uint32_t count = 0;
    std::vector<Step> body;
    ModuleFault fault;  // Fault
};

struct Scenario {
    std::vector<Step> steps;
    // How long lanesim keeps recording after the last step while a program stays connected.
    std::int64_t holdMs = kNoLimitMs;
    ModuleIdentity module;
    ModuleReplies replies;
    CarouselPortsSetup carousel;     // "ebox" and "ups" lines
    BillAcceptorSetup billAcceptor;  // the bill acceptor behind the cash port

    // The Fujitsu bill dispenser behind the cash port ("fujitsu-dispenser" lines).
    FujitsuDispenserSetup fujitsuDispenser;
    // Which faces the scenario's commands use; lanesim serves the pipe when `usesPipe` is set or
    // the module face is not used, and the driver sockets when `usesModule` is set.
    bool usesPipe = false;
    bool usesModule = false;
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
    kScenarioBadModule = 7,
};

struct ScenarioError {
    int line = 0;  // 1-based line of the fault
    std::string message;
};

// Parses a whole scenario text. Returns kScenarioOk and fills `scenario`, or a fault code with
// the line and a message in `error`.
[[nodiscard]] int ParseScenario(std::string_view text, Scenario& scenario, ScenarioError& error);

}  // namespace lane::sim
