// The module's answers for the devices of the utility's live tests: their port-6 replies (after
// the scenario's unrelated packets) and the system port's button and power events.
#pragma once

#include "sim/ModuleFaceProtocol.h"

namespace lane::sim {

// True when the packet was a request of those devices; `answer` then holds what the module sends.
bool AnswerLaneTests(const ModulePacket& received, const ModuleIdentity& identity,
                     ModuleAnswerState& state, std::uint32_t noise, ModuleAnswer& answer);

}  // namespace lane::sim
