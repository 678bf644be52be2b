// The service manager stand-in: tells the manager that started the program (systemd on Linux)
// that it is ready, how it is doing, that it is alive, and that it is stopping.
#pragma once

#include <cstdint>
#include <string>

namespace lane::platform {

// Reads the manager's settings from the environment once, when built. Outside a service manager
// (no notification socket) every call does nothing and returns 0.
class ServiceNotifier {
  public:
    ServiceNotifier();

    // True when a service manager listens for the notifications.
    bool Listening() const { return listening_; }
    // The manager's watchdog time-out in milliseconds (WatchdogSec), 0 when it watches nothing.
    // A ping is due well inside it: the caller pings at half of it.
    std::int64_t WatchdogTimeoutMs() const { return watchdogTimeoutMs_; }

    // "READY=1": the program is up and doing its work.
    [[nodiscard]] std::uint32_t Ready();
    // "STATUS=<text>", shown by the manager beside the service; line ends become blanks.
    [[nodiscard]] std::uint32_t Status(const std::string& text);
    // "WATCHDOG=1": the program is alive; the manager restarts it when the pings stop.
    [[nodiscard]] std::uint32_t WatchdogPing();
    // "STOPPING=1": the orderly stop has begun.
    [[nodiscard]] std::uint32_t Stopping();

  private:
    // Returns 0, or the Windows error of the send.
    std::uint32_t Send(const std::string& state);

    bool listening_ = false;
    std::int64_t watchdogTimeoutMs_ = 0;
};

}  // namespace lane::platform
