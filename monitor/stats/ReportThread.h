// CReportThread: writes the status report at the reporting interval, or at once when asked.
#pragma once

#include <cstdint>
#include <thread>

#include "common/Clock.h"
#include "common/Waitable.h"
#include "monitor/stats/MonitorHost.h"
#include "platform/LanePath.h"

namespace lane::monitor {

class CReportThread {
  public:
    CReportThread(Clock& clock, MonitorHost& host, const platform::LanePaths& paths);
    // Waits for the thread; the owner sets the stop event first.
    ~CReportThread();
    CReportThread(const CReportThread&) = delete;
    CReportThread& operator=(const CReportThread&) = delete;

    // Arms the report timer one interval (ReportingIntervalMinutes) ahead and starts the
    // thread; it ends when `stopEvent` is set.
    void Start(ManualResetEvent& stopEvent);
    void Join();

    // Asks for a report now (any thread, a signal watcher included); the next interval is then
    // counted from that report.
    void RequestReport() { reportRequested_.Set(); }

  private:
    void Run(ManualResetEvent& stopEvent);
    void ArmTimer();

    Clock& clock_;
    MonitorHost& host_;
    const platform::LanePaths& paths_;
    WaitableTimer timer_;
    ManualResetEvent reportRequested_;
    std::thread thread_;
};

}  // namespace lane::monitor
