// Writing the status report: the registry save, the numbered copies and the report file itself.
#include "monitor/stats/StatusReport.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <system_error>

#include "monitor/stats/StatisticsStore.h"
#include "platform/File.h"

namespace lane::monitor {

std::string ReportCopyName(const std::string& reportFile, std::uint32_t number) {
    char suffix[16];
    std::snprintf(suffix, sizeof suffix, ".%02u", static_cast<unsigned>(number));
    return reportFile + suffix;
}

void RotateReportCopies(const platform::LanePaths& paths, const std::string& reportFile,
                        std::uint32_t copies) {
    const std::uint32_t n = std::min(copies, kMaxReportCopies);
    // A copy that is missing or in use is passed over; the report is written all the same.
    std::error_code ignored;
    std::filesystem::remove(paths.Map(ReportCopyName(reportFile, n)), ignored);
    for (std::uint32_t i = n; i >= 1; --i) {
        const std::string from = i == 1 ? reportFile : ReportCopyName(reportFile, i - 1);
        std::filesystem::rename(paths.Map(from), paths.Map(ReportCopyName(reportFile, i)), ignored);
    }
}

std::uint32_t WriteStatusReport(MonitorHost& host, const platform::LanePaths& paths,
                                std::time_t now, std::uint32_t* saveResult) {
    host.TraceText(kGeneratingReportText);
    const std::uint32_t saved = SaveStatistics(host.Registry(), host.Statistics());
    host.StatisticsSaved(saved);
    if (saveResult != nullptr) {
        *saveResult = saved;
    }
    const MonitorSettings& settings = host.Settings();
    const std::string reportFile = settings.LogFileName;
    RotateReportCopies(paths, reportFile, settings.ReportCopies);

    std::unique_ptr<platform::SharedFile> file;
    if (platform::OpenSharedFile(paths.Map(reportFile), file) != 0) {
        return kReportNotOpened;
    }
    if (file->Truncate() != 0) {
        return kReportNotEmptied;
    }
    const std::string text = StatusReportText(host.Statistics(), settings, now);
    if (file->Write(text.data(), text.size()) != 0) {
        return kReportNotWritten;
    }
    return 0;
}

}  // namespace lane::monitor
