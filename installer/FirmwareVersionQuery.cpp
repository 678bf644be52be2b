// Asks the security module for its firmware version, raw through the USB driver: open port 6,
// request the EPROM version and the checksum, close port 6.
#include "installer/FirmwareVersionQuery.h"

#include <array>
#include <memory>
#include <thread>

#include "common/Waitable.h"
#include "platform/DeviceDriver.h"

namespace lane::quillan {

namespace {

inline constexpr std::size_t kMaxRegistryText = 81;
inline constexpr std::size_t kReplyBytes = 64;
inline constexpr std::size_t kVersionDigitsAt = 6;
inline constexpr std::size_t kVersionDigits = 3;

constexpr std::array<std::uint8_t, 4> kOpenPort6 = {0x06, 0x02, 0x00, 0x08};
constexpr std::array<std::uint8_t, 6> kVersionRequest = {0x06, 0x06, 0x02, 'Z', '2', 0x9A};
constexpr std::array<std::uint8_t, 6> kChecksumRequest = {0x06, 0x06, 0x02, 'Z', '4', 0x9C};
constexpr std::array<std::uint8_t, 4> kClosePort6 = {0x06, 0x03, 0x00, 0x09};

bool IsUsbSecurityModule(const platform::Registry& registry) {
    platform::RegValue value;
    if (registry.QueryValue(kLaneKey, kSecurityModuleTypeValue, value) != 0 ||
        value.type != platform::RegValue::Type::String || value.text.size() >= kMaxRegistryText) {
        return false;
    }
    return value.text == kUsbSecurityModule;
}

template <std::size_t N>
bool WriteWhole(platform::DeviceHandle& device, const std::array<std::uint8_t, N>& packet) {
    std::size_t written = 0;
    return device.WriteFile(packet.data(), packet.size(), written) == 0 && written == packet.size();
}

// Closes the handle when the replies have not come within the bound, which ends a read that
// waits for them.
class ReplyWatchdog {
  public:
    ReplyWatchdog(Clock& clock, platform::DeviceHandle& device)
        : thread_([this, &clock, &device] {
              if (!WaitFor(clock, done_, kReplyBoundMs)) {
                  device.Close();
              }
          }) {}
    ~ReplyWatchdog() {
        done_.Set();
        thread_.join();
    }
    ReplyWatchdog(const ReplyWatchdog&) = delete;
    ReplyWatchdog& operator=(const ReplyWatchdog&) = delete;

  private:
    ManualResetEvent done_;
    std::thread thread_;
};

// Reads replies until one carries 'z' and `code`; false when a read fails (the bound closed the
// handle, or the driver went away).
bool ReadUntil(platform::DeviceHandle& device, char code,
               std::array<std::uint8_t, kReplyBytes>& reply, std::size_t& size) {
    for (;;) {
        size = 0;
        if (device.ReadFile(reply.data(), reply.size(), size) != 0) {
            return false;
        }
        if (ReplyMatches(reply.data(), size, code)) {
            return true;
        }
    }
}

int AskModule(const VersionQueryServices& services, platform::DeviceHandle& device) {
    if (!WriteWhole(device, kOpenPort6)) {
        return 0;
    }
    services.clock.SleepMs(kPortSettleMs);
    if (!WriteWhole(device, kVersionRequest)) {
        return 0;
    }
    services.clock.SleepMs(kReplyDelayMs);
    std::array<std::uint8_t, kReplyBytes> reply{};
    std::size_t size = 0;
    int version = 0;
    {
        const ReplyWatchdog watchdog(services.replyClock, device);
        if (!ReadUntil(device, '2', reply, size)) {
            return 0;
        }
        version = VersionFromReply(reply.data(), size);
        if (!WriteWhole(device, kChecksumRequest)) {
            return 0;
        }
        services.clock.SleepMs(kReplyDelayMs);
        // The checksum's content is not used; a checksum that never comes leaves the version.
        if (!ReadUntil(device, '4', reply, size)) {
            return version;
        }
    }
    services.clock.SleepMs(kPortSettleMs);
    static_cast<void>(WriteWhole(device, kClosePort6));
    return version;
}

}  // namespace

bool ReplyMatches(const std::uint8_t* reply, std::size_t size, char code) {
    return size > 4 && reply[3] == 'z' && reply[4] == static_cast<std::uint8_t>(code);
}

int VersionFromReply(const std::uint8_t* reply, std::size_t size) {
    int version = 0;
    for (std::size_t i = kVersionDigitsAt; i < kVersionDigitsAt + kVersionDigits && i < size; ++i) {
        if (reply[i] < '0' || reply[i] > '9') {
            break;
        }
        version = version * 10 + (reply[i] - '0');
    }
    return version;
}

int QueryFirmwareVersion(const VersionQueryServices& services) {
    if (!IsUsbSecurityModule(services.registry)) {
        services.output("TMCB Security Module, Can NOT Upload Firmware\n");
        return 0;
    }
    std::unique_ptr<platform::DeviceHandle> device;
    const platform::DeviceOpenMode mode{
        platform::kDeviceGenericRead | platform::kDeviceGenericWrite, platform::kDeviceShareRead,
        0};
    if (platform::OpenDevice(services.paths, kSecurityModuleDevice, mode, device) != 0) {
        return 0;
    }
    const int version = AskModule(services, *device);
    device->Close();
    return version < kLowestKnownVersion ? 0 : version;
}

}  // namespace lane::quillan
