// The bill acceptor upload's status file, "c:\FirmwareUpdate\Utility00.txt": what was loaded
// into which bill acceptor and how far it got. A later run that finds the bill acceptor stuck in
// its upload mode (and so unable to name its model) reads the model from its first line.
#pragma once

#include <string>

#include "Moxtel/UtilityRun.h"

namespace lane::moxtel {

inline constexpr const char* kBillAcceptorStatusFile = "c:\\FirmwareUpdate\\Utility00.txt";

// The status file's text: model, CCU and module versions, the version before the upload, ISO
// code, image path, how the run was started, "Uploading not complete" or "Upload Complete" with
// the new version, the date (MM/DD/YY), the time (HH:MM:SS) and "END", one item a line.
[[nodiscard]] std::string BillAcceptorStatusText(const UtilityRun& run,
                                                 const std::string& imagePath, bool complete);

// Rewrites the status file as a whole; a file that cannot be written is reported and skipped.
void WriteBillAcceptorStatusFile(UtilityRun& run, const std::string& imagePath, bool complete);

// The bill acceptor type code that the status file's first line names (LE3900 31, SC66 85,
// SC83 84, AE2800 88). 0 with `typeCode` set, or a failure it has logged.
[[nodiscard]] int ReadModelFromStatusFile(UtilityRun& run, unsigned& typeCode);

}  // namespace lane::moxtel
