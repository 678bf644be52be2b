// The scenario lines of the live tests' devices: `scale ...` (the security scale's reading
// stream) and `lane-test ...` (switches, cash pocket, power, buttons).
#pragma once

#include "sim/ScenarioText.h"

namespace lane::sim::parse {

// False when the line is none of them; otherwise `rc` is the result. They are settings, given
// outside repeat blocks.
bool ParseLaneTestLine(const Tokens& tokens, LineParser& parser, bool inBlock, Scenario& scenario,
                       int& rc);

}  // namespace lane::sim::parse
