// The system log stand-in (the event log on Windows, syslog here).
#pragma once

#include <string>

namespace lane::platform {

enum class SystemLogPriority { Information, Warning, Error };

// Sends one line to the system log under the running program's name.
void WriteSystemLog(SystemLogPriority priority, const std::string& text);

}  // namespace lane::platform
