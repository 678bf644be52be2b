// Command_SensormaticMenu: the EAS controller behind the security module's service port (letter
// 'X'): its configuration shown above the menu, the hardtag light on time, the controller type,
// enabling and disabling it (directly or through its service port) and the hardtag detection
// status.
#pragma once

#include <cstdint>

#include "Moxtel/UtilityRun.h"

namespace lane::moxtel {

// The controller's replies are awaited this long (steps of 100 ms).
inline constexpr int kSensormaticWaitCount = 30;
// Module versions: items 3 to 5 are listed above 431 (enable runs above 335), 6 and 7 above 445.
inline constexpr unsigned kSensormaticControlListedFrom = 432;
inline constexpr unsigned kSensormaticEnableFrom = 336;
inline constexpr unsigned kSensormaticServicePortFrom = 446;

// What the controller's configuration read gives.
struct EasConfiguration {
    std::uint8_t lightOnTime = 0;
    std::uint8_t controllerType = 0;  // 0 none, 1 ScanMax, 2 ScanMax Pro, 3 CheckPoint
};

// The menu until X; when port 6 cannot be opened for the configuration read it shows why and
// ends after a key.
void SensormaticMenu(UtilityRun& run);

// The items, each opening and closing port 6; 0 or non-zero after showing the failure.
[[nodiscard]] int SetHardtagLightOnTimeItem(UtilityRun& run);
[[nodiscard]] int SetControllerTypeItem(UtilityRun& run);
// `servicePort`: through the controller's service port ('8' enable, '7' disable) rather than
// directly ('5', '6').
[[nodiscard]] int EnableControllerItem(UtilityRun& run, bool enable, bool servicePort);
[[nodiscard]] int HardtagDetectionStatusItem(UtilityRun& run);

}  // namespace lane::moxtel
