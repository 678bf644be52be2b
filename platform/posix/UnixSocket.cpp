// Unix stream sockets shared by the pipe and driver stand-ins: connect, listen over a stale
// socket file, whole sends and polls with a deadline.
#include "platform/posix/UnixSocket.h"

#include <fcntl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>

#include "platform/SystemError.h"

namespace lane::platform::unix_socket {

namespace {

bool SocketAddress(const std::string& path, sockaddr_un& address) {
    std::memset(&address, 0, sizeof(address));
    address.sun_family = AF_UNIX;
    if (path.empty() || path.size() >= sizeof(address.sun_path)) {
        return false;
    }
    std::memcpy(address.sun_path, path.c_str(), path.size());
    return true;
}

// A socket file nobody listens on is left over; 0 when the path is free now.
std::uint32_t ClearStaleSocket(const std::string& path) {
    struct stat info;
    if (lstat(path.c_str(), &info) != 0) {
        return errno == ENOENT ? kErrorSuccess : WindowsErrorFromErrno(errno);
    }
    if (!S_ISSOCK(info.st_mode)) {
        return kErrorAlreadyExists;
    }
    const int fd = ConnectUnixSocket(path);
    if (fd >= 0) {
        close(fd);
        return kErrorPipeBusy;
    }
    if (errno == EAGAIN) {
        return kErrorPipeBusy;  // a listener whose queue is full: it is there all the same
    }
    if (errno != ECONNREFUSED) {
        return WindowsErrorFromErrno(errno);
    }
    if (unlink(path.c_str()) != 0 && errno != ENOENT) {
        return WindowsErrorFromErrno(errno);
    }
    return kErrorSuccess;
}

}  // namespace

int ConnectUnixSocket(const std::string& path) {
    sockaddr_un address;
    if (!SocketAddress(path, address)) {
        errno = ENAMETOOLONG;
        return -1;
    }
    // Non-blocking for the connect: a blocking one waits in the kernel, beyond any stop request,
    // for as long as the listener does not accept.
    const int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    if (fd < 0) {
        return -1;
    }
    int rc = connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof(address));
    if (rc != 0 && (errno == EINPROGRESS || errno == EINTR)) {
        pollfd fds[1] = {{fd, POLLOUT, 0}};
        int failure = ETIMEDOUT;
        if (PollUntil(fds, 1, Deadline(kConnectTimeoutMs)) > 0) {
            socklen_t size = sizeof(failure);
            if (getsockopt(fd, SOL_SOCKET, SO_ERROR, &failure, &size) != 0) {
                failure = errno;
            }
        }
        rc = failure == 0 ? 0 : -1;
        errno = failure;
    }
    const int flags = rc == 0 ? fcntl(fd, F_GETFL) : -1;
    if (rc != 0 || flags < 0 || fcntl(fd, F_SETFL, flags & ~O_NONBLOCK) != 0) {
        const int saved = errno;
        close(fd);
        errno = saved;
        return -1;
    }
    return fd;
}

std::uint32_t ListenUnixSocket(const std::string& path, int& fd, int backlog) {
    fd = -1;
    sockaddr_un address;
    if (!SocketAddress(path, address)) {
        return WindowsErrorFromErrno(ENAMETOOLONG);
    }
    std::error_code ignored;
    std::filesystem::create_directories(std::filesystem::path(path).parent_path(), ignored);
    const std::uint32_t stale = ClearStaleSocket(path);
    if (stale != kErrorSuccess) {
        return stale;
    }
    const int listenFd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    if (listenFd < 0) {
        return WindowsErrorFromErrno(errno);
    }
    if (bind(listenFd, reinterpret_cast<const sockaddr*>(&address), sizeof(address)) != 0) {
        const std::uint32_t error = WindowsErrorFromErrno(errno);
        close(listenFd);
        return error;
    }
    if (listen(listenFd, backlog) != 0) {
        const std::uint32_t error = WindowsErrorFromErrno(errno);
        close(listenFd);
        unlink(path.c_str());
        return error;
    }
    fd = listenFd;
    return kErrorSuccess;
}

int SendAll(int fd, const std::uint8_t* bytes, std::size_t count) {
    std::size_t sent = 0;
    while (sent < count) {
        const ssize_t n = send(fd, bytes + sent, count - sent, MSG_NOSIGNAL);
        if (n < 0) {
            if (errno == EINTR) {
                continue;
            }
            return errno;
        }
        sent += static_cast<std::size_t>(n);
    }
    return 0;
}

Deadline::Deadline(int timeoutMs)
    : unlimited_(timeoutMs < 0),
      end_(std::chrono::steady_clock::now() +
           std::chrono::milliseconds(unlimited_ ? 0 : timeoutMs)) {}

int Deadline::LeftMs() const {
    if (unlimited_) {
        return -1;
    }
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
        end_ - std::chrono::steady_clock::now());
    return left.count() < 0 ? 0 : static_cast<int>(left.count());
}

int PollUntil(pollfd* fds, nfds_t count, const Deadline& deadline) {
    for (;;) {
        const int rc = poll(fds, count, deadline.LeftMs());
        if (rc >= 0 || errno != EINTR) {
            return rc;
        }
    }
}

}  // namespace lane::platform::unix_socket
