// The interface board's driver transport ("\\.\TMCB"): open, close, overlapped packet writes
// and reads, and the reader thread that fills the utility's receive queue.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>
#include <thread>

#include "common/Waitable.h"
#include "link/LinkContext.h"
#include "link/ReceiveQueue.h"
#include "link/TMCB_Support.h"
#include "platform/DeviceDriver.h"

namespace lane::link {

inline constexpr std::int64_t kTmcbNotReadyPauseMs = 500;    // the reader waiting for the open
inline constexpr std::int64_t kTmcbDropPauseMs = 1000;       // after a packet that is dropped
inline constexpr std::int64_t kTmcbClosePortsPauseMs = 500;  // after closing ports 1 to 6
inline constexpr std::int64_t kTmcbReadWaitStepMs = 2000;  // a pending read is waited for in steps
// A pending write is waited for as long as it takes; the close ends it.
inline constexpr std::int64_t kTmcbWriteWaitMs = kInfiniteMs;
// Nothing on this driver is retried: a failed read ends the reader, a failed write is the
// caller's to repeat.
inline constexpr int kTmcbRequestRetries = 0;

class CTmcbStandalone {
  public:
    CTmcbStandalone(const LinkContext& context, CReceiveQueue& queue, LinkSender& sender);
    // Ends the reader thread (closing the handle cancels its read) and closes the device.
    ~CTmcbStandalone();
    CTmcbStandalone(const CTmcbStandalone&) = delete;
    CTmcbStandalone& operator=(const CTmcbStandalone&) = delete;

    // 0 when the driver is ready, else 88 with "TMCB Driver Not Initialized".
    [[nodiscard]] int DriverReady();
    [[nodiscard]] int Open();
    [[nodiscard]] int Close();
    [[nodiscard]] int TMCB_WritePacketToSecurityModule(const LinkPacket& packet);
    // One packet and its byte count (0 when nothing came); 0 or the read's code.
    [[nodiscard]] int TMCB_ReadPacketFromSecurityModule(LinkPacket& packet, std::size_t& count);

    void StartReader();
    Waitable& ReaderEnded() { return readerEnded_; }
    int ReaderResult() const { return readerResult_.load(); }

  private:
    std::shared_ptr<platform::DeviceHandle> Handle() const;
    void RunReader();
    // Waits `pauseMs` by the clock; true when the transport is being torn down meanwhile.
    bool Pause(std::int64_t pauseMs);

    const LinkContext& context_;
    CReceiveQueue& queue_;
    LinkSender& sender_;
    CLinkLog log_;

    mutable std::mutex handleMutex_;  // guards the handle, not the requests on it
    std::shared_ptr<platform::DeviceHandle> handle_;
    std::atomic<bool> driverReady_{false};  // set by the open, never cleared
    std::atomic<bool> deviceOpen_{false};   // set and cleared with the handle
    ManualResetEvent readEvent_;
    ManualResetEvent writeEvent_;
    ManualResetEvent stop_;
    std::thread reader_;
    ManualResetEvent readerEnded_;
    std::atomic<int> readerResult_{0};
};

}  // namespace lane::link
