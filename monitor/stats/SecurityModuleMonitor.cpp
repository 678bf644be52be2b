// CSecurityModuleMonitor: firmware version and EPROM check, dispenser maker, buttons and power.
#include "monitor/stats/SecurityModuleMonitor.h"

#include <cstdint>
#include <mutex>

namespace lane::monitor {

namespace {

// Message codes and sub-codes of the security module's own events.
constexpr std::uint8_t kModuleStatus = 0xA1;
constexpr std::uint8_t kFirmwareVersion = 2;
constexpr std::uint8_t kEpromPassed = 3;
constexpr std::uint8_t kEpromFailed = 4;
constexpr std::uint8_t kDispenserManufacturer = 5;
constexpr std::uint8_t kButtons = 0xA2;
constexpr std::uint8_t kGreenButton = 1;
constexpr std::uint8_t kRedButton = 2;
constexpr std::uint8_t kPower = 0xA4;
constexpr std::uint8_t kUpsEvent = 3;
constexpr std::uint8_t kImproperPowerDown = 4;

// Bill dispenser makers as the module reports them.
constexpr std::uint32_t kDiebold = 1;
constexpr std::uint32_t kFujitsu = 2;

void AppendDigits(std::string& text, std::uint8_t byte) {
    text.push_back(static_cast<char>('0' + (byte >> 4)));
    text.push_back(static_cast<char>('0' + (byte & 0x0F)));
}

std::string ManufacturerNote(std::uint32_t manufacturer) {
    if (manufacturer == kDiebold) {
        return "Bill Dispenser Manufacturer: Diebold";
    }
    if (manufacturer == kFujitsu) {
        return "Bill Dispenser Manufacturer: Fujitsu";
    }
    return "Bill Dispenser Manufacturer: <Unknown> (" + std::to_string(manufacturer) + ")";
}

}  // namespace

std::string FirmwareVersionText(const MonitorMessage& message) {
    const auto& data = message.data;
    std::string text;
    AppendDigits(text, data[0]);
    text.push_back('.');
    AppendDigits(text, data[1]);
    text.push_back(' ');
    AppendDigits(text, data[2]);
    text.push_back('/');
    AppendDigits(text, data[3]);
    text.push_back('/');
    AppendDigits(text, data[4]);
    AppendDigits(text, data[5]);
    text.push_back(' ');
    if (data[6] != 0) {
        text.push_back(static_cast<char>(data[6]));
    }
    return text;
}

CSecurityModuleMonitor::~CSecurityModuleMonitor() {
    Stop();
}

void CSecurityModuleMonitor::Start(MonitorHost& host) {
    // The histories are in place before the worker can touch them.
    const MonitorSettings& settings = host.Settings();
    LoadHistory(host, kSecModGroup, kGreenButtonTimesHistory, settings.SMGreenButtonIntervalMinutes,
                greenButtonTimes_);
    LoadHistory(host, kSecModGroup, kRedButtonTimesHistory, settings.SMRedButtonIntervalMinutes,
                redButtonTimes_);
    CDeviceMonitor::Start(host);
}

RepeatRule CSecurityModuleMonitor::GreenButtonRule() const {
    const MonitorSettings& settings = Host().Settings();
    return RepeatRule{kSecModGroup,
                      kGreenButtonTimesHistory,
                      settings.SMGreenButtonTimes,
                      settings.SMGreenButtonIntervalMinutes,
                      settings.FireSMGreenButtonRepeat,
                      kEventSMGreenButtonRepeat,
                      "Green Button Pressed"};
}

RepeatRule CSecurityModuleMonitor::RedButtonRule() const {
    const MonitorSettings& settings = Host().Settings();
    return RepeatRule{kSecModGroup,
                      kRedButtonTimesHistory,
                      settings.SMRedButtonTimes,
                      settings.SMRedButtonIntervalMinutes,
                      settings.FireSMRedButtonRepeat,
                      kEventSMRedButtonRepeat,
                      "Red Button Pressed"};
}

void CSecurityModuleMonitor::ProcessMessage(const MonitorMessage& message) {
    if (message.code == kModuleStatus) {
        switch (message.subCode) {
            case kFirmwareVersion:
                OnFirmwareVersion(message);
                break;
            case kEpromPassed:
                OnEpromPassed();
                break;
            case kEpromFailed:
                OnEpromFailed();
                break;
            case kDispenserManufacturer:
                OnManufacturer(message);
                break;
            default:
                break;
        }
    } else if (message.code == kButtons && message.subCode == kGreenButton) {
        CountRepeat(message.time, GreenButtonRule(), greenButtonTimes_,
                    &CDeviceStatistics::StatusSecurityModule);
    } else if (message.code == kButtons && message.subCode == kRedButton) {
        CountRepeat(message.time, RedButtonRule(), redButtonTimes_,
                    &CDeviceStatistics::StatusSecurityModule);
    } else if (message.code == kPower) {
        OnPowerEvent(message);
    }
    UpdateSystemStatus();
}

void CSecurityModuleMonitor::OnFirmwareVersion(const MonitorMessage& message) {
    const std::string version = FirmwareVersionText(message);
    {
        CDeviceStatistics& statistics = Host().Statistics();
        std::lock_guard<CDeviceStatistics> lock(statistics);
        statistics.SecModEPROMVersion = version;
    }
    Host().TraceNote("Security Module Firmware Version - " + version);
}

void CSecurityModuleMonitor::OnEpromPassed() {
    CDeviceStatistics& statistics = Host().Statistics();
    std::lock_guard<CDeviceStatistics> lock(statistics);
    statistics.SecModEPROMFailed = false;
    if (statistics.SecModState == DeviceState::CheckSumError) {
        statistics.SecModState = DeviceState::Ready;
    }
}

void CSecurityModuleMonitor::OnEpromFailed() {
    if (Host().Settings().FireSMChecksumFail) {
        FireEvent(kEventSMChecksumFail);
    }
    {
        CDeviceStatistics& statistics = Host().Statistics();
        std::lock_guard<CDeviceStatistics> lock(statistics);
        statistics.SecModEPROMFailed = true;
        // Only a ready module shows the failure as its state; a worse state stays.
        if (statistics.SecModState == DeviceState::Ready) {
            statistics.SecModState = DeviceState::CheckSumError;
        }
        statistics.StatusSecurityModule = StatusColour::Yellow;
    }
    Host().TraceNote("EPROM Firmware Failure");
}

void CSecurityModuleMonitor::OnManufacturer(const MonitorMessage& message) {
    const std::uint32_t manufacturer = message.data[0];
    {
        CDeviceStatistics& statistics = Host().Statistics();
        std::lock_guard<CDeviceStatistics> lock(statistics);
        statistics.BillDispManufacturer = manufacturer;
    }
    Host().TraceNote(ManufacturerNote(manufacturer));
}

void CSecurityModuleMonitor::OnPowerEvent(const MonitorMessage& message) {
    const MonitorSettings& settings = Host().Settings();
    if (message.subCode == kUpsEvent && settings.FireSMUPSEvent) {
        FireEvent(kEventSMUPSEvent);
    }
    if (message.subCode == kImproperPowerDown) {
        if (settings.FireSMAbnormalPowerOff) {
            FireEvent(kEventSMAbnormalPowerOff);
        }
        Host().TraceNote("Improper Power Down");
    }
}

void CSecurityModuleMonitor::OnTimer() {
    ArmTimer();
    const MonitorSettings& settings = Host().Settings();
    PruneAndSaveHistory(kSecModGroup, kGreenButtonTimesHistory,
                        settings.SMGreenButtonIntervalMinutes, greenButtonTimes_);
    PruneAndSaveHistory(kSecModGroup, kRedButtonTimesHistory, settings.SMRedButtonIntervalMinutes,
                        redButtonTimes_);
    {
        CDeviceStatistics& statistics = Host().Statistics();
        std::lock_guard<CDeviceStatistics> lock(statistics);
        // The history lengths are held against the minutes settings, as the lane always has.
        if (greenButtonTimes_.size() < settings.SMGreenButtonIntervalMinutes &&
            redButtonTimes_.size() < settings.SMRedButtonIntervalMinutes &&
            !statistics.SecModEPROMFailed) {
            StepTowardsGreen(statistics.StatusSecurityModule);
        }
    }
    UpdateSystemStatus();
}

}  // namespace lane::monitor
