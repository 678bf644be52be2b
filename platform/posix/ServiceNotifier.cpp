// The service manager stand-in on Linux: systemd's notification protocol through libsystemd.
#include "platform/ServiceNotifier.h"

#include <systemd/sd-daemon.h>

#include <cstdlib>

#include "platform/SystemError.h"

namespace lane::platform {

namespace {
constexpr const char* kNotifySocketVariable = "NOTIFY_SOCKET";
constexpr std::uint64_t kMicrosecondsPerMs = 1000;
}  // namespace

ServiceNotifier::ServiceNotifier() {
    const char* socket = std::getenv(kNotifySocketVariable);
    listening_ = socket != nullptr && socket[0] != '\0';
    std::uint64_t timeoutUs = 0;
    // Honours WATCHDOG_PID: a watchdog meant for another process is not ours.
    if (listening_ && sd_watchdog_enabled(0, &timeoutUs) > 0) {
        watchdogTimeoutMs_ = static_cast<std::int64_t>(timeoutUs / kMicrosecondsPerMs);
    }
}

std::uint32_t ServiceNotifier::Ready() {
    return Send("READY=1");
}

std::uint32_t ServiceNotifier::Status(const std::string& text) {
    std::string line = "STATUS=" + text;
    for (char& c : line) {
        if (c == '\n' || c == '\r') {
            c = ' ';
        }
    }
    return Send(line);
}

std::uint32_t ServiceNotifier::WatchdogPing() {
    return Send("WATCHDOG=1");
}

std::uint32_t ServiceNotifier::Stopping() {
    return Send("STOPPING=1");
}

std::uint32_t ServiceNotifier::Send(const std::string& state) {
    if (!listening_) {
        return 0;
    }
    const int result = sd_notify(0, state.c_str());
    return result < 0 ? WindowsErrorFromErrno(-result) : 0;
}

}  // namespace lane::platform
