// Command_DeviceMenus: the bill acceptor menu (upload, status screen, bezel) and the curtain
// menu (break and saturation windows) of the service menus.
#pragma once

#include "Moxtel/UtilityRun.h"

namespace lane::moxtel {

// Module versions: the bezel item is listed and run above 463, the saturation window above 428.
inline constexpr unsigned kBezelItemFrom = 464;
inline constexpr unsigned kSaturationItemFrom = 429;

void BillAcceptorMenu(UtilityRun& run);
void CurtainMenu(UtilityRun& run);

}  // namespace lane::moxtel
