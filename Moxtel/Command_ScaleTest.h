// Command_ScaleTest: the scale test items on the security scale's reading stream (service port
// 6): the live display of the readings with its capture file, and the noise analysis with its
// log file and result table.
#pragma once

#include <memory>

#include "Moxtel/UtilityRun.h"
#include "platform/File.h"

namespace lane::moxtel {

// The display's state, kept from one run of the display item to the next.
struct ScaleDisplayState {
    int mode = 1;                  // 1 normal: new stable and unstable readings; 2 continuous
    bool lastWasUnstable = true;   // the next stable reading is shown
    unsigned stablesNotShown = 0;  // stable readings counted since the last one shown
    std::unique_ptr<platform::SharedFile> capture;  // set while a capture runs
};

// " 1 - Display/Capture Scale Values": until X or ESC.
void DisplayCaptureScaleValues(UtilityRun& run, ScaleDisplayState& state);
// " 2 - Analyze Scale Data": until X or ESC, then the result table.
void AnalyzeScaleData(UtilityRun& run);

}  // namespace lane::moxtel
