// Unix stream sockets shared by the pipe and driver stand-ins: connect, listen over a stale
// socket file, whole sends and polls with a deadline.
#pragma once

#include <poll.h>
#include <sys/socket.h>

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <string>

namespace lane::platform::unix_socket {

// How long a connect may take; a listener that never accepts cannot hold the caller longer.
inline constexpr int kConnectTimeoutMs = 1000;

// Connects a blocking stream socket without ever blocking in the connect itself: a listener whose
// queue of unaccepted connections is full refuses at once with EAGAIN. The descriptor, or -1 with
// errno set.
int ConnectUnixSocket(const std::string& path);

// Binds and listens on `path` (non-blocking accepts), creating its folder and clearing a socket
// file left over by a server that ended without cleaning up; 231 (pipe busy) when a server still
// listens there. `backlog` connections may wait to be accepted. 0 with `fd`, or the Windows error.
std::uint32_t ListenUnixSocket(const std::string& path, int& fd, int backlog = SOMAXCONN);

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
