// The USB security module's driver transport: channels, packet writes and the three reads.
#include "link/USB_Standalone.h"

#include "link/PacketRules.h"
#include "platform/SystemError.h"

namespace lane::link {

namespace {

constexpr const char* kChannelNames[] = {
    "hDevice_Write_SystemPortIo",         "hDevice_Read_SystemPortIo",
    "hDevice_Write_SerialPortData",       "hDevice_Read_SerialPortData",
    "hDevice_Read_RemoteMonitorPortData",
};

constexpr std::uint32_t kShareReadWrite = platform::kDeviceShareRead | platform::kDeviceShareWrite;

}  // namespace

CUsbStandalone::CUsbStandalone(const LinkContext& context, CReceiveQueue& queue, LinkSender& sender)
    : context_(context), queue_(queue), sender_(sender), log_(context.reporter, "USB_Standalone") {}

CUsbStandalone::~CUsbStandalone() {
    stop_.Set();
    CloseChannels();
    for (Reader* reader : {&systemReader_, &serialReader_}) {
        if (reader->thread.joinable()) {
            reader->thread.join();
        }
    }
}

std::shared_ptr<platform::DeviceHandle> CUsbStandalone::ChannelHandle(Channel channel) const {
    std::lock_guard<std::mutex> lock(channelMutex_);
    return channels_[channel];
}

void CUsbStandalone::CloseChannels() {
    std::array<std::shared_ptr<platform::DeviceHandle>, kChannelCount> closing;
    {
        std::lock_guard<std::mutex> lock(channelMutex_);
        closing.swap(channels_);
    }
    for (const auto& handle : closing) {
        if (handle != nullptr) {
            handle->Close();
        }
    }
}

int CUsbStandalone::OpenChannelCode(Channel channel) const {
    const LinkCodes& codes = context_.codes;
    const int byChannel[] = {codes.openWriteSystemPortIo, codes.openReadSystemPortIo,
                             codes.openWriteSerialPortData, codes.openReadSerialPortData,
                             codes.openReadRemoteMonitorPortData};
    return byChannel[channel];
}

int CUsbStandalone::OpenChannel(Channel channel) {
    const bool writes = channel == kWriteSystemPortIo || channel == kWriteSerialPortData;
    platform::DeviceOpenMode mode;
    mode.desiredAccess = writes ? platform::kDeviceGenericWrite : platform::kDeviceGenericRead;
    mode.shareMode = kShareReadWrite;
    mode.flags = channel == kReadRemoteMonitorPortData ? platform::kDeviceFlagOverlapped : 0;
    std::unique_ptr<platform::DeviceHandle> handle;
    const std::uint32_t error = platform::OpenDevice(context_.paths, kUsbDeviceName, mode, handle);
    if (error != platform::kErrorSuccess) {
        log_.Error("Error Opending Security Module ( %s ) RtnValue: 0x%0x )",
                   kChannelNames[channel], error);
        return OpenChannelCode(channel);
    }
    std::lock_guard<std::mutex> lock(channelMutex_);
    channels_[channel] = std::move(handle);
    return 0;
}

int CUsbStandalone::OpenDriver() {
    if (open_.load()) {
        log_.Error("Driver Already Opened...");
        return context_.codes.driverAlreadyOpen;
    }
    const std::size_t channelCount =
        context_.IsMonitor() ? kChannelCount : static_cast<std::size_t>(kReadRemoteMonitorPortData);
    for (std::size_t channel = 0; channel < channelCount; ++channel) {
        const int result = OpenChannel(static_cast<Channel>(channel));
        if (result != 0) {
            CloseChannels();  // the channels opened so far are not kept
            return result;
        }
    }
    remoteReadEvent_.Reset();
    open_.store(true);
    return 0;
}

int CUsbStandalone::CloseDriver() {
    if (!open_.load()) {
        log_.Error("Driver Not Open.");
        return context_.codes.closeNotOpen;
    }
    closing_.store(true);
    log_.Information("Close TMCB Ports...");
    if (context_.IsMonitor()) {
        static_cast<void>(
            sender_.FormatAndSendDataToSecurityModule(kRemoteMonitorPort, TMCB_DC_CLOSE_PORT, ""));
        Pause(kMonitorClosePortPauseMs);
    }
    log_.Information("Release Handles...");
    CloseChannels();
    open_.store(false);
    return 0;
}

bool CUsbStandalone::DriverInitialized() {
    if (open_.load()) {
        return true;
    }
    log_.Information("USB Driver Not Initialized");
    return false;
}

int CUsbStandalone::USB_WritePacketToSecurityModule(const LinkPacket& packet) {
    if (!open_.load()) {
        log_.Error("Driver Not Open.");
        return context_.codes.writeNotOpen;
    }
    UsbWirePacket wire;
    if (CopyToWire(wire, packet) != 0) {
        log_.Error("Data Packet Size ( %d ) to Large for USB Interface...", packet.DL);
        return context_.codes.packetTooLarge;
    }
    if (!context_.IsMonitor() && packet.DA == TMCB_PORT_SYSTEM_PORT) {
        return WriteSystemPort(wire);
    }
    const bool serialPort = context_.IsMonitor()
                                ? packet.DA == kRemoteMonitorPort
                                : packet.DA >= kFirstSerialPort && packet.DA <= kLastSerialPort;
    if (serialPort) {
        return WriteSerialPort(wire);
    }
    log_.Error("ERROR: Invalid Device Address Sent to USB_ForwardPacketToSecurityModule( %X )",
               packet.DA);
    return context_.codes.invalidAddress;
}

int CUsbStandalone::WriteSystemPort(UsbWirePacket& wire) {
    const std::size_t length = AddChecksum(wire);
    const auto handle = ChannelHandle(kWriteSystemPortIo);
    std::size_t returned = 0;
    const std::uint32_t error = handle == nullptr
                                    ? platform::kErrorInvalidHandle
                                    : handle->IoControl(SECMODULE_IOCTL_USB_WRITE_SYSTEM_PORT,
                                                        nullptr, 0, wire.data(), length, returned);
    if (error != platform::kErrorSuccess) {
        log_.Error("ERROR: DeviceIoControl returns %0x.", error);
        return context_.codes.systemPortIoctlFailed;
    }
    return 0;
}

int CUsbStandalone::WriteSerialPort(UsbWirePacket& wire) {
    const std::size_t length = AddChecksum(wire);
    const auto handle = ChannelHandle(kWriteSerialPortData);
    std::size_t written = 0;
    const std::uint32_t error = handle == nullptr ? platform::kErrorInvalidHandle
                                                  : handle->WriteFile(wire.data(), length, written);
    if (error != platform::kErrorSuccess) {
        log_.Error("ERROR: WriteFile returns %0x.", error);
        return context_.codes.writeFileFailed;
    }
    if (written != length) {
        log_.Error("ERROR: WriteFile returned Invalid Number of Bytes...%u / %u",
                   static_cast<unsigned>(written), static_cast<unsigned>(length));
        return context_.codes.writeFileCount;
    }
    return 0;
}

bool CUsbStandalone::ReadCancelledByClose() const {
    return closing_.load() || stop_.IsSet();
}

bool CUsbStandalone::Pause(std::int64_t pauseMs) {
    return WaitFor(context_.clock, stop_, pauseMs);
}

int CUsbStandalone::ReadSystemPort(LinkPacket& packet, std::size_t& count) {
    UsbWirePacket buffer{};
    packet = LinkPacket{};
    count = 0;
    log_.Information("Issuing Ioctl to device - SECMODULE_IOCTL_USB_READ_SYSTEM_PORT_LANE_MANAGER");
    if (closing_.load()) {
        Pause(kClosingReadPauseMs);
        return 0;
    }
    const auto handle = ChannelHandle(kReadSystemPortIo);
    const std::uint32_t error =
        handle == nullptr ? platform::kErrorInvalidHandle
                          : handle->IoControl(SECMODULE_IOCTL_USB_READ_SYSTEM_PORT_LANE_MANAGER,
                                              nullptr, 0, buffer.data(), buffer.size(), count);
    if (error != platform::kErrorSuccess) {
        count = 0;
        if (ReadCancelledByClose()) {
            Pause(kClosingReadPauseMs);
            return 0;
        }
        log_.Error("ERROR: DeviceIoControl returns %0x.", error);
        return kSystemPortReadFailed;
    }
    if (count == 0) {
        log_.Warning("*** EMPTY PACKET ***::%d bytes read from device (%d requested).", 0,
                     static_cast<int>(buffer.size()));
        return 0;
    }
    log_.Detail("%d bytes read from device (%d requested).", static_cast<int>(count),
                static_cast<int>(buffer.size()));
    --count;  // the checksum byte
    if (IsValidChecksum(buffer)) {
        static_cast<void>(CopyFromWire(buffer, packet));
    }
    return 0;
}

int CUsbStandalone::ReadSerialPort(LinkPacket& packet, std::size_t& count) {
    UsbWirePacket buffer{};
    packet = LinkPacket{};
    count = 0;
    log_.Detail("Reading Packet From USB Security Module...");
    if (closing_.load()) {
        Pause(kClosingReadPauseMs);
        return 0;
    }
    const auto handle = ChannelHandle(kReadSerialPortData);
    const std::uint32_t error = handle == nullptr
                                    ? platform::kErrorInvalidHandle
                                    : handle->ReadFile(buffer.data(), buffer.size(), count);
    if (error != platform::kErrorSuccess) {
        count = 0;
        if (ReadCancelledByClose()) {
            Pause(kClosingReadPauseMs);
            return 0;
        }
        log_.Error("ERROR: ReadFile on hDevice_Read_SerialPortData Returned:%0x.", error);
        return kSerialReadFailed;
    }
    if (count == 0) {
        log_.Warning("*** EMPTY PACKET ***::%d bytes read from device (%d requested).", 0,
                     static_cast<int>(buffer.size()));
        return 0;
    }
    const int checked = ReportSerialPacketCheck(buffer, count);
    if (checked != 0) {
        return checked;
    }
    --count;  // the checksum byte
    if (IsValidChecksum(buffer)) {
        static_cast<void>(CopyFromWire(buffer, packet));
    }
    return 0;
}

int CUsbStandalone::ReportSerialPacketCheck(const UsbWirePacket& wire, std::size_t count) {
    const unsigned da = wire[0];
    const unsigned dc = wire[1];
    const unsigned dl = wire[2];
    const int size = static_cast<int>(count);
    const int requested = static_cast<int>(wire.size());
    switch (CheckSerialPortPacket(wire, count)) {
        case SerialPacketCheck::Good:
            return 0;
        case SerialPacketCheck::SizeTooSmall:
            log_.Error("Bad Packet Size Received from Security Module, Size = %d - (%d requested).",
                       size, requested);
            return kSerialSizeTooSmall;
        case SerialPacketCheck::SizeTooLarge:
            log_.Error("Bad Packet Size Received from Security Module, Size = %d - (%d requested).",
                       size, requested);
            return kSerialSizeTooLarge;
        case SerialPacketCheck::LengthMismatch:
            log_.Error(
                "Bad Packet Length / Size Received from Security Module, Size = %d, ( DA:%u, "
                "DC:%u, DL:%u )",
                size, da, dc, dl);
            return kSerialLengthMismatch;
        case SerialPacketCheck::InvalidAddress:
            log_.Error(
                "ERROR: Invalid Device Address Data Received From Security Module( DA:%u, "
                "DC:%u, DL:%u )",
                da, dc, dl);
            return kSerialInvalidAddress;
        case SerialPacketCheck::InvalidCommand:
            log_.Error(
                "ERROR: Invalid Device Command Data Received From Security Module( DA:%u, "
                "DC:%u, DL:%u )",
                da, dc, dl);
            return kSerialInvalidCommand;
    }
    return 0;
}

int CUsbStandalone::RemoteMonitorPortRead(UsbWirePacket& buffer, std::size_t& count) {
    remoteReadEvent_.Reset();
    platform::DeviceOverlapped record(remoteReadEvent_);
    buffer.fill(0);
    count = 0;
    if (closing_.load()) {
        Pause(kClosingReadPauseMs);
        return 0;
    }
    const auto handle = ChannelHandle(kReadRemoteMonitorPortData);
    if (handle == nullptr) {
        return 0;
    }
    const std::uint32_t issued =
        handle->IoControlOverlapped(SECMODULE_IOCTL_USB_READ_REMOTE_MONITOR_PORT, nullptr, 0,
                                    buffer.data(), buffer.size(), record);
    if (issued != platform::kErrorSuccess && issued != platform::kDeviceStatusPending) {
        return 0;
    }
    if (issued == platform::kDeviceStatusPending) {
        log_.Information("*** RemoteMonitorPortRead - IO Pending");
        // Only the request's end may end this wait: the record lives on this stack until then.
        WaitForAny(context_.clock, {&remoteReadEvent_}, kRemoteMonitorReadWaitMs);
    }
    std::size_t bytes = 0;
    if (handle->GetOverlappedResult(record, true, bytes) == platform::kErrorSuccess) {
        count = bytes;
    }
    return 0;
}

}  // namespace lane::link
