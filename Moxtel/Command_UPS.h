// Command_UPS: the UPS on port 3. The UPS menu (the service menus call it) and its items.
#pragma once

#include "Moxtel/CarouselPorts.h"
#include "Moxtel/UtilityRun.h"

namespace lane::moxtel {

// The UPS menu: the cable warning, port 3 opened and flushed, the connect exchange, the items
// until X, port 3 closed.
void UpsMenu(UtilityRun& run);

// Item 1: the sensitivity setting read and shown; 0 or non-zero.
[[nodiscard]] int UpsConfigOptions(CCarouselPorts& ports);

}  // namespace lane::moxtel
