// The interface board's driver transport: open, close, overlapped writes and reads, reader.
#include "link/tmcb_standalone.h"

#include "link/LinkCodes.h"
#include "link/PacketRules.h"
#include "platform/SystemError.h"

namespace lane::link {

namespace {

bool IsBoardCommand(std::uint8_t command) {
    return command == TMCB_DC_INIT_PORT || command == TMCB_DC_OPEN_PORT ||
           command == TMCB_DC_CLOSE_PORT || command == TMCB_DC_PORT_DATA;
}

}  // namespace

CTmcbStandalone::CTmcbStandalone(const LinkContext& context, CReceiveQueue& queue,
                                 LinkSender& sender)
    : context_(context),
      queue_(queue),
      sender_(sender),
      log_(context.reporter, "tmcb_standalone") {}

CTmcbStandalone::~CTmcbStandalone() {
    stop_.Set();
    std::shared_ptr<platform::DeviceHandle> handle;
    {
        std::lock_guard<std::mutex> lock(handleMutex_);
        handle.swap(handle_);
    }
    if (handle != nullptr) {
        handle->Close();
    }
    if (reader_.joinable()) {
        reader_.join();
    }
}

std::shared_ptr<platform::DeviceHandle> CTmcbStandalone::Handle() const {
    std::lock_guard<std::mutex> lock(handleMutex_);
    return handle_;
}

bool CTmcbStandalone::Pause(std::int64_t pauseMs) {
    return WaitFor(context_.clock, stop_, pauseMs);
}

int CTmcbStandalone::DriverReady() {
    if (driverReady_.load()) {
        return 0;
    }
    log_.Information("TMCB Driver Not Initialized");
    return kTmcbDriverNotReady;
}

int CTmcbStandalone::Open() {
    if (driverReady_.load()) {
        log_.Warning("Driver Already Opened...");
        return kTmcbAlreadyOpen;
    }
    // The completion events of the read and write records start clear.
    readEvent_.Reset();
    writeEvent_.Reset();
    const platform::DeviceOpenMode mode{
        platform::kDeviceGenericRead | platform::kDeviceGenericWrite, 0,
        platform::kDeviceFlagOverlapped};
    std::unique_ptr<platform::DeviceHandle> opened;
    const std::uint32_t error = platform::OpenDevice(context_.paths, kTmcbDeviceName, mode, opened);
    if (error != platform::kErrorSuccess) {
        log_.Error("ERROR opening device:(%u) returned from CreateFile", error);
        return kTmcbOpenFailed;
    }
    {
        std::lock_guard<std::mutex> lock(handleMutex_);
        handle_ = std::move(opened);
    }
    deviceOpen_.store(true);
    driverReady_.store(true);
    return 0;
}

int CTmcbStandalone::Close() {
    log_.Detail("Close TMCB Ports...");
    for (std::uint8_t port = kFirstSerialPort; port <= kLastSerialPort; ++port) {
        static_cast<void>(sender_.FormatAndSendDataToSecurityModule(port, TMCB_DC_CLOSE_PORT, ""));
    }
    Pause(kTmcbClosePortsPauseMs);
    if (!driverReady_.load()) {
        log_.Detail("Driver Not Open.");
        return kTmcbCloseNotOpen;
    }
    std::shared_ptr<platform::DeviceHandle> handle;
    {
        std::lock_guard<std::mutex> lock(handleMutex_);
        handle.swap(handle_);
    }
    if (handle == nullptr) {
        return 0;
    }
    handle->Close();
    deviceOpen_.store(false);
    return 0;
}

int CTmcbStandalone::TMCB_WritePacketToSecurityModule(const LinkPacket& packet) {
    if (!driverReady_.load() || !deviceOpen_.load()) {
        log_.Detail("TMCB Driver Not Open...");
        return kTmcbWriteNotOpen;
    }
    log_.Detail("Writing Packet to Security Module...");
    if (packet.DA > kLastSerialPort) {
        log_.Error("ERROR: Invalid Device Address Sent to WritePacketToSecurityModule( %u )",
                   static_cast<unsigned>(packet.DA));
        return kTmcbInvalidAddress;
    }
    if (!IsBoardCommand(packet.DC)) {
        log_.Error("ERROR: Invalid Device Command Sent to WritePacketToSecurityModule( %u )",
                   static_cast<unsigned>(packet.DC));
        return kTmcbInvalidCommand;
    }
    BoardWirePacket wire;
    const std::size_t length = CopyToBoardWire(wire, packet);
    if (length == 0) {
        log_.Error("Data Packet Size ( %d ) to Large for TMCB Interface...", packet.DL);
        return kTmcbPacketTooLarge;
    }
    writeEvent_.Reset();
    platform::DeviceOverlapped record(writeEvent_);
    const auto handle = Handle();
    const std::uint32_t issued =
        handle == nullptr ? platform::kErrorInvalidHandle
                          : handle->IoControlOverlapped(TMCB_IOCTL_WRITE_PACKET, wire.data(),
                                                        length, nullptr, 0, record);
    if (issued == platform::kErrorSuccess) {
        return 0;
    }
    if (issued != platform::kDeviceStatusPending) {
        log_.Detail("Error Writing to TMCB Driver...");
        return kTmcbWriteFailed;
    }
    log_.Detail("Waiting on Pending I/O Write");
    // Only the request's end may end this wait: the record lives on this stack until then.
    WaitForAny(context_.clock, {&writeEvent_}, kTmcbWriteWaitMs);
    std::size_t bytes = 0;
    const std::uint32_t result = handle->GetOverlappedResult(record, false, bytes);
    if (result != platform::kErrorSuccess) {
        log_.Detail("GetOverlappedResult Rtn :%lu, GLE: %lu", 0ul,
                    static_cast<unsigned long>(result));
        return kTmcbGetResultWriteFailed;
    }
    return 0;
}

int CTmcbStandalone::TMCB_ReadPacketFromSecurityModule(LinkPacket& packet, std::size_t& count) {
    log_.Detail(
        "TMCB_ReadPacketFromSecurityModule() - Reading Packet From TMCB Security Module...");
    packet = LinkPacket{};
    count = 0;
    log_.Detail("Reading Packet... - Size = %lu", static_cast<unsigned long>(kBoardWirePacketSize));
    if (!driverReady_.load()) {
        log_.Warning("Driver Not Open.");
        return kTmcbReadNotOpen;
    }
    readEvent_.Reset();
    platform::DeviceOverlapped record(readEvent_);
    BoardWirePacket wire{};
    const auto handle = Handle();
    const std::uint32_t issued =
        handle == nullptr ? platform::kErrorInvalidHandle
                          : handle->IoControlOverlapped(TMCB_IOCTL_READ_PACKET, nullptr, 0,
                                                        wire.data(), wire.size(), record);
    if (issued != platform::kErrorSuccess && issued != platform::kDeviceStatusPending) {
        return kTmcbReadFailed;
    }
    // Only the request's end may end the wait: the record lives on this stack until then.
    while (issued == platform::kDeviceStatusPending &&
           !WaitFor(context_.clock, readEvent_, kTmcbReadWaitStepMs)) {
    }
    std::size_t bytes = 0;
    if (handle->GetOverlappedResult(record, false, bytes) != platform::kErrorSuccess) {
        return kTmcbGetResultReadFailed;
    }
    count = bytes;
    CopyFromBoardWire(wire, count, packet);
    return 0;
}

void CTmcbStandalone::StartReader() {
    if (reader_.joinable()) {
        return;
    }
    reader_ = std::thread([this] { RunReader(); });
}

void CTmcbStandalone::RunReader() {
    while (!stop_.IsSet()) {
        if (!driverReady_.load()) {
            Pause(kTmcbNotReadyPauseMs);
            continue;
        }
        LinkPacket packet;
        std::size_t count = 0;
        const int result = TMCB_ReadPacketFromSecurityModule(packet, count);
        if (result != 0) {
            readerResult_.store(stop_.IsSet() ? 0 : result);
            break;
        }
        switch (TmcbReaderAction(packet, count)) {
            case ReaderAction::Ignore:
                break;
            case ReaderAction::Drop:
                Pause(kTmcbDropPauseMs);
                break;
            case ReaderAction::Queue:
                queue_.Add(packet);
                break;
        }
    }
    readerEnded_.Set();
}

}  // namespace lane::link
