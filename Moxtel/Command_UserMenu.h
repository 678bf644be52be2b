// Command_UserMenu: the service menus a run without a command shows. The main menu leads to the
// security module menu, whose firmware upload and trace code items are here; the device menus
// join as their commands are built.
#pragma once

#include "Moxtel/UtilityRun.h"

namespace lane::moxtel {

// Shows the main menu until X (or, with acknowledge off, once).
void RunMainMenu(UtilityRun& run);

// The security module menu, until X.
void SecurityModuleMenu(UtilityRun& run);

}  // namespace lane::moxtel
