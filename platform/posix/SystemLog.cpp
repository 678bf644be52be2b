// The system log stand-in on POSIX: one datagram per line to the syslog socket, user facility.
#include "platform/SystemLog.h"

#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <mutex>
#include <string_view>

#include "platform/SystemError.h"

namespace lane::platform {

namespace {

constexpr int kUserFacility = 1 << 3;
// The longest line sent; a longer text is cut, as the log daemons would cut it anyway.
constexpr std::size_t kMaxDatagramBytes = 2048;

int SyslogSeverity(SystemLogPriority priority) {
    switch (priority) {
        case SystemLogPriority::Error:
            return 3;
        case SystemLogPriority::Warning:
            return 4;
        case SystemLogPriority::Notice:
            return 5;
        case SystemLogPriority::Information:
            return 6;
    }
    return 5;
}

// Read per line, without a copy: the tests point it elsewhere while the program runs.
const char* SocketPath() {
    const char* path = std::getenv(kSystemLogSocketVariable);
    return path == nullptr || *path == '\0' ? kDefaultSystemLogSocket : path;
}

std::string ReadProgramName() {
    char path[4096];
    const ssize_t length = ::readlink("/proc/self/exe", path, sizeof path - 1);
    if (length <= 0) {
        return "lane";
    }
    const std::string executable(path, static_cast<std::size_t>(length));
    return executable.substr(executable.rfind('/') + 1);
}

// Read once: the name does not change while the program runs.
const std::string& ProgramName() {
    static const std::string name = ReadProgramName();
    return name;
}

}  // namespace

std::string SystemLogDatagram(SystemLogPriority priority, const std::string& tag, long processId,
                              std::time_t now, const std::string& text) {
    std::tm local{};
    ::localtime_r(&now, &local);
    char stamp[32];
    std::strftime(stamp, sizeof stamp, "%b %e %H:%M:%S", &local);
    std::string datagram = "<" + std::to_string(kUserFacility | SyslogSeverity(priority)) + ">" +
                           stamp + " " + tag + "[" + std::to_string(processId) + "]: ";
    for (const char c : text) {
        datagram += (c == '\n' || c == '\r') ? ' ' : c;
    }
    if (datagram.size() > kMaxDatagramBytes) {
        datagram.resize(kMaxDatagramBytes);
    }
    return datagram;
}

namespace {

// One datagram socket for the life of the program, shared by the threads that log: a stuck
// button raises an alert per press, and a socket made and closed per line cost more than all the
// rest of the monitor's work on it. When nobody listens at a path, lines to it are dropped for a
// second before the next try, so a machine without a log daemon does not look the path up per
// line either.
struct LogSocket {
    std::mutex lock;
    int fd = -1;
    std::string silentPath;
    std::time_t silentUntil = 0;
};

constexpr std::time_t kSilentSeconds = 1;

LogSocket& TheLogSocket() {
    static LogSocket logSocket;
    return logSocket;
}

}  // namespace

std::uint32_t WriteSystemLog(SystemLogPriority priority, const std::string& text) {
    const std::string_view path = SocketPath();
    const std::size_t pathLength = path.size();
    sockaddr_un address{};
    if (pathLength >= sizeof address.sun_path) {
        return kErrorInvalidParameter;
    }
    const std::time_t now = std::time(nullptr);
    LogSocket& logSocket = TheLogSocket();
    {
        // A line for a path nobody listens at is dropped before it is even made.
        std::lock_guard<std::mutex> guard(logSocket.lock);
        if (now >= logSocket.silentUntil - kSilentSeconds && now < logSocket.silentUntil &&
            std::string_view(logSocket.silentPath) == path) {
            return kErrorFileNotFound;
        }
    }
    address.sun_family = AF_UNIX;
    std::memcpy(address.sun_path, path.data(), pathLength);
    const std::string datagram =
        SystemLogDatagram(priority, ProgramName(), static_cast<long>(::getpid()), now, text);
    std::lock_guard<std::mutex> guard(logSocket.lock);
    if (logSocket.fd < 0) {
        logSocket.fd = ::socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC, 0);
        if (logSocket.fd < 0) {
            return WindowsErrorFromErrno(errno);
        }
    }
    const ssize_t sent = ::sendto(logSocket.fd, datagram.data(), datagram.size(), MSG_NOSIGNAL,
                                  reinterpret_cast<const sockaddr*>(&address), sizeof address);
    const int error = sent < 0 ? errno : 0;
    if (error == 0) {
        logSocket.silentPath.clear();
        return 0;
    }
    // A socket file with nobody behind it is as good as none.
    if (error == ECONNREFUSED || error == ENOENT) {
        logSocket.silentPath = path;
        logSocket.silentUntil = now + kSilentSeconds;
        return kErrorFileNotFound;
    }
    return WindowsErrorFromErrno(error);
}

}  // namespace lane::platform
