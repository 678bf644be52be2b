// Command_SetSensors: the security module's lane settings on its service port: conveyor safety
// switches, bill dispenser cash pocket sensor, Bizerba scale interface, flatpack sensor, and the
// curtain break and saturation windows. Each item reads the current value, takes the new one
// (from the operator, or unattended from the run options) and writes it. Unattended runs are the
// commands of the same names; their results do not change the exit code.
#pragma once

#include "Moxtel/UtilityRun.h"

namespace lane::moxtel {

// The settings' reply loops wait this long (in steps of 100 ms).
inline constexpr int kSettingWaitCount = 10;
// From this module version the safety switches take types 0, 1 and 2 instead of E and D.
inline constexpr unsigned kSafetySwitchTypesFrom = 405;

enum class SensorSetting { SafetySwitch, BDSensor, BizerbaScale, Flatpack };
enum class CurtainWindow { Break, Saturation };

// `interactive`: ask the operator; otherwise the value comes from the run options. 0 when the
// value was written and read back, else non-zero after the failure was shown.
[[nodiscard]] int SetSensorItem(UtilityRun& run, SensorSetting setting, bool interactive);
[[nodiscard]] int SetCurtainWindowItem(UtilityRun& run, CurtainWindow window, bool interactive);

[[nodiscard]] int Command_SetSafetySwitch(UtilityRun& run);
[[nodiscard]] int Command_SetBDSensor(UtilityRun& run);
[[nodiscard]] int Command_SetBizerbaScale(UtilityRun& run);
[[nodiscard]] int Command_SetFlatpack(UtilityRun& run);
[[nodiscard]] int Command_SetCurtainBreakWindow(UtilityRun& run);

}  // namespace lane::moxtel
