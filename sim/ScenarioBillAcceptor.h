// The scenario lines of lanesim's bill acceptor behind the module's cash port.
#pragma once

#include "sim/Scenario.h"
#include "sim/ScenarioText.h"

namespace lane::sim::parse {

// `bill-acceptor ...` lines: settings of the scenario's bill acceptor (its identity, the
// identity after an upload, the firmware size, the upload mode it starts in, the faults at given
// blocks). False when the line is not one; otherwise `rc` is the result. `inBlock` tells whether
// the line stands inside a repeat block, where settings are refused.
bool ParseBillAcceptorLine(const Tokens& tokens, LineParser& parser, bool inBlock,
                           BillAcceptorSetup& setup, int& rc);

}  // namespace lane::sim::parse
