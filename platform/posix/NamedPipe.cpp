// Named pipes as Unix stream sockets under the lane root, with Windows' overlapped-read results.
#include "platform/NamedPipe.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <cstring>
#include <filesystem>
#include <mutex>
#include <thread>

#include "platform/SystemError.h"
#include "platform/posix/UnixSocket.h"

namespace lane::platform {

namespace {

using unix_socket::Deadline;
using unix_socket::PollUntil;
using unix_socket::SendAll;

// Windows numbers the pipe reports that SystemError.h does not name.
constexpr std::uint32_t kErrorOperationAborted = 995;

// Windows spells pipes "\\.\pipe\NAME"; callers may pass the whole spelling or the name alone.
std::string PipeName(const std::string& name) {
    constexpr const char kPrefix[] = "\\\\.\\pipe\\";
    constexpr std::size_t kPrefixLength = sizeof(kPrefix) - 1;
    if (name.size() < kPrefixLength) {
        return name;
    }
    for (std::size_t i = 0; i < kPrefixLength; ++i) {
        const char c = name[i];
        const char lower = (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
        if (lower != kPrefix[i]) {
            return name;
        }
    }
    return name.substr(kPrefixLength);
}

std::uint32_t PipeErrorFromErrno(int errnoValue) {
    if (errnoValue == EPIPE || errnoValue == ECONNRESET || errnoValue == ENOTCONN) {
        return kErrorPipeNotConnected;
    }
    return WindowsErrorFromErrno(errnoValue);
}

bool MakeWakePipe(int (&fds)[2]) {
    return pipe2(fds, O_CLOEXEC | O_NONBLOCK) == 0;
}

void DrainWakePipe(int fd) {
    std::uint8_t scratch[16];
    while (read(fd, scratch, sizeof(scratch)) > 0) {
    }
}

void Wake(int fd) {
    const std::uint8_t byte = 1;
    [[maybe_unused]] const ssize_t n = write(fd, &byte, 1);
}

class PosixPipeClient final : public PipeClient {
  public:
    PosixPipeClient(int fd, int wakeRead, int wakeWrite)
        : fd_(fd), wakeRead_(wakeRead), wakeWrite_(wakeWrite) {
        ioThread_ = std::thread([this] { IoLoop(); });
    }
    ~PosixPipeClient() override { Close(); }

    ReadStatus ReadOverlapped(std::uint8_t* buffer, std::size_t maxBytes,
                              ManualResetEvent& completion, std::size_t& bytesRead,
                              std::uint32_t& error) override {
        std::lock_guard<std::mutex> lock(mutex_);
        bytesRead = 0;
        error = kErrorSuccess;
        if (closed_) {
            error = kErrorInvalidHandle;
            return ReadStatus::Failed;
        }
        if (pending_) {
            error = kErrorInvalidParameter;
            return ReadStatus::Failed;
        }
        completion.Reset();
        ssize_t n = 0;
        if (maxBytes > 0) {
            do {
                n = recv(fd_, buffer, maxBytes, MSG_DONTWAIT);
            } while (n < 0 && errno == EINTR);
        }
        if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
            pending_ = true;
            outcomeReady_ = false;
            buffer_ = buffer;
            maxBytes_ = maxBytes;
            completion_ = &completion;
            error = kErrorIoPending;
            changed_.notify_all();
            return ReadStatus::Pending;
        }
        if (n > 0 || maxBytes == 0) {
            StoreOutcome(true, static_cast<std::size_t>(n), kErrorSuccess);
            bytesRead = static_cast<std::size_t>(n);
            completion.Set();
            return ReadStatus::Completed;
        }
        error = n == 0 ? kErrorPipeNotConnected : PipeErrorFromErrno(errno);
        StoreOutcome(false, 0, error);
        return ReadStatus::Failed;
    }

    bool GetOverlappedResult(std::size_t& bytesRead, std::uint32_t& error) override {
        std::unique_lock<std::mutex> lock(mutex_);
        changed_.wait(lock, [&] { return !pending_; });
        bytesRead = outcomeReady_ ? outcomeBytes_ : 0;
        error = outcomeReady_ ? outcomeError_ : kErrorInvalidParameter;
        return outcomeReady_ && outcomeOk_;
    }

    bool Write(const std::uint8_t* bytes, std::size_t count, std::uint32_t& error) override {
        std::lock_guard<std::mutex> lock(writeMutex_);
        if (fd_ < 0) {
            error = kErrorInvalidHandle;
            return false;
        }
        const int failure = SendAll(fd_, bytes, count);
        error = failure == 0 ? kErrorSuccess : PipeErrorFromErrno(failure);
        return failure == 0;
    }

    void Close() override {
        {
            std::lock_guard<std::mutex> lock(mutex_);
            if (closed_) {
                return;
            }
            closed_ = true;
            if (pending_) {
                // The I/O thread checks closed_ under this lock before it touches the buffer,
                // so from here on the caller's buffer is left alone.
                pending_ = false;
                StoreOutcome(false, 0, kErrorOperationAborted);
                completion_->Set();
            }
        }
        changed_.notify_all();
        Wake(wakeWrite_);
        ioThread_.join();
        shutdown(fd_, SHUT_RDWR);
        {
            std::lock_guard<std::mutex> lock(writeMutex_);
            close(fd_);
            fd_ = -1;
        }
        close(wakeRead_);
        close(wakeWrite_);
    }

  private:
    void StoreOutcome(bool ok, std::size_t bytes, std::uint32_t error) {
        outcomeReady_ = true;
        outcomeOk_ = ok;
        outcomeBytes_ = bytes;
        outcomeError_ = error;
    }

    // Completes pending reads: waits for data, end of stream or Close, then reads under the lock.
    void IoLoop() {
        std::unique_lock<std::mutex> lock(mutex_);
        for (;;) {
            changed_.wait(lock, [&] { return closed_ || pending_; });
            if (closed_) {
                return;
            }
            lock.unlock();
            pollfd fds[2] = {{fd_, POLLIN, 0}, {wakeRead_, POLLIN, 0}};
            const int rc = PollUntil(fds, 2, Deadline(-1));
            lock.lock();
            if (closed_) {
                return;
            }
            if ((fds[1].revents & POLLIN) != 0) {
                DrainWakePipe(wakeRead_);
            }
            if (!pending_ || (rc >= 0 && fds[0].revents == 0)) {
                continue;
            }
            ssize_t n = -1;
            if (rc >= 0) {
                do {
                    n = recv(fd_, buffer_, maxBytes_, MSG_DONTWAIT);
                } while (n < 0 && errno == EINTR);
            }
            if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
                continue;
            }
            if (n > 0) {
                StoreOutcome(true, static_cast<std::size_t>(n), kErrorSuccess);
            } else {
                StoreOutcome(false, 0, n == 0 ? kErrorPipeNotConnected : PipeErrorFromErrno(errno));
            }
            pending_ = false;
            buffer_ = nullptr;
            completion_->Set();
            changed_.notify_all();
        }
    }

    int fd_;
    const int wakeRead_;
    const int wakeWrite_;
    std::thread ioThread_;
    std::mutex writeMutex_;

    // Guarded by mutex_.
    std::mutex mutex_;
    std::condition_variable changed_;
    bool closed_ = false;
    bool pending_ = false;
    std::uint8_t* buffer_ = nullptr;
    std::size_t maxBytes_ = 0;
    ManualResetEvent* completion_ = nullptr;
    bool outcomeReady_ = false;
    bool outcomeOk_ = false;
    std::size_t outcomeBytes_ = 0;
    std::uint32_t outcomeError_ = kErrorSuccess;
};

class PosixPipeConnection final : public PipeConnection {
  public:
    explicit PosixPipeConnection(int fd) : fd_(fd) {}
    ~PosixPipeConnection() override {
        Close();
        close(fd_);
    }

    bool Write(const std::uint8_t* bytes, std::size_t count) override {
        if (closed_.load()) {
            return false;
        }
        return SendAll(fd_, bytes, count) == 0;
    }

    long Read(std::uint8_t* buffer, std::size_t maxBytes, int timeoutMs) override {
        if (maxBytes == 0) {
            return 0;
        }
        const Deadline deadline(timeoutMs);
        for (;;) {
            pollfd fds[1] = {{fd_, POLLIN, 0}};
            const int rc = PollUntil(fds, 1, deadline);
            if (rc < 0) {
                return -1;
            }
            if (rc == 0) {
                return 0;
            }
            const ssize_t n = recv(fd_, buffer, maxBytes, MSG_DONTWAIT);
            if (n > 0) {
                return static_cast<long>(n);
            }
            if (n == 0) {
                return -1;
            }
            if (errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR) {
                return -1;
            }
        }
    }

    // Shuts the socket down, which also wakes a Read blocked on another thread; the descriptor
    // itself is closed by the destructor so that it cannot be reused under that Read.
    void Close() override {
        if (!closed_.exchange(true)) {
            shutdown(fd_, SHUT_RDWR);
        }
    }

  private:
    const int fd_;
    std::atomic<bool> closed_{false};
};

class PosixPipeServer final : public PipeServer {
  public:
    PosixPipeServer(int listenFd, int wakeRead, int wakeWrite, std::string path, ino_t inode,
                    dev_t device)
        : listenFd_(listenFd),
          wakeRead_(wakeRead),
          wakeWrite_(wakeWrite),
          path_(std::move(path)),
          inode_(inode),
          device_(device) {}
    ~PosixPipeServer() override {
        Shutdown();
        close(listenFd_);
        close(wakeRead_);
        close(wakeWrite_);
    }

    std::unique_ptr<PipeConnection> Accept(int timeoutMs) override {
        const Deadline deadline(timeoutMs);
        while (!shutdown_.load()) {
            pollfd fds[2] = {{listenFd_, POLLIN, 0}, {wakeRead_, POLLIN, 0}};
            const int rc = PollUntil(fds, 2, deadline);
            if (rc <= 0 || shutdown_.load()) {
                return nullptr;
            }
            if ((fds[0].revents & POLLIN) == 0) {
                continue;
            }
            const int fd = accept4(listenFd_, nullptr, nullptr, SOCK_CLOEXEC);
            if (fd >= 0) {
                return std::make_unique<PosixPipeConnection>(fd);
            }
            if (errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR &&
                errno != ECONNABORTED) {
                return nullptr;
            }
        }
        return nullptr;
    }

    // Clients that try to open the pipe from now on find nobody listening (error 2).
    void Shutdown() override {
        if (shutdown_.exchange(true)) {
            return;
        }
        struct stat info;
        if (lstat(path_.c_str(), &info) == 0 && info.st_ino == inode_ && info.st_dev == device_) {
            unlink(path_.c_str());
        }
        Wake(wakeWrite_);
    }

  private:
    const int listenFd_;
    const int wakeRead_;
    const int wakeWrite_;
    const std::string path_;
    const ino_t inode_;
    const dev_t device_;
    std::atomic<bool> shutdown_{false};
};

}  // namespace

std::uint32_t OpenPipeClient(const LanePaths& paths, const std::string& name,
                             std::unique_ptr<PipeClient>& client) {
    client.reset();
    const int fd = unix_socket::ConnectUnixSocket(paths.Internal("pipe", PipeName(name)));
    if (fd < 0) {
        if (errno == EAGAIN) {
            return kErrorPipeBusy;  // the server has as many waiting clients as it takes
        }
        return (errno == ENOENT || errno == ECONNREFUSED) ? kErrorFileNotFound
                                                          : WindowsErrorFromErrno(errno);
    }
    int wake[2];
    if (!MakeWakePipe(wake)) {
        const std::uint32_t error = WindowsErrorFromErrno(errno);
        close(fd);
        return error;
    }
    client = std::make_unique<PosixPipeClient>(fd, wake[0], wake[1]);
    return kErrorSuccess;
}

std::uint32_t ListenPipe(const LanePaths& paths, const std::string& name,
                         std::unique_ptr<PipeServer>& server, int waitingClients) {
    server.reset();
    const std::string path = paths.Internal("pipe", PipeName(name));
    int fd = -1;
    const std::uint32_t listenError =
        unix_socket::ListenUnixSocket(path, fd, waitingClients > 0 ? waitingClients : SOMAXCONN);
    if (listenError != kErrorSuccess) {
        return listenError;
    }
    // The socket file is ours while its identity holds: Shutdown removes only that file.
    struct stat info;
    int wake[2];
    if (lstat(path.c_str(), &info) != 0 || !MakeWakePipe(wake)) {
        const std::uint32_t error = WindowsErrorFromErrno(errno);
        close(fd);
        unlink(path.c_str());
        return error;
    }
    server =
        std::make_unique<PosixPipeServer>(fd, wake[0], wake[1], path, info.st_ino, info.st_dev);
    return kErrorSuccess;
}

}  // namespace lane::platform
