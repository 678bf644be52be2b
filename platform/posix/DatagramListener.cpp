// A Unix datagram socket that collects what others send to it, on POSIX.
#include "platform/DatagramListener.h"

#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "platform/SystemError.h"
#include "platform/posix/UnixSocket.h"

namespace lane::platform {

namespace {
constexpr std::uint32_t kErrorTimeout = 1460;
constexpr std::size_t kMaxDatagramBytes = 64 * 1024;
}  // namespace

DatagramListener::~DatagramListener() {
    if (fd_ >= 0) {
        ::close(fd_);
        ::unlink(path_.c_str());
    }
}

std::uint32_t DatagramListener::Open(const std::string& path) {
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    if (fd_ >= 0 || path.empty() || path.size() >= sizeof address.sun_path) {
        return kErrorInvalidParameter;
    }
    std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
    const int fd = ::socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    if (fd < 0) {
        return WindowsErrorFromErrno(errno);
    }
    if (::bind(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
        const int error = errno;
        ::close(fd);
        return WindowsErrorFromErrnoForPath(error, path);
    }
    fd_ = fd;
    path_ = path;
    return 0;
}

std::uint32_t DatagramListener::Receive(std::string& datagram, std::int64_t timeoutMs) {
    if (fd_ < 0) {
        return kErrorInvalidHandle;
    }
    pollfd waitFor{fd_, POLLIN, 0};
    const unix_socket::Deadline deadline(static_cast<int>(timeoutMs));
    const int ready = unix_socket::PollUntil(&waitFor, 1, deadline);
    if (ready < 0) {
        return WindowsErrorFromErrno(errno);
    }
    if (ready == 0) {
        return kErrorTimeout;
    }
    datagram.resize(kMaxDatagramBytes);
    const ssize_t received = ::recv(fd_, datagram.data(), datagram.size(), 0);
    if (received < 0) {
        const int error = errno;
        datagram.clear();
        return WindowsErrorFromErrno(error);
    }
    datagram.resize(static_cast<std::size_t>(received));
    return 0;
}

}  // namespace lane::platform
