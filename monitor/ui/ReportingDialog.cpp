// The reporting dialog: the report's interval and number of copies (and the port, shown only).
#include "monitor/ui/ReportingDialog.h"

namespace lane::monitor {

namespace {
std::uint32_t AtLeastOne(std::int32_t value) {
    return value < 1 ? 1u : static_cast<std::uint32_t>(value);
}
}  // namespace

std::vector<ControlView> CReportingDialog::Controls() const {
    const MonitorSettings& settings = block_.settings;
    return {
        {kIdReportPort, ControlKind::TextField, "Com Port", settings.Port, false, false},
        {kIdReportInterval, ControlKind::NumberField, "Report Inverval (Minutes)",
         FieldText(kIdReportInterval, settings.ReportingIntervalMinutes), false, true},
        {kIdReportCopies, ControlKind::NumberField, "Report File Copies",
         FieldText(kIdReportCopies, settings.ReportCopies), false, true},
    };
}

void CReportingDialog::ChangeText(int id, const std::string& text) {
    if (id == kIdReportInterval) {
        block_.settings.ReportingIntervalMinutes = AtLeastOne(ReadDecimalText(text));
    } else if (id == kIdReportCopies) {
        block_.settings.ReportCopies = AtLeastOne(ReadDecimalText(text));
    } else {
        return;
    }
    SetFieldText(id, text);
}

}  // namespace lane::monitor
