// The devices dialog: one tab per device with its monitoring switch, alert switches and numbers.
#pragma once

#include <cstddef>
#include <span>

#include "monitor/ui/SettingsDialog.h"

namespace lane::monitor {

inline constexpr int kIdDeviceTabs = 1008;

// One control of a tab and the setting it is bound to (exactly one of the three members).
struct DeviceControl {
    std::size_t tab;
    int id;
    ControlKind kind;
    const char* caption;
    bool MonitorSwitches::*switchFlag;
    bool MonitorSettings::*flag;
    std::uint32_t MonitorSettings::*number;
};

// The tabs in order, and every control with its tab.
std::span<const char* const> DeviceTabNames();
std::span<const DeviceControl> DeviceControls();

class CDevicesDialog final : public CSettingsDialog {
  public:
    using CSettingsDialog::CSettingsDialog;

    std::string Title() const override {
        return "Quarnel Orvel Monitoring Device and Event Configuration";
    }
    // The selected tab's controls only.
    std::vector<ControlView> Controls() const override;
    std::string Click(int id) override;
    // Any number, no bounds: text that is not a number is 0, a negative number wraps.
    void ChangeText(int id, const std::string& text) override;

    std::vector<std::string> Tabs() const override;
    std::size_t SelectedTab() const override { return tab_; }
    void SelectTab(std::size_t tab) override;

  private:
    std::size_t tab_ = 0;
};

}  // namespace lane::monitor
