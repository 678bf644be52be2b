// Command_SecurityModuleItems: the security module menu's own items on the service port beside
// the lane settings: the proximity sensor calibration ('Z' 'P'), the scale's high weight capacity
// ('Z' 'H') and the EAS light as lane light ('Z' 'A'). Each opens port 6, exchanges its requests
// and closes port 6 again; 0, or non-zero after the failure was shown.
#pragma once

#include "Moxtel/UtilityRun.h"

namespace lane::moxtel {

// The calibration takes the module a while: its reply is awaited this long (steps of 100 ms).
inline constexpr int kProximityWaitCount = 100;
// The high weight capacity and EAS light reads and writes wait this long.
inline constexpr int kSecurityItemWaitCount = 50;
// Module versions the items need.
inline constexpr unsigned kProximityFrom = 409;
inline constexpr unsigned kHighWeightFrom = 429;

[[nodiscard]] int CalibrateProximitySensorItem(UtilityRun& run);
[[nodiscard]] int HighWeightCapacityItem(UtilityRun& run);
[[nodiscard]] int EasLightAsLaneLightItem(UtilityRun& run);

}  // namespace lane::moxtel
