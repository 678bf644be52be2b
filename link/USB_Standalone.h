// The USB security module's driver transport: the channels on "\\.\SecModuleDevice0", packet
// writes, the system-port, serial-port and remote-monitor reads, and the utility's readers.
#pragma once

#include <array>
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

// Pauses and waits, by the clock.
inline constexpr std::int64_t kDriverNotOpenPauseMs = 500;     // readers waiting for the open
inline constexpr std::int64_t kDropPauseMs = 1000;             // after a packet that is dropped
inline constexpr std::int64_t kClosingReadPauseMs = 100;       // a read after the driver close
inline constexpr std::int64_t kMonitorClosePortPauseMs = 500;  // after closing port 7
// The remote-monitor read waits for the module as long as it takes; the driver close ends it.
inline constexpr std::int64_t kRemoteMonitorReadWaitMs = kInfiniteMs;
// No request on this driver is retried: a failed read ends its reader, a failed write is the
// caller's to repeat.
inline constexpr int kUsbRequestRetries = 0;

class CUsbStandalone {
  public:
    CUsbStandalone(const LinkContext& context, CReceiveQueue& queue, LinkSender& sender);
    // Ends the reader threads (closing the channels cancels their reads) and closes the driver.
    ~CUsbStandalone();
    CUsbStandalone(const CUsbStandalone&) = delete;
    CUsbStandalone& operator=(const CUsbStandalone&) = delete;

    [[nodiscard]] int OpenDriver();
    [[nodiscard]] int CloseDriver();
    [[nodiscard]] int USB_WritePacketToSecurityModule(const LinkPacket& packet);

    // Utility: one packet from the system port or a serial port; `count` is the wire count less
    // the checksum byte (0 when nothing came). 0 or the read's code.
    [[nodiscard]] int ReadSystemPort(LinkPacket& packet, std::size_t& count);
    [[nodiscard]] int ReadSerialPort(LinkPacket& packet, std::size_t& count);
    // Monitor: one packet of the remote-monitor port into `buffer`; `count` bytes (0 when the
    // request failed or was cancelled). Reports no failure: always 0.
    [[nodiscard]] int RemoteMonitorPortRead(UsbWirePacket& buffer, std::size_t& count);

    bool IsDriverOpen() const { return open_.load(); }
    // The readers' test: true while the driver is open, else reports "USB Driver Not
    // Initialized" and gives false.
    bool DriverInitialized();

    // Utility: the reader threads that fill the receive queue; they wait for the driver open.
    void StartSystemPortReader();
    void StartSerialPortReader();
    // Set when a reader has ended; its code is then in ReaderResult (0 when it was stopped).
    Waitable& SystemPortReaderEnded() { return systemReader_.ended; }
    Waitable& SerialPortReaderEnded() { return serialReader_.ended; }
    int SystemPortReaderResult() const { return systemReader_.result.load(); }
    int SerialPortReaderResult() const { return serialReader_.result.load(); }

  private:
    enum Channel : std::size_t {
        kWriteSystemPortIo,
        kReadSystemPortIo,
        kWriteSerialPortData,
        kReadSerialPortData,
        kReadRemoteMonitorPortData,
        kChannelCount,
    };
    struct Reader {
        std::thread thread;
        ManualResetEvent ended;
        std::atomic<int> result{0};
    };
    enum class ReadSource { SystemPort, SerialPort };

    std::shared_ptr<platform::DeviceHandle> ChannelHandle(Channel channel) const;
    void CloseChannels();
    int OpenChannel(Channel channel);
    int OpenChannelCode(Channel channel) const;
    int WriteSystemPort(UsbWirePacket& wire);
    int WriteSerialPort(UsbWirePacket& wire);
    // A read that failed because the driver close (or the end of the transport) cancelled it
    // counts as an empty read after the close.
    bool ReadCancelledByClose() const;
    int ReportSerialPacketCheck(const UsbWirePacket& wire, std::size_t count);
    void StartReader(Reader& reader, ReadSource source);
    void RunReader(Reader& reader, ReadSource source);
    void ReportSystemPortEvent(const LinkPacket& packet);
    // Waits `pauseMs` by the clock; true when the transport is being torn down meanwhile.
    bool Pause(std::int64_t pauseMs);

    const LinkContext& context_;
    CReceiveQueue& queue_;
    LinkSender& sender_;
    CLinkLog log_;

    mutable std::mutex channelMutex_;  // guards the handles, not the requests on them
    std::array<std::shared_ptr<platform::DeviceHandle>, kChannelCount> channels_;
    std::atomic<bool> open_{false};
    std::atomic<bool> closing_{false};  // set by the driver close, never cleared
    ManualResetEvent remoteReadEvent_;
    ManualResetEvent stop_;  // the end of the transport
    Reader systemReader_;
    Reader serialReader_;
};

}  // namespace lane::link
