// lanesim's security module behind the driver sockets "\\.\SecModuleDevice0" and "\\.\TMCB":
// accepts the programs' handles, takes and records the packets they write, answers them as the
// module does, holds their reads until it has a packet for them, and plays the remote-monitor
// stream on port 7.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "common/Clock.h"
#include "common/RealClock.h"
#include "common/Waitable.h"
#include "platform/DeviceDriver.h"
#include "sim/ModuleFaceProtocol.h"
#include "sim/ModuleUpload.h"
#include "sim/Record.h"
#include "sim/Scenario.h"

namespace lane::sim {

// The two devices, as ListenDevice names them.
inline constexpr const char* kModuleUsbDeviceName = "SecModuleDevice0";
inline constexpr const char* kModuleBoardDeviceName = "TMCB";

// The driver control codes the module serves.
inline constexpr std::uint32_t kIoctlUsbReadSystemPort = 0x226B45;
inline constexpr std::uint32_t kIoctlUsbWriteSystemPort = 0x22AB86;
inline constexpr std::uint32_t kIoctlUsbReadRemoteMonitorPort = 0x226B4D;
inline constexpr std::uint32_t kIoctlBoardWritePacket = 0x222B04;
inline constexpr std::uint32_t kIoctlBoardReadPacket = 0x222AC4;

// Packets waiting for a read, per read channel; past this the oldest is let go.
inline constexpr std::size_t kMaxQueuedModulePackets = 4096;

// How the module answers beyond its identity.
struct ModuleFaceSetup {
    ModuleReplies replies;        // late answers, unrelated packets before replies
    std::string uploadImagePath;  // where a completed firmware upload is written (empty: nowhere)
    CarouselPortsSetup carousel;  // the E-Box on port 4 and the UPS on port 3
    BillAcceptorSetup billAcceptor;
    FujitsuDispenserSetup fujitsuDispenser;
    std::string billAcceptorImagePath;  // where a bill acceptor's completed upload is written
    Clock* clock = nullptr;             // the clock of the late answers (null: the real clock)
};

class ModuleFace {
  public:
    // Starts accepting on both servers at once. Either may be null (that device is not served).
    ModuleFace(std::unique_ptr<platform::DeviceServer> usb,
               std::unique_ptr<platform::DeviceServer> board, RecordWriter& record,
               const ModuleIdentity& identity, const ModuleFaceSetup& setup = {});
    // Stops accepting, drops every handle (their outstanding requests fail) and ends the threads.
    ~ModuleFace();
    ModuleFace(const ModuleFace&) = delete;
    ModuleFace& operator=(const ModuleFace&) = delete;

    enum AwaitResult : int { kReady = 0, kStopped = 1, kTimedOut = 2 };

    // Waits (on `clock`, up to `timeoutMs`, kInfiniteMs for no limit) until a handle is open on
    // either device, or for `stop`. Returns at once while one is open.
    [[nodiscard]] AwaitResult AwaitHandle(Clock& clock, Waitable& stop, std::int64_t timeoutMs);
    // The same until `port` has been opened (TMCB_DC_OPEN_PORT) and not closed since.
    [[nodiscard]] AwaitResult AwaitPortOpen(std::uint8_t port, Clock& clock, Waitable& stop,
                                            std::int64_t timeoutMs);
    // Waits (as AwaitHandle) until the remote-monitor stream has room: fewer than half of
    // kMaxQueuedModulePackets wait for port 7's reads. A module's stream is paced by its host's
    // reads, so a slow reader holds the scenario back instead of losing stream packets.
    [[nodiscard]] AwaitResult AwaitMonitorRoom(Clock& clock, Waitable& stop,
                                               std::int64_t timeoutMs);
    // Queues the remote-monitor stream bytes as port-7 packets of at most 60 data bytes each,
    // for the remote-monitor reads of "\\.\SecModuleDevice0".
    void SendMonitorStream(const std::vector<std::uint8_t>& bytes);
    // The fault spoils the next packets the module sends (see FaultPlan).
    void ArmFault(const ModuleFault& fault);
    // Looks for `bytes` among the packets written to the module (their wire bytes, one after
    // another) after the previous match; when found, the next search starts after them. When not
    // found, Changed() is reset.
    bool TakeMatch(const std::vector<std::uint8_t>& bytes);
    // True when a firmware upload has completed since the one the previous call took; when
    // not, Changed() is reset.
    bool TakeUpload();
    // Set whenever a handle opens or closes, a port changes or a packet is written.
    Waitable& Changed() { return changed_; }
    // True while a handle is open; AllClosed() is set while none is.
    bool InUse() const;
    Waitable& AllClosed() { return allClosed_; }
    bool PortOpen(std::uint8_t port) const;

  private:
    enum class Device { Usb, Board };
    // Where a read waits for its packet.
    enum Channel : std::size_t {
        kSystemPortRead,     // USB control read of the system port
        kSerialPortRead,     // USB ReadFile: ports 1 to 6
        kRemoteMonitorRead,  // USB overlapped control read of port 7
        kBoardRead,          // the board's control read, every port
        kChannelCount,
    };
    struct Handle {
        int number = 0;
        Device device = Device::Usb;
        std::unique_ptr<platform::DeviceConnection> connection;
        std::thread thread;
        bool open = false;  // the hello was accepted and the handle not closed
    };
    struct HeldRead {
        Handle* handle;
        std::uint32_t id;
    };

    void AcceptLoop(platform::DeviceServer& server, Device device);
    void Serve(Handle& handle);
    // Under mutex_.
    void HandleRequest(Handle& handle, const platform::DeviceRequest& request);
    void HandleHello(Handle& handle, const platform::DeviceRequest& request);
    void HandleUsbControl(Handle& handle, const platform::DeviceRequest& request);
    void HandleBoardControl(Handle& handle, const platform::DeviceRequest& request);
    void Hold(Channel channel, Handle& handle, std::uint32_t id);
    void TakePacket(Handle& handle, const std::vector<std::uint8_t>& bytes);
    void ChangePort(Handle& handle, const ModuleAnswer& answer);
    void Queue(Device device, const ModulePacket& packet);
    void Deliver(Channel channel);
    void Answer(Device device, const ModuleAnswer& answer);
    void CaptureUpload(Handle& handle, const ModulePacket& packet);
    void NoteDevices(Handle& handle, const ModuleAnswer& answer);
    // Sends the late answers when they are due, on the setup's clock.
    void DelayLoop();
    void CloseHandle(Handle& handle);
    // Waits until `ready` (checked under mutex_) holds.
    template <typename Ready>
    AwaitResult AwaitState(Clock& clock, Waitable& stop, std::int64_t timeoutMs, Ready ready);

    std::unique_ptr<platform::DeviceServer> usb_;
    std::unique_ptr<platform::DeviceServer> board_;
    RecordWriter& record_;
    const ModuleIdentity identity_;
    const ModuleFaceSetup setup_;
    RealClock realClock_;
    Clock& clock_;
    std::thread usbAcceptor_;
    std::thread boardAcceptor_;

    mutable std::mutex mutex_;  // guards what follows, and every reply sent
    std::vector<std::unique_ptr<Handle>> handles_;
    int openHandles_ = 0;
    bool ending_ = false;
    std::array<bool, kMaxModulePort + 1> portOpen_{};
    std::array<std::deque<HeldRead>, kChannelCount> held_;
    std::array<std::deque<std::vector<std::uint8_t>>, kChannelCount> queued_;
    FaultPlan faults_;
    ModuleAnswerState answerState_;
    FirmwareUploadCapture upload_;
    std::size_t uploadsCompleted_ = 0;
    std::size_t uploadsTaken_ = 0;
    // Answers waiting for their time: due tick, device, packet (in due order: one delay).
    struct LateAnswer {
        std::int64_t dueMs;
        Device device;
        ModulePacket packet;
    };
    std::deque<LateAnswer> late_;
    ManualResetEvent lateChanged_;
    std::thread delayer_;
    std::vector<std::uint8_t> received_;
    std::size_t matchFrom_ = 0;
    ManualResetEvent changed_;
    ManualResetEvent allClosed_{true};
};

}  // namespace lane::sim
