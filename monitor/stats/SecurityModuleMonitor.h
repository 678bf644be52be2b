// CSecurityModuleMonitor: firmware version and EPROM check, dispenser maker, buttons and power.
#pragma once

#include <string>

#include "monitor/stats/DeviceMonitor.h"

namespace lane::monitor {

// The firmware version text of a 0xA1 sub-code 2 message: data bytes 0 to 5 digit by digit
// (each nibble as '0' plus its value) and byte 6 as a character: "01.23 12/05/2003 A". A byte
// 6 of 0 ends the text after the last blank.
std::string FirmwareVersionText(const MonitorMessage& message);

class CSecurityModuleMonitor final : public CDeviceMonitor {
  public:
    using CDeviceMonitor::CDeviceMonitor;
    ~CSecurityModuleMonitor() override;

    void ProcessMessage(const MonitorMessage& message) override;
    // Loads, prunes and saves back the button histories, then starts the worker.
    void Start(MonitorHost& host) override;
    // Prunes and saves both histories; then, while neither history is long and the EPROM check
    // has not failed, the module's colour steps back towards Green.
    void OnTimer() override;

  private:
    void OnFirmwareVersion(const MonitorMessage& message);
    void OnEpromPassed();
    void OnEpromFailed();
    void OnManufacturer(const MonitorMessage& message);
    void OnPowerEvent(const MonitorMessage& message);
    RepeatRule GreenButtonRule() const;
    RepeatRule RedButtonRule() const;

    // Press times, oldest first; touched by Start and then by the worker thread only.
    TimeHistory greenButtonTimes_;
    TimeHistory redButtonTimes_;
};

}  // namespace lane::monitor
