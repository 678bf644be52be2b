// CSecurityScaleMonitor: counts scale resets and calibrations and raises their alerts.
#pragma once

#include "monitor/stats/DeviceMonitor.h"

namespace lane::monitor {

class CSecurityScaleMonitor final : public CDeviceMonitor {
  public:
    using CDeviceMonitor::CDeviceMonitor;
    ~CSecurityScaleMonitor() override;

    void ProcessMessage(const MonitorMessage& message) override;
    // Loads, prunes and saves back the reset and calibration histories, then starts the worker.
    void Start(MonitorHost& host) override;
    // Prunes and saves both histories; then, while neither history is long, the scale's colour
    // steps back towards Green.
    void OnTimer() override;

  private:
    RepeatRule ResetRule() const;
    RepeatRule CalibrateRule() const;

    // Event times, oldest first; touched by Start and then by the worker thread only.
    TimeHistory resetTimes_;
    TimeHistory calibrateTimes_;
};

}  // namespace lane::monitor
