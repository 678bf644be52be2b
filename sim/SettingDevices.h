// The devices behind the module that the utility's setting and coin dispenser commands talk to:
// the coin dispenser and the cash counting buffers on the cash port, the lane settings on the
// service port. Set up from the scenario on the first request that reaches them.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "sim/CashBuffers.h"
#include "sim/CoinDispenser.h"
#include "sim/LaneSettings.h"
#include "sim/Scenario.h"

namespace lane::sim {

struct SettingDevices {
    bool setUp = false;
    CoinDispenser coinDispenser;
    LaneSettings laneSettings;
    CashBuffers cashBuffers;
};

// Answers a port-data request to `port` when one of the devices owns it: true, with the data of
// each reply (after the cash port's sequence byte, which the caller adds) and the record's notes.
bool AnswerSettingDevices(std::uint8_t port, const std::vector<std::uint8_t>& request,
                          const ModuleIdentity& identity, SettingDevices& devices,
                          std::vector<std::string>& replies, std::vector<std::string>& notes);

}  // namespace lane::sim
