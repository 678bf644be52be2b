// The named-pipe stand-in: "\\.\pipe\NAME" is a Unix stream socket under the lane root.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

#include "common/Waitable.h"
#include "platform/LanePath.h"

namespace lane::platform {

// Client end, opened for reading and writing with overlapped reads.
class PipeClient {
  public:
    virtual ~PipeClient() = default;

    enum class ReadStatus { Completed, Pending, Failed };

    // Starts a read of up to `maxBytes` into `buffer`, which must stay valid until the read is
    // finished. Completed: `bytesRead` holds the count (0 is possible). Pending (997): `completion`
    // is set once the read has finished; fetch its outcome with GetOverlappedResult. Failed:
    // `error` holds the number (233 when the other end went away).
    virtual ReadStatus ReadOverlapped(std::uint8_t* buffer, std::size_t maxBytes,
                                      ManualResetEvent& completion, std::size_t& bytesRead,
                                      std::uint32_t& error) = 0;
    // Waits for a pending read to finish; true with `bytesRead`, false with `error`.
    virtual bool GetOverlappedResult(std::size_t& bytesRead, std::uint32_t& error) = 0;
    // Writes all bytes; false with `error` (233 when the other end went away).
    virtual bool Write(const std::uint8_t* bytes, std::size_t count, std::uint32_t& error) = 0;
    // Cancels a pending read and closes the connection.
    virtual void Close() = 0;
};

// Opens "\\.\pipe\<name>". Returns 0 and sets `client`, or the Windows error (2 when nobody
// listens on the pipe, 231 when the server has as many clients waiting as it takes). It never
// waits longer than a second, also when the server never accepts.
[[nodiscard]] std::uint32_t OpenPipeClient(const LanePaths& paths, const std::string& name,
                                           std::unique_ptr<PipeClient>& client);

// One accepted connection on the server side (lanesim). Plain blocking calls.
class PipeConnection {
  public:
    virtual ~PipeConnection() = default;
    // Writes all bytes; false when the partner went away.
    virtual bool Write(const std::uint8_t* bytes, std::size_t count) = 0;
    // Reads what is available, waiting at most `timeoutMs` (real time; -1 no limit).
    // Returns the count read (0 on time-out), or -1 when the partner closed the connection.
    virtual long Read(std::uint8_t* buffer, std::size_t maxBytes, int timeoutMs) = 0;
    virtual void Close() = 0;
};

// Server end (lanesim): listens on "\\.\pipe\<name>" until destroyed.
class PipeServer {
  public:
    virtual ~PipeServer() = default;
    // Waits up to `timeoutMs` (real time; -1 no limit) for a client. Null on time-out or
    // after Shutdown.
    virtual std::unique_ptr<PipeConnection> Accept(int timeoutMs) = 0;
    // Wakes a blocked Accept and stops listening; safe from another thread.
    virtual void Shutdown() = 0;
};

// Starts listening; returns 0 and sets `server`, or the Windows error. `waitingClients` (0: the
// system's limit) is how many opened connections may wait to be accepted.
[[nodiscard]] std::uint32_t ListenPipe(const LanePaths& paths, const std::string& name,
                                       std::unique_ptr<PipeServer>& server, int waitingClients = 0);

}  // namespace lane::platform
