// The reporting dialog: the report's interval and number of copies (and the port, shown only).
#pragma once

#include "monitor/ui/SettingsDialog.h"

namespace lane::monitor {

inline constexpr int kIdReportPort = 1000;
inline constexpr int kIdReportInterval = 1009;
inline constexpr int kIdReportCopies = 1010;

class CReportingDialog final : public CSettingsDialog {
  public:
    using CSettingsDialog::CSettingsDialog;

    std::string Title() const override { return "Orvel Device Reporting Configuration"; }
    std::vector<ControlView> Controls() const override;
    std::string Click(int) override { return ""; }
    // Each field's value is at least 1.
    void ChangeText(int id, const std::string& text) override;
};

}  // namespace lane::monitor
