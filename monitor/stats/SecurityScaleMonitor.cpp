// CSecurityScaleMonitor: counts scale resets and calibrations and raises their alerts.
#include "monitor/stats/SecurityScaleMonitor.h"

#include <cstdint>
#include <mutex>

namespace lane::monitor {

namespace {
constexpr std::uint8_t kScale = 0xA6;
constexpr std::uint8_t kScaleReset = 1;
constexpr std::uint8_t kScaleCalibrated = 2;
}  // namespace

CSecurityScaleMonitor::~CSecurityScaleMonitor() {
    Stop();
}

void CSecurityScaleMonitor::Start(MonitorHost& host) {
    // The histories are in place before the worker can touch them.
    const MonitorSettings& settings = host.Settings();
    LoadHistory(host, kSecScaleGroup, kResetTimesHistory, settings.SSScaleResetIntervalMinutes,
                resetTimes_);
    LoadHistory(host, kSecScaleGroup, kCalibrateTimesHistory,
                settings.SSScaleCalibrateIntervalMinutes, calibrateTimes_);
    CDeviceMonitor::Start(host);
}

RepeatRule CSecurityScaleMonitor::ResetRule() const {
    const MonitorSettings& settings = Host().Settings();
    return RepeatRule{kSecScaleGroup,
                      kResetTimesHistory,
                      settings.SSScaleResetTimes,
                      settings.SSScaleResetIntervalMinutes,
                      settings.FireSSScaleResetRepeat,
                      kEventSSScaleResetRepeat,
                      "Scale Reset Pressed"};
}

RepeatRule CSecurityScaleMonitor::CalibrateRule() const {
    const MonitorSettings& settings = Host().Settings();
    return RepeatRule{kSecScaleGroup,
                      kCalibrateTimesHistory,
                      settings.SSScaleCalibrateTimes,
                      settings.SSScaleCalibrateIntervalMinutes,
                      settings.FireSSScaleCalibrateRepeat,
                      kEventSSScaleCalibrateRepeat,
                      "Scale Calibrated"};
}

void CSecurityScaleMonitor::ProcessMessage(const MonitorMessage& message) {
    if (message.code == kScale && message.subCode == kScaleReset) {
        CountRepeat(message.time, ResetRule(), resetTimes_,
                    &CDeviceStatistics::StatusSecurityScale);
    } else if (message.code == kScale && message.subCode == kScaleCalibrated) {
        CountRepeat(message.time, CalibrateRule(), calibrateTimes_,
                    &CDeviceStatistics::StatusSecurityScale);
    }
    UpdateSystemStatus();
}

void CSecurityScaleMonitor::OnTimer() {
    ArmTimer();
    const MonitorSettings& settings = Host().Settings();
    PruneAndSaveHistory(kSecScaleGroup, kResetTimesHistory, settings.SSScaleResetIntervalMinutes,
                        resetTimes_);
    PruneAndSaveHistory(kSecScaleGroup, kCalibrateTimesHistory,
                        settings.SSScaleCalibrateIntervalMinutes, calibrateTimes_);
    {
        CDeviceStatistics& statistics = Host().Statistics();
        std::lock_guard<CDeviceStatistics> lock(statistics);
        // The history lengths are held against the minutes settings, as for the module.
        if (resetTimes_.size() < settings.SSScaleResetIntervalMinutes &&
            calibrateTimes_.size() < settings.SSScaleCalibrateIntervalMinutes) {
            StepTowardsGreen(statistics.StatusSecurityScale);
        }
    }
    UpdateSystemStatus();
}

}  // namespace lane::monitor
