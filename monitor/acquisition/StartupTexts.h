// The monitor's window title and start-up texts.
#pragma once

namespace lane::monitor {

inline constexpr const char* kMainWindowTitle = "Quarnel Orvel Monitor Debug Window";
inline constexpr const char* kApplicationTitle = "Quarnel Orvel Monitor";
inline constexpr const char* kStartupErrorCaption = "TAVRIK Startup Error";
inline constexpr const char* kSimulatorNotRunning = "Simulator not running.  Start and click OK!";
inline constexpr const char* kErrorInitializingMonitor = "Error Initializing Orvel Monitor: ";
// The security module's driver as the monitor opens it, without the "\\.\" prefix.
inline constexpr const char* kDriverSocketName = "SecModuleDevice0";

}  // namespace lane::monitor
