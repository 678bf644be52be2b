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
#include "platform/posix/UnixSocket.h"

namespace lane::platform::device {

// The socket of device "\\.\<name>": LanePaths::Internal("driver", <name>). Device names ignore
// case, so an existing socket whose name differs only in case is the device's.
std::string DeviceSocketPath(const LanePaths& paths, const std::string& name);

using unix_socket::Deadline;
using unix_socket::PollUntil;
using unix_socket::SendAll;

// Connects a blocking stream socket; the descriptor, or -1 with errno set.
inline int ConnectDeviceSocket(const std::string& path) {
    return unix_socket::ConnectUnixSocket(path);
}

// Binds and listens on `path` (non-blocking accepts), clearing a socket file left over by a
// server that ended without cleaning up. 0 with `fd`, or the Windows error.
inline std::uint32_t ListenDeviceSocket(const std::string& path, int& fd) {
    return unix_socket::ListenUnixSocket(path, fd);
}

enum class FrameRead { Frame, TimedOut, Closed, Bad };

// Reads from `fd` into `reader` until a whole frame is in, the deadline passes, the peer closes
// or the stream breaks the framing. Never reads past the current frame.
FrameRead ReadFrame(int fd, FrameReader& reader, const Deadline& deadline);

}  // namespace lane::platform::device
