// Process-wide switches set from the monitor's command line.
#pragma once

namespace lane::monitor {

struct RunFlags {
    bool displayMode = false;    // "-Debug": the window is shown, lines go to the list
    bool simulatorMode = false;  // "-Test": the simulator pipe is the source, no lane check
    bool rawSwitch = false;      // "-Raw": accepted; nothing depends on it
};

}  // namespace lane::monitor
