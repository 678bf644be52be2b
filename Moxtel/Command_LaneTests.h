// The live tests of the lane's own devices on the service port 6 (and the button and power
// events of the system port 0): conveyor safety switches, bill dispenser cash pocket, buttons and
// UPS power, lane and EAS lights. Each opens port 6, shows what it learns until the technician
// leaves it, and closes port 6.
#pragma once

#include <string>

#include "Moxtel/UtilityRun.h"
#include "Moxtel/securitymodule_commands.h"

namespace lane::moxtel {

// The service-port requests of the tests wait this long for their reply (steps of 100 ms).
inline constexpr int kLaneTestWaitCount = 10;
// The lights the light test switches, by key: lane light, yellow light, the three EAS lights.
inline constexpr int kTestLights = 5;

void ConveyorSafetySwitchTest(UtilityRun& run);
void CashPocketTest(UtilityRun& run);
void ButtonAndUpsTest(UtilityRun& run);
void LaneLightTest(UtilityRun& run);

// One request on port 6 and its reply (`letter`, `code` at wire bytes 3 and 4); a failure is
// shown with `what` ("ERROR 10: <what> did not respond."). 0, or the failure.
[[nodiscard]] int LaneTestRequest(UtilityRun& run, SecurityModuleCommands& commands,
                                  const std::string& data, std::uint8_t letter, std::uint8_t code,
                                  const char* what, link::LinkPacket& reply);

}  // namespace lane::moxtel
