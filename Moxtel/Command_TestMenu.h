// Command_TestMenu: the Test menu of the service menus and its scale test submenu; the items are
// the live tests of the conveyor safety switches, the cash pocket, the coupon box, the buttons and
// UPS power, the security scale and the lane and EAS lights.
#pragma once

#include "Moxtel/UtilityRun.h"

namespace lane::moxtel {

// Module versions above which the items are listed and run.
inline constexpr unsigned kSwitchAndPocketTestsAbove = 334;
inline constexpr unsigned kScaleTestingAbove = 438;

// "**** Test Menu ****", until X (or, with acknowledge off, drawn once).
void TestMenu(UtilityRun& run);

}  // namespace lane::moxtel
