// Command_Sensormatic: the EAS settings of the security module: its three EAS lights as flashing
// lane lights, its top EAS light as lane light (both always switched on), and the EAS
// controller type Checkpoint.
#pragma once

#include "Moxtel/UtilityRun.h"

namespace lane::moxtel {

// The EAS light items wait this long for each reply (in steps of 100 ms).
inline constexpr int kEasLightWaitCount = 250;

enum class EasLights { AllThreeFlashing, TopAsLaneLight };

// Shows the current setting, writes '1' and shows the setting the module answers with. Port 6
// is left open (the link's shutdown closes it). 0, or non-zero after the failure was shown.
[[nodiscard]] int SetEasLightsItem(UtilityRun& run, EasLights lights);

[[nodiscard]] int Command_EPSFlash(UtilityRun& run);
[[nodiscard]] int Command_TopEPSLL(UtilityRun& run);
[[nodiscard]] int Command_EasCheckpoint(UtilityRun& run);

}  // namespace lane::moxtel
