// The driver-device stand-in: "\\.\NAME" devices reached over a framed request/reply protocol.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "common/Waitable.h"
#include "platform/LanePath.h"

namespace lane::platform {

// CreateFile's access, sharing and flag bits, carried unchanged to the driver's end.
inline constexpr std::uint32_t kDeviceGenericRead = 0x80000000u;
inline constexpr std::uint32_t kDeviceGenericWrite = 0x40000000u;
inline constexpr std::uint32_t kDeviceShareRead = 0x1u;
inline constexpr std::uint32_t kDeviceShareWrite = 0x2u;
inline constexpr std::uint32_t kDeviceFlagOverlapped = 0x40000000u;

// Windows numbers the device stand-in reports that SystemError.h does not name.
inline constexpr std::uint32_t kDeviceErrorOperationAborted = 995;  // the handle was closed
inline constexpr std::uint32_t kDeviceErrorIoIncomplete = 996;      // not finished yet
inline constexpr std::uint32_t kDeviceErrorNotConnected = 1167;     // the driver's end went away
inline constexpr std::uint32_t kDeviceErrorTimeout = 1460;          // the open got no answer

// The status of an overlapped request that has not finished (ERROR_IO_PENDING).
inline constexpr std::uint32_t kDeviceStatusPending = 997;

// Largest input, output or write buffer one request carries.
inline constexpr std::size_t kDeviceMaxTransferBytes = 4096;
// How long an open waits for the driver to accept or refuse the handle (real time).
inline constexpr int kDeviceOpenReplyTimeoutMs = 5000;
// Control, read and write requests wait for the driver's reply as DeviceIoControl, ReadFile
// and WriteFile do, without limit: the reply, the handle's Close or the loss of the driver's
// end ends the wait. Kept here so that every caller sees the rule.
inline constexpr std::int64_t kDeviceRequestTimeoutMs = kInfiniteMs;

// How a handle is opened: CreateFile's dwDesiredAccess, dwShareMode and dwFlagsAndAttributes.
struct DeviceOpenMode {
    std::uint32_t desiredAccess = 0;
    std::uint32_t shareMode = 0;
    std::uint32_t flags = 0;
};

// The record of one overlapped request (Windows' OVERLAPPED): the event that is set when the
// request has finished, and its outcome, which the handle fills and GetOverlappedResult reads.
// As on Windows, the record, its event and the request's buffer stay valid until the request has
// finished or the handle has been closed.
class DeviceOverlapped {
  public:
    explicit DeviceOverlapped(ManualResetEvent& completion) : completion_(completion) {}
    DeviceOverlapped(const DeviceOverlapped&) = delete;
    DeviceOverlapped& operator=(const DeviceOverlapped&) = delete;
    ManualResetEvent& Completion() { return completion_; }

  private:
    friend class DeviceHandle;
    ManualResetEvent& completion_;
    std::uint32_t status_ = 0;  // 997 while the request is outstanding
    std::size_t bytes_ = 0;
};

// One open handle on a device: one connection to the driver's end.
class DeviceHandle {
  public:
    virtual ~DeviceHandle() = default;

    // DeviceIoControl, synchronous. The output buffer travels both ways (drivers that use direct
    // I/O read it as well as fill it). Returns 0 with `bytesReturned`, or the Windows error
    // (5 when the handle lacks the access the code asks for).
    [[nodiscard]] virtual std::uint32_t IoControl(std::uint32_t code, const std::uint8_t* input,
                                                  std::size_t inputSize, std::uint8_t* output,
                                                  std::size_t outputSize,
                                                  std::size_t& bytesReturned) = 0;
    // DeviceIoControl with an overlapped record. On a handle opened with kDeviceFlagOverlapped
    // it returns 997 (pending); the record's event is set once the driver has answered (or the
    // handle was closed) and GetOverlappedResult gives the outcome. On other handles it
    // finishes before it returns, sets the event and returns 0. Any other value: the request
    // failed at once and the event is left alone.
    [[nodiscard]] virtual std::uint32_t IoControlOverlapped(
        std::uint32_t code, const std::uint8_t* input, std::size_t inputSize, std::uint8_t* output,
        std::size_t outputSize, DeviceOverlapped& record) = 0;
    // The outcome of an overlapped request: 0 with `bytes`, the request's error, or 996 while it
    // is still outstanding and `wait` is false (with `wait` it waits for the end).
    [[nodiscard]] virtual std::uint32_t GetOverlappedResult(DeviceOverlapped& record, bool wait,
                                                            std::size_t& bytes) = 0;
    // WriteFile, synchronous: 0 with the count the driver took, or the Windows error.
    [[nodiscard]] virtual std::uint32_t WriteFile(const std::uint8_t* bytes, std::size_t count,
                                                  std::size_t& written) = 0;
    // ReadFile, synchronous: 0 with at most `maxBytes` bytes, or the Windows error.
    [[nodiscard]] virtual std::uint32_t ReadFile(std::uint8_t* buffer, std::size_t maxBytes,
                                                 std::size_t& bytesRead) = 0;
    // CloseHandle: requests still outstanding end with 995 (their events are set and synchronous
    // callers on other threads return); later requests fail with 6. Safe from any thread.
    virtual void Close() = 0;

  protected:
    // The backend's access to a record, always under its own lock.
    static void StartRecord(DeviceOverlapped& record) {
        record.status_ = kDeviceStatusPending;
        record.bytes_ = 0;
    }
    static void FinishRecord(DeviceOverlapped& record, std::uint32_t status, std::size_t bytes) {
        record.status_ = status;
        record.bytes_ = bytes;
    }
    static std::uint32_t RecordStatus(const DeviceOverlapped& record) { return record.status_; }
    static std::size_t RecordBytes(const DeviceOverlapped& record) { return record.bytes_; }
};

// Opens "\\.\<name>" (or plain "<name>", any case) with `mode`. Returns 0 and sets `handle`, or
// the Windows error: 2 when nobody serves the device, the driver's refusal, 1460 when it does
// not answer in time.
[[nodiscard]] std::uint32_t OpenDevice(const LanePaths& paths, const std::string& name,
                                       const DeviceOpenMode& mode,
                                       std::unique_ptr<DeviceHandle>& handle);

// ---- The driver's end (lanesim, tests, a bridge to real hardware) ----

enum class DeviceRequestKind : std::uint8_t {
    Hello = 1,    // a handle was opened: reply 0 to accept it, an error number to refuse it
    Control = 2,  // DeviceIoControl
    Write = 3,    // WriteFile
    Read = 4,     // ReadFile
    Close = 5,    // the handle is being closed; no reply
};

struct DeviceRequest {
    std::uint32_t id = 0;  // the reply names it
    DeviceRequestKind kind = DeviceRequestKind::Hello;
    DeviceOpenMode mode;               // Hello
    std::uint32_t version = 0;         // Hello: protocol version of the client
    std::uint32_t controlCode = 0;     // Control
    std::uint32_t outputSize = 0;      // Control: output buffer size; Read: most bytes wanted
    std::vector<std::uint8_t> input;   // Control: input buffer; Write: the bytes written
    std::vector<std::uint8_t> output;  // Control: the output buffer as the caller passed it
};

// One accepted handle. Receive from one thread; Reply from any thread, at any time after the
// request came (a read may be answered once the device has something to give).
class DeviceConnection {
  public:
    virtual ~DeviceConnection() = default;

    enum class ReceiveStatus { Received, TimedOut, Closed };
    // Waits up to `timeoutMs` (real time; -1 no limit) for the next request. Closed: the client
    // closed the handle, went away or broke the protocol.
    [[nodiscard]] virtual ReceiveStatus Receive(DeviceRequest& request, int timeoutMs) = 0;
    // Answers a hello, control or read request: `status` 0 with the bytes the caller receives
    // (at most its output size), or a Windows error. False when the client is gone.
    virtual bool Reply(std::uint32_t id, std::uint32_t status,
                       const std::vector<std::uint8_t>& bytes) = 0;
    // Answers a write: `status` and the number of bytes the device took.
    virtual bool ReplyWritten(std::uint32_t id, std::uint32_t status, std::uint32_t written) = 0;
    // Drops the handle: the client's outstanding and later requests fail with 1167.
    virtual void Close() = 0;
};

class DeviceServer {
  public:
    virtual ~DeviceServer() = default;
    // Waits up to `timeoutMs` (real time; -1 no limit) for a handle to be opened. Null on
    // time-out or after Shutdown.
    virtual std::unique_ptr<DeviceConnection> Accept(int timeoutMs) = 0;
    // Wakes a blocked Accept and stops serving; opens from now on find no device (2).
    virtual void Shutdown() = 0;
};

// Serves "\\.\<name>" until the server is destroyed. Returns 0 and sets `server`, or the
// Windows error (231 while another server serves the name).
[[nodiscard]] std::uint32_t ListenDevice(const LanePaths& paths, const std::string& name,
                                         std::unique_ptr<DeviceServer>& server);

}  // namespace lane::platform
