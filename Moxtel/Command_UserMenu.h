// Command_UserMenu: the service menus a run without a command shows. The main menu leads to the
// security module, bill acceptor, Fujitsu bill dispenser, curtain, Sensormatic, coin dispenser,
// carousel and UPS menus and the test menu; which items are listed, and which run when chosen,
// depends on the board and the module version.
#pragma once

#include "Moxtel/UtilityRun.h"

namespace lane::moxtel {

// Module versions of the main menu's items: the Fujitsu dispenser listed above 404 and run from
// 405, the coin dispenser listed and run above 432, the carousel listed above 438.
inline constexpr unsigned kFujitsuMenuFrom = 405;
inline constexpr unsigned kCoinDispenserMenuFrom = 433;
inline constexpr unsigned kCarouselListedFrom = 439;

// Security module menu: the safety switch and cash pocket items are listed above 335 and run
// above 334; the Bizerba interface from 340; all three EAS lights listed from 348 to 399 and
// from 439.
inline constexpr unsigned kSwitchItemsListedFrom = 336;
inline constexpr unsigned kSwitchItemsRunFrom = 335;
inline constexpr unsigned kBizerbaItemFrom = 340;
inline constexpr unsigned kAllEasListedFrom = 348;
inline constexpr unsigned kAllEasListedBelow = 400;
inline constexpr unsigned kAllEasListedAgainFrom = 439;

// Shows the main menu until X (or, with acknowledge off, once).
void RunMainMenu(UtilityRun& run);

// The security module menu, until X.
void SecurityModuleMenu(UtilityRun& run);

}  // namespace lane::moxtel
