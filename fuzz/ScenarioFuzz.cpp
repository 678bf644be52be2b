// Fuzz target: lanesim's scenario parser and record reader on arbitrary bytes.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>
#include <vector>

#include "sim/Record.h"
#include "sim/Scenario.h"

namespace {

// Checks the bounds the player relies on, through every repeat block.
void CheckSteps(const std::vector<lane::sim::Step>& steps, int depth) {
    if (depth > lane::sim::kMaxRepeatDepth) {
        std::abort();
    }
    for (const lane::sim::Step& step : steps) {
        if (step.bytes.size() > lane::sim::kMaxPacketBytes || step.ms > lane::sim::kMaxScenarioMs ||
            step.count > lane::sim::kMaxRepeatCount || step.line < 1) {
            std::abort();
        }
        if ((step.kind == lane::sim::StepKind::Send || step.kind == lane::sim::StepKind::Expect) &&
            step.bytes.empty()) {
            std::abort();
        }
        CheckSteps(step.body, depth + 1);
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    lane::sim::Scenario scenario;
    lane::sim::ScenarioError error;
    if (lane::sim::ParseScenario(text, scenario, error) == lane::sim::kScenarioOk) {
        CheckSteps(scenario.steps, 0);
    } else if (error.line < 1 || error.message.empty()) {
        std::abort();
    }
    lane::sim::RecordedBytes connections;
    int badLine = 0;
    if (lane::sim::ReadRecord(text, connections, badLine) != lane::sim::kRecordOk && badLine < 1) {
        std::abort();
    }
    return 0;
}
