// Socket plumbing of the device stand-in: socket paths, connect, listen, whole sends and timed
// frame reads.
#pragma once

#include <poll.h>

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <string>

#include "platform/LanePath.h"
#include "platform/posix/DeviceDriverFrame.h"

namespace lane::platform::device {

// The socket of device "\\.\<name>": LanePaths::Internal("driver", <name>). Device names ignore
// case, so an existing socket whose name differs only in case is the device's.
std::string DeviceSocketPath(const LanePaths& paths, const std::string& name);

// Connects a blocking stream socket; the descriptor, or -1 with errno set.
int ConnectDeviceSocket(const std::string& path);

// Binds and listens on `path` (non-blocking accepts), clearing a socket file left over by a
// server that ended without cleaning up. 0 with `fd`, or the Windows error.
std::uint32_t ListenDeviceSocket(const std::string& path, int& fd);

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

enum class FrameRead { Frame, TimedOut, Closed, Bad };

// Reads from `fd` into `reader` until a whole frame is in, the deadline passes, the peer closes
// or the stream breaks the framing. Never reads past the current frame.
FrameRead ReadFrame(int fd, FrameReader& reader, const Deadline& deadline);

}  // namespace lane::platform::device
