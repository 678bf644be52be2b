// Unix stream sockets shared by the pipe and driver stand-ins: connect, listen over a stale
// socket file, whole sends and polls with a deadline.
#pragma once

#include <poll.h>

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <string>

namespace lane::platform::unix_socket {

// Connects a blocking stream socket; the descriptor, or -1 with errno set.
int ConnectUnixSocket(const std::string& path);

// Binds and listens on `path` (non-blocking accepts), creating its folder and clearing a socket
// file left over by a server that ended without cleaning up; 231 (pipe busy) when a server still
// listens there. 0 with `fd`, or the Windows error.
std::uint32_t ListenUnixSocket(const std::string& path, int& fd);

// Sends every byte; 0, or the errno of the failure.
int SendAll(int fd, const std::uint8_t* bytes, std::size_t count);

// The time left of a wait in milliseconds for poll(); -1 waits without limit.
class Deadline {
  public:
    explicit Deadline(int timeoutMs);
    int LeftMs() const;

  private:
    bool unlimited_;
    std::chrono::steady_clock::time_point end_;
};

// poll() until `deadline`, restarted after signals with the time left.
int PollUntil(pollfd* fds, nfds_t count, const Deadline& deadline);

}  // namespace lane::platform::unix_socket
