// The scenario lines of lanesim's Fujitsu bill dispenser behind the module's cash port.
#pragma once

#include "sim/Scenario.h"
#include "sim/ScenarioText.h"

namespace lane::sim::parse {

// `fujitsu-dispenser ...` lines: settings of the dispenser (currency, last error codes,
// cassettes, thickness values, firmware and release date, bytes of its status and log blocks,
// its stored message, how many bytes a block sends, absent). False when the line is not one;
// otherwise `rc` is the result. Settings are refused inside repeat blocks.
bool ParseFujitsuDispenserLine(const Tokens& tokens, LineParser& parser, bool inBlock,
                               FujitsuDispenserSetup& setup, int& rc);

}  // namespace lane::sim::parse
