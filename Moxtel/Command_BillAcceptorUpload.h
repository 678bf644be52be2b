// Command_BillAcceptorUpload: loads a firmware image into the bill acceptor behind the security
// module's port 5, block by block, resuming where the bill acceptor stands.
#pragma once

#include "Moxtel/UtilityRun.h"

namespace lane::moxtel {

// One try of the BillAcceptorUpload command (the dispatcher retries it). 0 on success, and when
// an interactive run is given no file name; a command-line run with no image for the bill
// acceptor's model ends the process with 0 through run.endProcess. Non-zero after a failure it
// has logged.
[[nodiscard]] int Command_BillAcceptorUpload(UtilityRun& run);

}  // namespace lane::moxtel
