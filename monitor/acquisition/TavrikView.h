// CTavrikView: owns the monitor's settings, trace, stream, threads and decoders, and brings
// acquisition up and down in order.
#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "common/Clock.h"
#include "common/Waitable.h"
#include "link/securitymodule.h"
#include "monitor/acquisition/DriverLink.h"
#include "monitor/acquisition/MonitorReader.h"
#include "monitor/acquisition/RunFlags.h"
#include "monitor/acquisition/SaveReporter.h"
#include "monitor/acquisition/ServiceWatch.h"
#include "monitor/acquisition/SimulatorPipe.h"
#include "monitor/acquisition/SimulatorWriter.h"
#include "monitor/acquisition/StreamParser.h"
#include "monitor/acquisition/TraceFileWriter.h"
#include "monitor/acquisition/TraceLog.h"
#include "monitor/acquisition/TraceQueue.h"
#include "monitor/stats/DeviceMonitors.h"
#include "monitor/stats/DeviceStatistics.h"
#include "monitor/stats/EventStamps.h"
#include "monitor/stats/MonitorHost.h"
#include "monitor/stats/ReportThread.h"
#include "monitor/stats/Settings.h"
#include "monitor/ui/SettingsDialog.h"
#include "monitor/ui/TraceList.h"
#include "platform/LanePath.h"
#include "platform/MessageBox.h"
#include "platform/Registry.h"

namespace lane::monitor {

// What the program's main hands to the view.
struct ViewServices {
    Clock& clock;
    const platform::LanePaths& paths;
    platform::Registry& registry;
    platform::MessageBoxService& messageBox;
    // Set when the process is asked to stop; ends a start that waits for the simulator.
    ManualResetEvent& stopRequested;
};

// How long the stop waits for the simulator writer to send the stop bytes.
inline constexpr std::int64_t kSimulatorStopSendTimeoutMs = 5000;

class CTavrikView final : public ParserSink, public MonitorHost {
  public:
    CTavrikView(const ViewServices& services, const RunFlags& flags);
    ~CTavrikView() override;
    CTavrikView(const CTavrikView&) = delete;
    CTavrikView& operator=(const CTavrikView&) = delete;

    // The window's creation: the list, the trace file, then acquisition. A source that fails
    // to open stops acquisition again and posts the quit request; creation still succeeds.
    bool OnCreate();
    // The orderly stop; runs once, later calls do nothing.
    void StopMonitoring();

    // Set when the monitor asks the application to quit (after a failed start).
    ManualResetEvent& QuitRequested() { return quitRequested_; }
    bool SourceFailed() const { return sourceFailed_; }
    // True when the stop's last save of the settings or statistics failed.
    bool SaveFailed() const { return saveFailed_; }

    CTraceLog& Trace() { return trace_; }
    CTraceList& List() { return list_; }
    CDeviceMonitors& Monitors() { return monitors_; }
    // Asks the report thread for a status report now (any thread).
    void RequestReport() { reportThread_.RequestReport(); }
    // Reads the settings from the registry again, as staff changed them (any thread): the parser,
    // the decoders and the report use the new values from their next message or report on; the
    // trace notes what changed. The trace file's own settings wait for the next start.
    void ReloadSettings();
    // The threads the service manager's watchdog pings for: the reader and every monitor's worker.
    std::vector<WatchedThread> WatchedThreads();

    // The settings dialogs (window thread): a copy of the settings block, and the block OK hands
    // back, which is copied over the view's, stored, and switches the trace file as the tracing
    // dialog left it. Does nothing once the view has stopped.
    SettingsBlock CopySettingsBlock();
    void ApplySettingsBlock(SettingsBlock block);
    // The tracing dialog's Start: opens the trace file at `path` (a Windows path) at its end.
    [[nodiscard]] std::uint32_t OpenTraceFileAtEnd(const std::string& path,
                                                   std::unique_ptr<platform::SharedFile>& file,
                                                   std::string& reason);

    // MonitorHost.
    const MonitorSettings& Settings() const override {
        return *currentSettings_.load(std::memory_order_acquire);
    }
    CDeviceStatistics& Statistics() override { return statistics_; }
    void TraceText(const std::string& text) override { trace_.TraceText(text); }
    void TraceNote(const std::string& text) override { trace_.TraceNote(text); }
    platform::Registry& Registry() override { return services_.registry; }
    void BeginTraceBatch() override { trace_.BeginThreadBatch(); }
    void EndTraceBatch() override { trace_.EndThreadBatch(); }
    void StatisticsSaved(std::uint32_t result) override {
        (void)saves_.Note(SavedBlock::Statistics, result);
    }
    CStreamParser& Parser() { return parser_; }
    link::CSecurityModuleLink& Link() { return link_; }

    // ParserSink.
    void StampEventTimes(const MonitorMessage& message) override;
    void StampCommunicated(std::time_t time) override;
    void TraceMonitorMessage(const MonitorMessage& message) override;
    void TraceUnknown(const std::uint8_t* bytes, std::size_t count) override;
    void Post(Device device, std::unique_ptr<MonitorMessage> message) override;
    std::unique_ptr<MonitorMessage> NewMessage() override;
    void EndOfParse() override;

  private:
    // The reader's hand-over: the messages collected for each monitor go to it as one batch.
    void HandOverMessages();
    void CreateRegistryKeys();
    std::unique_ptr<platform::SharedFile> OpenTraceFile();
    void StartAcquisition();
    bool OpenSource();
    void FailStart();
    std::unique_ptr<CTraceFileWriter> MakeTraceWriter(std::unique_ptr<platform::SharedFile> file);
    // Ends the writer after every pending line and starts a new one on `file` (which may be
    // null: no trace file). Under traceWriterLock_.
    void SwitchTraceWriter(std::unique_ptr<platform::SharedFile> file, bool keepFile);
    // Makes `settings` the block every thread reads from now on (a reload, a dialog's OK).
    // Under reloadLock_.
    const MonitorSettings& PublishSettings(MonitorSettings settings);

    ViewServices services_;
    RunFlags flags_;
    MonitorSettings settings_;  // as loaded at start; never changed once threads run
    // Each reload's or dialog's settings; a reader may still hold an earlier block, so none is
    // freed before the view goes (a block is a few hundred bytes; reloads are a staff action).
    std::deque<MonitorSettings> reloadedSettings_;
    std::atomic<const MonitorSettings*> currentSettings_{&settings_};
    std::mutex reloadLock_;
    CDeviceStatistics statistics_;
    CTraceList list_;
    CTraceQueue traceQueue_;
    COposTraceRelay relay_{kMonitorRelayClass, kMonitorRelayName};
    CTraceLog trace_;
    CSaveReporter saves_;
    ManualResetEvent stopEvent_;
    ManualResetEvent quitRequested_;
    CStreamParser parser_;
    CSimulatorPipe pipe_;
    // Driver mode's source: the monitor's link, reporting through the trace.
    CDriverTraceReporter linkReporter_;
    link::CSecurityModuleLink link_;
    CLinkRemoteMonitorSource driverSource_;
    CMonitorReader reader_;
    CSimulatorWriter simulatorWriter_;
    std::unique_ptr<platform::SharedFile> traceFile_;
    std::unique_ptr<CTraceFileWriter> traceWriter_;
    // The writer's own stop, so that the tracing dialog can end it and start it again; the
    // view's stop sets it too. traceWriterLock_ guards the writer's switch against the stop.
    ManualResetEvent traceWriterStop_;
    std::mutex traceWriterLock_;
    bool traceFileOpen_ = false;  // the writer has a file
    CDeviceMonitors monitors_;
    CReportThread reportThread_;
    // Messages the reader thread collected since its last hand-over, by device (reader only).
    std::array<std::vector<std::unique_ptr<MonitorMessage>>, kDeviceCount> collected_;
    std::size_t collectedCount_ = 0;
    // Messages the monitors are done with, for the reader's next ones (reader only): a fast
    // stream then costs no allocation per message.
    std::vector<std::unique_ptr<MonitorMessage>> spareMessages_;
    // The statistics stamps of the parser's pass, set at its end (under the parser's lock).
    CEventStampBatch stamps_;
    bool sourceFailed_ = false;
    bool saveFailed_ = false;
    bool linkStarted_ = false;  // the link start-up ran and succeeded
    bool stopped_ = false;
};

}  // namespace lane::monitor
