// The default alert library: each event goes to the system log with its code and its name.
#include "monitor/alerts/TavrikEvent.h"

#include "monitor/alerts/AlertEvents.h"
#include "platform/SystemLog.h"

extern "C" void LogEvent(int eventCode) {
    lane::platform::WriteSystemLog(lane::platform::SystemLogPriority::Warning,
                                   lane::monitor::AlertLogText(eventCode));
}
