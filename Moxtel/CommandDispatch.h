// The dispatch from a command name to its handler, with each command's rule for the exit code.
#pragma once

#include "Moxtel/UtilityRun.h"

namespace lane::moxtel {

// The most tries of the bill acceptor upload.
inline constexpr int kBillAcceptorUploadTries = 10;

// Runs the command of `run.options` through `parts.commands` and gives the exit code. A command
// whose handler is not among the parts matches no row and gives 0.
[[nodiscard]] int DispatchCommand(UtilityRun& run, const UtilityParts& parts);

}  // namespace lane::moxtel
