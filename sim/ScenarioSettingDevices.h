// The scenario lines of the devices behind the module that the setting and coin dispenser
// commands reach: `module coin-dispenser ...`, `module lane-setting ...` and
// `module cash-buffers ...`.
#pragma once

#include "sim/ScenarioText.h"

namespace lane::sim::parse {

// False when the line is none of them; otherwise `rc` is the result. They are settings, given
// outside repeat blocks.
bool ParseSettingDeviceLine(const Tokens& tokens, LineParser& parser, bool inBlock,
                            Scenario& scenario, int& rc);

}  // namespace lane::sim::parse
