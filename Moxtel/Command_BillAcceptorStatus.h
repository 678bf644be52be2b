// The bill acceptor menu's items beside the upload: the general status screen and the bezel
// setting, both on port 5.
#pragma once

#include "Moxtel/UtilityRun.h"
#include "Moxtel/securitymodule_commands.h"

namespace lane::moxtel {

// Opens port 5 and synchronises the cash machine, as every bill acceptor item begins ("ERROR 1B"
// and "ERROR 1C" on failure, port 5 closed again after a failed sync). 0 or non-zero.
[[nodiscard]] int OpenBillAcceptorPort(UtilityRun& run, SecurityModuleCommands& commands);

// The status screen: the state, the last bill's value and the raw status bytes (or the upload
// mode and its starting block), with keys to reject a bill, calibrate, ask again, enable and
// disable; X leaves it. 0, or non-zero when port 5 could not be opened and synchronised.
[[nodiscard]] int BillAcceptorStatusScreen(UtilityRun& run);

// Sets the bezel type to standard (module versions above 4.63; below, nothing is done).
// 0, or non-zero after a failure it has logged.
[[nodiscard]] int SetBezelTypeStandard(UtilityRun& run);

}  // namespace lane::moxtel
