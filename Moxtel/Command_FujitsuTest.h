// Command_FujitsuTest: the Fujitsu bill dispenser behind the cash port. Its service menu and the
// menu's items: the status and error registers, the log counters, the thickness sensor graph,
// a test dispense and the clearing of the log counters with a new stored message. Every item
// opens and synchronises port 5 and closes it on every way out.
#pragma once

#include "Moxtel/UtilityRun.h"

namespace lane::moxtel {

// The lowest module version (USB board) that passes the dispenser's frames through.
inline constexpr unsigned kFujitsuModuleVersion = 405;

// Results of the items (0: the item ran to its end, or was left by X).
enum FujitsuResult : int {
    kFujitsuOk = 0,
    kFujitsuVersionTooOld = 1,
    kFujitsuPortFailed = 2,  // port 5 could not be opened or synchronised
    kFujitsuAborted = 3,     // a request or its data block failed
    kFujitsuNoCassette = 4,  // the test dispense found no single cassette to use
};

[[nodiscard]] int FujitsuStatusScreen(UtilityRun& run);
[[nodiscard]] int FujitsuLogScreen(UtilityRun& run);
[[nodiscard]] int FujitsuThicknessGraph(UtilityRun& run);
[[nodiscard]] int FujitsuClearTotals(UtilityRun& run);
[[nodiscard]] int FujitsuTestDispense(UtilityRun& run);

// The menu: loops until X (or the end of input); the key wait follows an item that failed.
void FujitsuDispenserMenu(UtilityRun& run);

}  // namespace lane::moxtel
