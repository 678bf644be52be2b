// Device handles as Unix stream socket connections, with Windows' synchronous and overlapped
// request results.
#include "platform/DeviceDriver.h"

#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <condition_variable>
#include <cstring>
#include <map>
#include <mutex>
#include <thread>

#include "platform/SystemError.h"
#include "platform/posix/DeviceDriverFrame.h"
#include "platform/posix/DeviceDriverSocket.h"

namespace lane::platform {

namespace {

using device::DeviceReply;

constexpr std::uint32_t kHelloId = 1;

// The access a control code asks of the handle, from the code's access bits (14 and 15).
std::uint32_t RequiredAccess(std::uint32_t code) {
    switch ((code >> 14) & 3u) {
        case 1:
            return kDeviceGenericRead;
        case 2:
            return kDeviceGenericWrite;
        case 3:
            return kDeviceGenericRead | kDeviceGenericWrite;
        default:
            return 0;
    }
}

class PosixDeviceHandle final : public DeviceHandle {
  public:
    PosixDeviceHandle(int fd, const DeviceOpenMode& mode) : fd_(fd), mode_(mode) {
        receiver_ = std::thread([this] { ReceiveLoop(); });
    }
    ~PosixDeviceHandle() override {
        Close();
        close(fd_);
    }

    std::uint32_t IoControl(std::uint32_t code, const std::uint8_t* input, std::size_t inputSize,
                            std::uint8_t* output, std::size_t outputSize,
                            std::size_t& bytesReturned) override {
        bytesReturned = 0;
        DeviceRequest request;
        const std::uint32_t check =
            PrepareControl(code, input, inputSize, output, outputSize, request);
        if (check != kErrorSuccess) {
            return check;
        }
        std::uint32_t id = 0;
        const std::uint32_t sent = Issue(request, output, outputSize, nullptr, id);
        return sent != kErrorSuccess ? sent : AwaitSynchronous(id, bytesReturned);
    }

    std::uint32_t IoControlOverlapped(std::uint32_t code, const std::uint8_t* input,
                                      std::size_t inputSize, std::uint8_t* output,
                                      std::size_t outputSize, DeviceOverlapped& record) override {
        if ((mode_.flags & kDeviceFlagOverlapped) == 0) {
            // A handle without overlapped I/O finishes the request before the call returns.
            std::size_t bytes = 0;
            const std::uint32_t status =
                IoControl(code, input, inputSize, output, outputSize, bytes);
            {
                std::lock_guard<std::mutex> lock(mutex_);
                FinishRecord(record, status, bytes);
            }
            if (status == kErrorSuccess) {
                record.Completion().Set();
            }
            return status;
        }
        DeviceRequest request;
        const std::uint32_t check =
            PrepareControl(code, input, inputSize, output, outputSize, request);
        if (check != kErrorSuccess) {
            return check;
        }
        record.Completion().Reset();
        std::uint32_t id = 0;
        const std::uint32_t sent = Issue(request, output, outputSize, &record, id);
        return sent != kErrorSuccess ? sent : kDeviceStatusPending;
    }

    std::uint32_t GetOverlappedResult(DeviceOverlapped& record, bool wait,
                                      std::size_t& bytes) override {
        std::unique_lock<std::mutex> lock(mutex_);
        if (RecordStatus(record) == kDeviceStatusPending && !wait) {
            bytes = 0;
            return kDeviceErrorIoIncomplete;
        }
        changed_.wait(lock, [&] { return RecordStatus(record) != kDeviceStatusPending; });
        bytes = RecordBytes(record);
        return RecordStatus(record);
    }

    std::uint32_t WriteFile(const std::uint8_t* bytes, std::size_t count,
                            std::size_t& written) override {
        written = 0;
        if ((mode_.desiredAccess & kDeviceGenericWrite) == 0) {
            return kErrorAccessDenied;
        }
        if (count > kDeviceMaxTransferBytes || (bytes == nullptr && count > 0)) {
            return kErrorInvalidParameter;
        }
        DeviceRequest request;
        request.kind = DeviceRequestKind::Write;
        request.input.assign(bytes, bytes + count);
        std::uint32_t id = 0;
        const std::uint32_t sent = Issue(request, nullptr, 0, nullptr, id);
        return sent != kErrorSuccess ? sent : AwaitSynchronous(id, written);
    }

    std::uint32_t ReadFile(std::uint8_t* buffer, std::size_t maxBytes,
                           std::size_t& bytesRead) override {
        bytesRead = 0;
        if ((mode_.desiredAccess & kDeviceGenericRead) == 0) {
            return kErrorAccessDenied;
        }
        if (maxBytes > kDeviceMaxTransferBytes || (buffer == nullptr && maxBytes > 0)) {
            return kErrorInvalidParameter;
        }
        DeviceRequest request;
        request.kind = DeviceRequestKind::Read;
        request.outputSize = static_cast<std::uint32_t>(maxBytes);
        std::uint32_t id = 0;
        const std::uint32_t sent = Issue(request, buffer, maxBytes, nullptr, id);
        return sent != kErrorSuccess ? sent : AwaitSynchronous(id, bytesRead);
    }

    void Close() override {
        {
            std::lock_guard<std::mutex> lock(mutex_);
            if (closed_) {
                return;
            }
            closed_ = true;
            FailAll(kDeviceErrorOperationAborted);
        }
        changed_.notify_all();
        DeviceRequest request;
        request.kind = DeviceRequestKind::Close;
        request.id = 0;
        const std::vector<std::uint8_t> frame = device::EncodeRequest(request);
        {
            std::lock_guard<std::mutex> lock(sendMutex_);
            [[maybe_unused]] const int failure = device::SendAll(fd_, frame.data(), frame.size());
        }
        shutdown(fd_, SHUT_RDWR);
        if (receiver_.joinable()) {
            receiver_.join();
        }
    }

  private:
    struct Pending {
        DeviceRequestKind kind = DeviceRequestKind::Read;
        std::uint8_t* output = nullptr;
        std::size_t outputSize = 0;
        DeviceOverlapped* record = nullptr;  // null: a synchronous caller waits for it
        bool done = false;
        std::uint32_t status = kErrorSuccess;
        std::size_t bytes = 0;
    };

    std::uint32_t PrepareControl(std::uint32_t code, const std::uint8_t* input,
                                 std::size_t inputSize, const std::uint8_t* output,
                                 std::size_t outputSize, DeviceRequest& request) const {
        const std::uint32_t required = RequiredAccess(code);
        if ((mode_.desiredAccess & required) != required) {
            return kErrorAccessDenied;
        }
        if (inputSize > kDeviceMaxTransferBytes || outputSize > kDeviceMaxTransferBytes ||
            (input == nullptr && inputSize > 0) || (output == nullptr && outputSize > 0)) {
            return kErrorInvalidParameter;
        }
        request.kind = DeviceRequestKind::Control;
        request.controlCode = code;
        request.outputSize = static_cast<std::uint32_t>(outputSize);
        request.input.assign(input, input + inputSize);
        request.output.assign(output, output + outputSize);
        return kErrorSuccess;
    }

    // Registers the request and sends it; 0, or the error that ended it at once.
    std::uint32_t Issue(DeviceRequest& request, std::uint8_t* output, std::size_t outputSize,
                        DeviceOverlapped* record, std::uint32_t& id) {
        {
            std::lock_guard<std::mutex> lock(mutex_);
            if (closed_) {
                return kErrorInvalidHandle;
            }
            if (lostStatus_ != kErrorSuccess) {
                return lostStatus_;
            }
            id = nextId_++;
            Pending pending;
            pending.kind = request.kind;
            pending.output = output;
            pending.outputSize = outputSize;
            pending.record = record;
            if (record != nullptr) {
                StartRecord(*record);
            }
            pending_[id] = pending;
        }
        request.id = id;
        const std::vector<std::uint8_t> frame = device::EncodeRequest(request);
        int failure = 0;
        {
            std::lock_guard<std::mutex> lock(sendMutex_);
            failure = device::SendAll(fd_, frame.data(), frame.size());
        }
        if (failure == 0) {
            return kErrorSuccess;
        }
        std::lock_guard<std::mutex> lock(mutex_);
        const auto found = pending_.find(id);
        if (found == pending_.end()) {
            return kErrorInvalidHandle;  // closed meanwhile; the record was finished with 995
        }
        if (record != nullptr) {
            FinishRecord(*record, kDeviceErrorNotConnected, 0);
        }
        pending_.erase(found);
        return closed_ ? kErrorInvalidHandle : kDeviceErrorNotConnected;
    }

    std::uint32_t AwaitSynchronous(std::uint32_t id, std::size_t& bytes) {
        std::unique_lock<std::mutex> lock(mutex_);
        changed_.wait(lock, [&] {
            const auto found = pending_.find(id);
            return found == pending_.end() || found->second.done;
        });
        const auto found = pending_.find(id);
        if (found == pending_.end()) {
            return kDeviceErrorOperationAborted;
        }
        const Pending finished = found->second;
        pending_.erase(found);
        bytes = finished.bytes;
        return finished.status;
    }

    // Under mutex_: hands the reply's outcome to its request. A reply to a request that is no
    // longer outstanding (cancelled by Close) is dropped.
    void Complete(const DeviceReply& reply) {
        const auto found = pending_.find(reply.id);
        if (found == pending_.end() || found->second.done) {
            return;
        }
        Pending& pending = found->second;
        std::uint32_t status = reply.status;
        std::size_t bytes = 0;
        if (status == kErrorSuccess && pending.kind == DeviceRequestKind::Write) {
            bytes = reply.written;
        } else if (status == kErrorSuccess && reply.data.size() > pending.outputSize) {
            status = kErrorMoreData;  // the driver's end answered past the caller's buffer
        } else if (status == kErrorSuccess) {
            if (!reply.data.empty()) {
                std::memcpy(pending.output, reply.data.data(), reply.data.size());
            }
            bytes = reply.data.size();
        }
        Finish(found, status, bytes);
    }

    // Under mutex_.
    void Finish(std::map<std::uint32_t, Pending>::iterator found, std::uint32_t status,
                std::size_t bytes) {
        Pending& pending = found->second;
        if (pending.record == nullptr) {
            pending.done = true;
            pending.status = status;
            pending.bytes = bytes;
            return;
        }
        DeviceOverlapped& record = *pending.record;
        FinishRecord(record, status, bytes);
        pending_.erase(found);
        record.Completion().Set();
    }

    // Under mutex_: ends every outstanding request with `status`.
    void FailAll(std::uint32_t status) {
        for (auto it = pending_.begin(); it != pending_.end();) {
            auto next = std::next(it);
            if (!it->second.done) {
                Finish(it, status, 0);
            }
            it = next;
        }
    }

    void ReceiveLoop() {
        device::FrameReader reader(device::kMaxReplyBody);
        for (;;) {
            const device::FrameRead result = device::ReadFrame(fd_, reader, device::Deadline(-1));
            DeviceReply reply;
            const bool good =
                result == device::FrameRead::Frame &&
                device::DecodeReply(reader.Body().data(), reader.Body().size(), reply);
            std::lock_guard<std::mutex> lock(mutex_);
            if (!good) {
                lostStatus_ = kDeviceErrorNotConnected;
                FailAll(closed_ ? kDeviceErrorOperationAborted : kDeviceErrorNotConnected);
                changed_.notify_all();
                if (!closed_) {
                    shutdown(fd_, SHUT_RDWR);
                }
                return;
            }
            Complete(reply);
            changed_.notify_all();
        }
    }

    const int fd_;
    const DeviceOpenMode mode_;
    std::thread receiver_;
    std::mutex sendMutex_;  // one frame at a time on the socket

    std::mutex mutex_;  // guards what follows and the outcome fields of outstanding records
    std::condition_variable changed_;
    std::map<std::uint32_t, Pending> pending_;
    std::uint32_t nextId_ = kHelloId + 1;
    bool closed_ = false;
    std::uint32_t lostStatus_ = kErrorSuccess;  // set once the driver's end has gone
};

// Sends the hello and waits for the driver to accept or refuse the handle.
std::uint32_t Hello(int fd, const DeviceOpenMode& mode) {
    DeviceRequest hello;
    hello.kind = DeviceRequestKind::Hello;
    hello.id = kHelloId;
    hello.version = device::kProtocolVersion;
    hello.mode = mode;
    const std::vector<std::uint8_t> frame = device::EncodeRequest(hello);
    if (device::SendAll(fd, frame.data(), frame.size()) != 0) {
        return kDeviceErrorNotConnected;
    }
    device::FrameReader reader(device::kMaxReplyBody);
    const device::FrameRead result =
        device::ReadFrame(fd, reader, device::Deadline(kDeviceOpenReplyTimeoutMs));
    if (result == device::FrameRead::TimedOut) {
        return kDeviceErrorTimeout;
    }
    DeviceReply reply;
    if (result != device::FrameRead::Frame ||
        !device::DecodeReply(reader.Body().data(), reader.Body().size(), reply) ||
        reply.id != kHelloId) {
        return kDeviceErrorNotConnected;
    }
    return reply.status;
}

}  // namespace

std::uint32_t OpenDevice(const LanePaths& paths, const std::string& name,
                         const DeviceOpenMode& mode, std::unique_ptr<DeviceHandle>& handle) {
    handle.reset();
    const int fd = device::ConnectDeviceSocket(device::DeviceSocketPath(paths, name));
    if (fd < 0) {
        return (errno == ENOENT || errno == ECONNREFUSED) ? kErrorFileNotFound
                                                          : WindowsErrorFromErrno(errno);
    }
    const std::uint32_t status = Hello(fd, mode);
    if (status != kErrorSuccess) {
        close(fd);
        return status;
    }
    handle = std::make_unique<PosixDeviceHandle>(fd, mode);
    return kErrorSuccess;
}

}  // namespace lane::platform
