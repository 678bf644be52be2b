// The driver's end of the device stand-in: listens on the device's socket, accepts handles,
// receives their requests and sends replies, at once or later.
#include "platform/DeviceDriver.h"

#include <fcntl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <mutex>

#include "platform/SystemError.h"
#include "platform/posix/DeviceDriverFrame.h"
#include "platform/posix/DeviceDriverSocket.h"

namespace lane::platform {

namespace {

class PosixDeviceConnection final : public DeviceConnection {
  public:
    explicit PosixDeviceConnection(int fd) : fd_(fd), reader_(device::kMaxRequestBody) {}
    ~PosixDeviceConnection() override {
        Close();
        close(fd_);
    }

    ReceiveStatus Receive(DeviceRequest& request, int timeoutMs) override {
        if (closed_.load()) {
            return ReceiveStatus::Closed;
        }
        switch (device::ReadFrame(fd_, reader_, device::Deadline(timeoutMs))) {
            case device::FrameRead::TimedOut:
                return ReceiveStatus::TimedOut;
            case device::FrameRead::Frame:
                if (device::DecodeRequest(reader_.Body().data(), reader_.Body().size(), request)) {
                    return ReceiveStatus::Received;
                }
                break;
            case device::FrameRead::Closed:
            case device::FrameRead::Bad:
                break;
        }
        // End of stream, or a peer that broke the framing: nothing more is taken from it.
        Close();
        return ReceiveStatus::Closed;
    }

    bool Reply(std::uint32_t id, std::uint32_t status,
               const std::vector<std::uint8_t>& bytes) override {
        if (bytes.size() > kDeviceMaxTransferBytes) {
            return false;
        }
        device::DeviceReply reply;
        reply.id = id;
        reply.status = status;
        reply.data = bytes;
        return Send(device::EncodeReply(reply));
    }

    bool ReplyWritten(std::uint32_t id, std::uint32_t status, std::uint32_t written) override {
        device::DeviceReply reply;
        reply.id = id;
        reply.status = status;
        reply.written = written;
        return Send(device::EncodeReply(reply));
    }

    // Shuts the socket down, which also wakes a Receive blocked on another thread; the
    // descriptor itself is closed by the destructor so that it cannot be reused under it.
    void Close() override {
        if (!closed_.exchange(true)) {
            shutdown(fd_, SHUT_RDWR);
        }
    }

  private:
    bool Send(const std::vector<std::uint8_t>& frame) {
        std::lock_guard<std::mutex> lock(sendMutex_);
        if (closed_.load()) {
            return false;
        }
        return device::SendAll(fd_, frame.data(), frame.size()) == 0;
    }

    const int fd_;
    device::FrameReader reader_;  // used by the receiving thread only
    std::mutex sendMutex_;
    std::atomic<bool> closed_{false};
};

class PosixDeviceServer final : public DeviceServer {
  public:
    PosixDeviceServer(int listenFd, int wakeRead, int wakeWrite, std::string path, ino_t inode,
                      dev_t deviceId)
        : listenFd_(listenFd),
          wakeRead_(wakeRead),
          wakeWrite_(wakeWrite),
          path_(std::move(path)),
          inode_(inode),
          deviceId_(deviceId) {}
    ~PosixDeviceServer() override {
        Shutdown();
        close(listenFd_);
        close(wakeRead_);
        close(wakeWrite_);
    }

    std::unique_ptr<DeviceConnection> Accept(int timeoutMs) override {
        const device::Deadline deadline(timeoutMs);
        while (!shutdown_.load()) {
            pollfd fds[2] = {{listenFd_, POLLIN, 0}, {wakeRead_, POLLIN, 0}};
            const int rc = device::PollUntil(fds, 2, deadline);
            if (rc <= 0 || shutdown_.load()) {
                return nullptr;
            }
            if ((fds[0].revents & POLLIN) == 0) {
                continue;
            }
            const int fd = accept4(listenFd_, nullptr, nullptr, SOCK_CLOEXEC);
            if (fd >= 0) {
                return std::make_unique<PosixDeviceConnection>(fd);
            }
            if (errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR &&
                errno != ECONNABORTED) {
                return nullptr;
            }
        }
        return nullptr;
    }

    void Shutdown() override {
        if (shutdown_.exchange(true)) {
            return;
        }
        struct stat info;
        if (lstat(path_.c_str(), &info) == 0 && info.st_ino == inode_ && info.st_dev == deviceId_) {
            unlink(path_.c_str());
        }
        const std::uint8_t byte = 1;
        [[maybe_unused]] const ssize_t n = write(wakeWrite_, &byte, 1);
    }

  private:
    const int listenFd_;
    const int wakeRead_;
    const int wakeWrite_;
    const std::string path_;
    const ino_t inode_;
    const dev_t deviceId_;
    std::atomic<bool> shutdown_{false};
};

}  // namespace

std::uint32_t ListenDevice(const LanePaths& paths, const std::string& name,
                           std::unique_ptr<DeviceServer>& server) {
    server.reset();
    const std::string path = device::DeviceSocketPath(paths, name);
    int fd = -1;
    const std::uint32_t listened = device::ListenDeviceSocket(path, fd);
    if (listened != kErrorSuccess) {
        return listened;
    }
    struct stat info;
    int wake[2];
    if (lstat(path.c_str(), &info) != 0 || pipe2(wake, O_CLOEXEC | O_NONBLOCK) != 0) {
        const std::uint32_t error = WindowsErrorFromErrno(errno);
        close(fd);
        unlink(path.c_str());
        return error;
    }
    server =
        std::make_unique<PosixDeviceServer>(fd, wake[0], wake[1], path, info.st_ino, info.st_dev);
    return kErrorSuccess;
}

}  // namespace lane::platform
