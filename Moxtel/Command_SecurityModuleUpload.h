// Command_SecurityModuleUpload: loads a firmware image into a USB security module through its
// system port, and the trace code menu of the security module menu.
#pragma once

#include "Moxtel/UtilityRun.h"

namespace lane::moxtel {

// The SecurityModuleUpload command. 0 when nothing had to be uploaded; after a completed upload
// the process is ended with 0 through run.endProcess. Non-zero after a failure it has logged.
[[nodiscard]] int Command_SecurityModuleUpload(UtilityRun& run);

// The trace code menu: 0 when left with X, non-zero when a trace code packet could not be sent.
[[nodiscard]] int TraceCodeMenu(UtilityRun& run);

}  // namespace lane::moxtel
