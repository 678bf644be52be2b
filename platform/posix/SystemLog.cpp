// The system log stand-in on POSIX: syslog, user facility.
#include "platform/SystemLog.h"

#include <syslog.h>

namespace lane::platform {

namespace {

int SyslogPriority(SystemLogPriority priority) {
    switch (priority) {
        case SystemLogPriority::Information:
            return LOG_INFO;
        case SystemLogPriority::Warning:
            return LOG_WARNING;
        case SystemLogPriority::Error:
            return LOG_ERR;
    }
    return LOG_NOTICE;
}

}  // namespace

void WriteSystemLog(SystemLogPriority priority, const std::string& text) {
    ::syslog(LOG_USER | SyslogPriority(priority), "%s", text.c_str());
}

}  // namespace lane::platform
