// Lane events of a scenario ("bill stacked 20", "coin 25", "transaction end"): what happens at
// the lane, expanded to the remote-monitor frames the security module sends for it.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "sim/ScenarioText.h"

namespace lane::sim::parse {

// A lane event line becomes one `send` step that writes the event's frames as one packet. False
// when the line is no lane event; otherwise `rc` is the result and, when it is kScenarioOk,
// `step` holds the send step.
bool ParseLaneEvent(const Tokens& tokens, LineParser& parser, Step& step, int& rc);

// The frames of one event, without parsing: "bill" with "stacked" and a value, "rejected",
// "returned", "jam", "unjam" or "stacker-full"; "coin" with a value in hundredths; "transaction"
// with "start" or "end"; and the dispenser events (DispenserEvents.h). False (and no bytes) for
// anything else.
bool LaneEventFrames(const std::vector<std::string>& words, std::vector<std::uint8_t>& frames);

}  // namespace lane::sim::parse
