// CTavrikView: owns the monitor's settings, trace, stream, threads and decoders, and brings
// acquisition up and down in order.
#include "monitor/acquisition/TavrikView.h"

#include "monitor/acquisition/MessageTrace.h"
#include "monitor/acquisition/StartupTexts.h"
#include "monitor/decoders/CurrencyProfile.h"
#include "monitor/stats/EventStamps.h"
#include "monitor/stats/StatisticsStore.h"
#include "platform/SystemError.h"

namespace lane::monitor {

namespace {
constexpr std::uint32_t kLoggingToFile = 2;
// Spare messages kept for the reader: two hand-overs' worth.
constexpr std::size_t kMaxSpareMessages = 2 * kHandOverLines;
constexpr std::uint8_t kSimulatorStart1[] = {0x02, 0x56, 0x03};
constexpr std::uint8_t kSimulatorStart2[] = {0x02, 0x48, 0x03};
constexpr std::uint8_t kSimulatorStop1[] = {0xDE, 0xAD, 0xBE, 0xEF};
constexpr std::uint8_t kSimulatorStop2[] = {0xFF, 0xFF};
// A reload note's length before its frame and the trace-file remark, well inside a trace line.
constexpr std::size_t kReloadNoteMax = kTraceMessageMax - 200;
}  // namespace

CTavrikView::CTavrikView(const ViewServices& services, const RunFlags& flags)
    : services_(services),
      flags_(flags),
      trace_(services.clock),
      saves_(trace_, services.messageBox, services.registry.HiveFile()),
      parser_(services.clock, settings_.switches, *this),
      pipe_(services.clock, services.paths, services.messageBox),
      linkReporter_(trace_),
      link_(link::LinkConfig{link::LinkRole::Monitor}, linkReporter_, services.clock,
            services.paths),
      driverSource_(link_),
      reader_(services.clock, trace_, parser_, services.messageBox),
      simulatorWriter_(services.clock, pipe_),
      monitors_(services.clock, kAlertLibraryName, LoadCurrencyProfile(services.paths)),
      reportThread_(services.clock, *this, services.paths) {
    CreateRegistryKeys();
    LoadSettings(services_.registry, settings_);
    if (settings_.LoggingState != 0) {
        trace_.SetTraceQueue(&traceQueue_);
    }
    // Written back at once so that every setting exists for service staff to edit.
    (void)saves_.Note(SavedBlock::Settings, SaveSettings(services_.registry, settings_));
    trace_.SetRelay(&relay_);
    trace_.SetHandOverHook([this] { HandOverMessages(); });
    trace_.SetBadDataRecorder([this](std::time_t time, const std::string& hex) {
        RecordBadData(statistics_, time, hex);
    });
    LoadStatistics(services_.registry, statistics_);
    const std::string version = ReadLaneSoftwareVersion(services_.paths);
    std::lock_guard<CDeviceStatistics> lock(statistics_);
    statistics_.LaneSoftwareVersion = version;
}

CTavrikView::~CTavrikView() {
    StopMonitoring();
    linkReporter_.Detach();
}

void CTavrikView::CreateRegistryKeys() {
    platform::RegBatch batch;
    batch.CreateKey(kSettingsKey);
    batch.CreateKey(kValuesKey);
    (void)services_.registry.Apply(batch);
}

bool CTavrikView::OnCreate() {
    if (flags_.displayMode) {
        trace_.SetDisplayList(&list_);
    }
    if (settings_.LoggingState == kLoggingToFile) {
        traceFile_ = OpenTraceFile();
    }
    StartAcquisition();
    return true;
}

std::unique_ptr<platform::SharedFile> CTavrikView::OpenTraceFile() {
    std::unique_ptr<platform::SharedFile> file;
    const std::string path = services_.paths.Map(settings_.TraceFileName);
    std::uint32_t error = platform::OpenSharedFile(path, file);
    if (error == 0) {
        error = file->SeekToEnd();
    }
    if (error != 0) {
        // Lines for a file that cannot be opened are dropped; the user is told once.
        services_.messageBox.Show("Cannot open trace file " + settings_.TraceFileName + ": " +
                                      platform::SystemErrorText(error),
                                  "Tavrik", platform::MessageIcon::Warning);
        return nullptr;
    }
    return file;
}

void CTavrikView::StartAcquisition() {
    traceWriter_ = MakeTraceWriter(std::move(traceFile_));
    if (!OpenSource()) {
        FailStart();
        return;
    }
    if (flags_.simulatorMode) {
        reader_.StartSimulator(pipe_, stopEvent_);
    } else {
        reader_.StartDriver(driverSource_, stopEvent_);
    }
    simulatorWriter_.Start(stopEvent_);
    reportThread_.Start(stopEvent_);
    traceWriter_->Start(traceWriterStop_);
    monitors_.Start(*this);
    // Queued in driver mode too, where no pipe is open and writing them fails without report.
    simulatorWriter_.SendToSimulator(kSimulatorStart1, sizeof kSimulatorStart1);
    simulatorWriter_.SendToSimulator(kSimulatorStart2, sizeof kSimulatorStart2);
}

bool CTavrikView::OpenSource() {
    if (flags_.simulatorMode) {
        return pipe_.OpenAtStart(services_.stopRequested);
    }
    // The link start-up: open the driver, then open the remote-monitor port 7. Its failures are
    // traced by the link.
    if (link_.StartUpSecurityModule() != 0) {
        return false;
    }
    linkStarted_ = true;
    return true;
}

void CTavrikView::FailStart() {
    sourceFailed_ = true;
    if (!services_.stopRequested.IsSet()) {
        services_.messageBox.Show(kErrorInitializingMonitor, kStartupErrorCaption,
                                  platform::MessageIcon::Information);
    }
    traceWriter_->Start(traceWriterStop_);
    trace_.TraceNote(kErrorInitializingMonitor);
    StopMonitoring();
    quitRequested_.Set();
}

void CTavrikView::StopMonitoring() {
    {
        std::lock_guard<std::mutex> lock(traceWriterLock_);
        if (stopped_) {
            return;
        }
        stopped_ = true;
    }
    const bool writerRuns = simulatorWriter_.Running();
    if (flags_.simulatorMode && writerRuns) {
        simulatorWriter_.SendToSimulator(kSimulatorStop1, sizeof kSimulatorStop1);
        (void)simulatorWriter_.WaitUntilSent(kSimulatorStopSendTimeoutMs);
    }
    if (!sourceFailed_ && flags_.simulatorMode && writerRuns) {
        simulatorWriter_.SendToSimulator(kSimulatorStop2, sizeof kSimulatorStop2);
        (void)simulatorWriter_.WaitUntilSent(kSimulatorStopSendTimeoutMs);
    }
    if (!sourceFailed_ && linkStarted_) {
        // Closes port 7 and the driver; the pending remote-monitor read ends with it, and the
        // reader, finding the driver closed, ends.
        (void)link_.ShutDownSecurityModule();
    }
    // The stop's failures are told once, by ReportLoss below.
    (void)saves_.Note(SavedBlock::Settings, SaveSettings(services_.registry, Settings()), false);
    (void)saves_.Note(SavedBlock::Statistics, SaveStatistics(services_.registry, statistics_),
                      false);
    monitors_.Stop();
    stopEvent_.Set();
    // The writer ends with its stop event; a reader waiting for room in its queue goes on.
    traceWriterStop_.Set();
    traceQueue_.Close();
    reader_.Join();
    simulatorWriter_.Join();
    reportThread_.Join();
    // The reader may have stamped a last message after the save above; with every thread ended
    // the statistics are saved once more so that nothing it recorded is lost. It is also the
    // retry of a save that failed above.
    (void)saves_.Note(SavedBlock::Statistics, SaveStatistics(services_.registry, statistics_),
                      false);
    saveFailed_ = saves_.ReportLoss();
    if (traceWriter_) {
        traceWriter_->Join();
        // Lines queued after the writer's last batch still reach the file.
        traceWriter_->WriteQueuedLines();
        traceWriter_->Close();
    }
    pipe_.Close();
    simulatorWriter_.DiscardQueued();
}

const MonitorSettings& CTavrikView::PublishSettings(MonitorSettings settings) {
    const MonitorSettings& next = reloadedSettings_.emplace_back(std::move(settings));
    currentSettings_.store(&next, std::memory_order_release);
    parser_.UseSwitches(next.switches);
    return next;
}

void CTavrikView::ReloadSettings() {
    std::lock_guard<std::mutex> lock(reloadLock_);
    const MonitorSettings& current = Settings();
    MonitorSettings reloaded = current;
    LoadSettings(services_.registry, reloaded);
    const std::vector<std::string> changed = ChangedSettings(current, reloaded);
    if (changed.empty()) {
        trace_.TraceNote("Settings reloaded from the registry: nothing changed");
        return;
    }
    const MonitorSettings& next = PublishSettings(std::move(reloaded));
    // As many notes as the changes need: a trace line holds kTraceMessageMax characters.
    const std::string heading = "Settings reloaded from the registry:";
    std::string note = heading;
    for (const std::string& setting : changed) {
        if (note.size() > heading.size() && note.size() + 1 + setting.size() > kReloadNoteMax) {
            trace_.TraceNote(note);
            note = heading;
        }
        note += " " + setting;
    }
    if (next.LoggingState != current.LoggingState || next.MaxLogSize != current.MaxLogSize ||
        next.TraceFileName != current.TraceFileName) {
        note += " (the trace file's settings take effect at the next start)";
    }
    trace_.TraceNote(note);
}

std::vector<WatchedThread> CTavrikView::WatchedThreads() {
    std::vector<WatchedThread> threads{{"reader", &reader_.ReaderHeartbeat()}};
    const std::pair<Device, const char*> monitors[] = {
        {Device::CoinAcceptor, "coin acceptor monitor"},
        {Device::BillAcceptor, "bill acceptor monitor"},
        {Device::CoinDispenser, "coin dispenser monitor"},
        {Device::BillDispenser, "bill dispenser monitor"},
        {Device::SecurityModule, "security module monitor"},
        {Device::SecurityScale, "security scale monitor"},
        {Device::Conveyor, "conveyor monitor"},
    };
    for (const auto& [device, name] : monitors) {
        threads.push_back({name, &monitors_.Monitor(device).WorkerHeartbeat()});
    }
    return threads;
}

void CTavrikView::StampEventTimes(const MonitorMessage& message) {
    stamps_.Add(Settings().switches, message);
}

void CTavrikView::StampCommunicated(std::time_t time) {
    stamps_.AddCommunicated(time);
}

void CTavrikView::EndOfParse() {
    stamps_.Apply(statistics_);
}

void CTavrikView::TraceMonitorMessage(const MonitorMessage& message) {
    // The cash devices' decoders describe their own messages.
    if (!IsDescribedByDecoder(message.code)) {
        trace_.TraceMessage(message, {});
        return;
    }
    trace_.TraceMessage(message, monitors_.FormatTrace(message));
}

void CTavrikView::TraceUnknown(const std::uint8_t* bytes, std::size_t count) {
    trace_.TraceUnknown(bytes, count);
}

void CTavrikView::Post(Device device, std::unique_ptr<MonitorMessage> message) {
    if (!trace_.CollectingOnThisThread()) {
        monitors_.Post(device, std::move(message));
        return;
    }
    collected_[static_cast<std::size_t>(device)].push_back(std::move(message));
    if (++collectedCount_ >= kHandOverLines) {
        HandOverMessages();
    }
}

std::unique_ptr<MonitorMessage> CTavrikView::NewMessage() {
    if (spareMessages_.empty() || !trace_.CollectingOnThisThread()) {
        return std::make_unique<MonitorMessage>();
    }
    std::unique_ptr<MonitorMessage> message = std::move(spareMessages_.back());
    spareMessages_.pop_back();
    *message = MonitorMessage{};
    return message;
}

void CTavrikView::HandOverMessages() {
    for (std::size_t device = 0; device < collected_.size(); ++device) {
        monitors_.PostAll(static_cast<Device>(device), collected_[device], &spareMessages_);
    }
    collectedCount_ = 0;
    // A burst's worth is kept; the rest is freed.
    if (spareMessages_.size() > kMaxSpareMessages) {
        spareMessages_.resize(kMaxSpareMessages);
    }
}

}  // namespace lane::monitor
