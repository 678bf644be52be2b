// The system log stand-in (the event log on Windows, syslog here).
#pragma once

#include <cstdint>
#include <ctime>
#include <string>

namespace lane::platform {

enum class SystemLogPriority { Error, Warning, Notice, Information };

// The environment variable that points the system log at another socket (tests, containers);
// unset or empty, lines go to kDefaultSystemLogSocket.
inline constexpr const char* kSystemLogSocketVariable = "LANE_SYSLOG_SOCKET";
inline constexpr const char* kDefaultSystemLogSocket = "/dev/log";

// The datagram the system log receives for one line, user facility:
// "<PRI>Mmm dd hh:mm:ss tag[pid]: text" with the local time of `now`. Line ends in `text` become
// blanks, so one call is one log line.
std::string SystemLogDatagram(SystemLogPriority priority, const std::string& tag, long processId,
                              std::time_t now, const std::string& text);

// Sends one line to the system log under the running program's name. Returns 0, or the Windows
// error of the send (2 when no log listens at the socket); the caller may ignore it, as a lost
// log line must never stop the program.
std::uint32_t WriteSystemLog(SystemLogPriority priority, const std::string& text);

}  // namespace lane::platform
