// CReportThread: writes the status report at the reporting interval, or at once when asked.
#include "monitor/stats/ReportThread.h"

#include <mutex>
#include <string>

#include "monitor/stats/FleetMetrics.h"
#include "monitor/stats/StatisticsStore.h"
#include "monitor/stats/StatusReport.h"

namespace lane::monitor {

namespace {
constexpr int kStopSignalled = 0;
constexpr int kRequestSignalled = 2;
constexpr std::int64_t kMsPerMinute = 60 * 1000;
}  // namespace

CReportThread::CReportThread(Clock& clock, MonitorHost& host, const platform::LanePaths& paths)
    : clock_(clock), host_(host), paths_(paths), timer_(clock) {}

CReportThread::~CReportThread() {
    Join();
}

void CReportThread::Start(ManualResetEvent& stopEvent) {
    if (thread_.joinable()) {
        return;
    }
    ArmTimer();
    thread_ = std::thread([this, &stopEvent] { Run(stopEvent); });
}

void CReportThread::Join() {
    if (thread_.joinable()) {
        thread_.join();
    }
}

void CReportThread::ArmTimer() {
    // An interval of 0 (a hand-edited registry) would report without pause: one minute instead.
    const std::uint32_t minutes = host_.Settings().ReportingIntervalMinutes;
    timer_.SetRelative(static_cast<std::int64_t>(minutes == 0 ? 1 : minutes) * kMsPerMinute);
}

void CReportThread::Run(ManualResetEvent& stopEvent) {
    for (;;) {
        const int signalled =
            WaitForAny(clock_, {&stopEvent, &timer_, &reportRequested_}, kInfiniteMs);
        if (signalled == kStopSignalled) {
            return;
        }
        reportRequested_.Reset();
        std::uint32_t result = 0;
        {
            // The save, the report and the reload are one step for the decoders: a change one
            // of them made between the save and the reload would otherwise be lost to the
            // reload of the value saved just before it.
            CDeviceStatistics& statistics = host_.Statistics();
            std::lock_guard<CDeviceStatistics> lock(statistics);
            std::uint32_t saved = 0;
            // A report that cannot be written is given up; the next interval tries again.
            result = WriteStatusReport(host_, paths_, clock_.Now().seconds, &saved);
            WriteFleetMetrics(host_);
            // Values edited in the registry by hand between reports take effect now. After a
            // failed save the hive holds older values than the record: nothing is read back.
            if (saved == 0) {
                LoadStatistics(host_.Registry(), statistics);
            }
        }
        if (signalled == kRequestSignalled) {
            // Service staff who asked for the report see in the trace that it is there.
            host_.TraceNote(result == 0 ? "Status report written on request"
                                        : "Status report on request failed, error " +
                                              std::to_string(result));
        }
        ArmTimer();
    }
}

}  // namespace lane::monitor
