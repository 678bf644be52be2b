// CDeviceMonitor: base of the device monitors: worker thread, message queue, hourly timer, alerts.
#include "monitor/stats/DeviceMonitor.h"

#include "common/HexText.h"

namespace lane::monitor {

namespace {

// What Run's wait returns, in the order the objects are passed.
constexpr int kStopSignalled = 0;
constexpr int kTimerSignalled = 1;

// Each byte takes three characters; the last one must still leave the text below the limit.
constexpr std::size_t kHexBytesStop = kHexBytesTextLimit - 3;

// Whole minutes from the oldest entry to the newest, truncated.
std::int64_t SpanMinutes(const TimeHistory& history) {
    return static_cast<std::int64_t>(history.back() - history.front()) / 60;
}

}  // namespace

CDeviceMonitor::CDeviceMonitor(Clock& clock, const std::string& alertLibraryName)
    : clock_(clock), timer_(clock) {
    stopEvent_.Reset();
    queueEvent_.Reset();
    ArmTimer();
    if (alertLibrary_.Load(alertLibraryName) == 0) {
        logEvent_ = reinterpret_cast<LogEventProc>(alertLibrary_.Proc(kAlertEntryPointName));
    }
}

CDeviceMonitor::~CDeviceMonitor() {
    Stop();
    timer_.Cancel();
    {
        std::lock_guard<std::recursive_mutex> lock(queueLock_);
        queue_.clear();
        queuedCount_ = 0;
    }
    logEvent_ = nullptr;
    alertLibrary_.Free();
}

std::string CDeviceMonitor::FormatTrace(const MonitorMessage&) {
    return {};
}

void CDeviceMonitor::ProcessMessage(const MonitorMessage&) {}

void CDeviceMonitor::Run() {
    for (;;) {
        const int signalled = WaitForAny(clock_, {&stopEvent_, &timer_, &queueEvent_}, kInfiniteMs);
        if (signalled == kStopSignalled) {
            return;
        }
        if (signalled == kTimerSignalled) {
            OnTimer();
            continue;
        }
        ProcessQueue();
    }
}

void CDeviceMonitor::ProcessQueue() {
    // The lock stays held for the whole batch, so a Post waits until the batch is done.
    std::lock_guard<std::recursive_mutex> lock(queueLock_);
    while (!queue_.empty()) {
        if (queue_.front() != nullptr) {
            ProcessMessage(*queue_.front());
        }
        queue_.pop_front();
        --queuedCount_;
    }
    queueEvent_.Reset();
}

void CDeviceMonitor::Post(std::unique_ptr<MonitorMessage> message) {
    {
        std::lock_guard<std::recursive_mutex> lock(queueLock_);
        queue_.push_back(std::move(message));
        ++queuedCount_;
    }
    queueEvent_.Set();
}

void CDeviceMonitor::Start(MonitorHost& host) {
    if (thread_.joinable()) {
        return;
    }
    host_ = &host;
    thread_ = std::thread([this] { Run(); });
}

void CDeviceMonitor::OnTimer() {
    ArmTimer();
    UpdateSystemStatus();
}

void CDeviceMonitor::UpdateSystemStatus() {
    Host().Statistics().UpdateSystemStatus();
}

void CDeviceMonitor::Stop() {
    stopEvent_.Set();
    if (thread_.joinable() && thread_.get_id() != std::this_thread::get_id()) {
        thread_.join();
    }
}

void CDeviceMonitor::FireEvent(int eventCode) {
    if (logEvent_ != nullptr) {
        logEvent_(eventCode);
    }
}

bool CDeviceMonitor::RecordRepeat(std::time_t time, std::uint32_t times,
                                  std::uint32_t intervalMinutes, TimeHistory& history) {
    history.push_back(time);
    if (history.size() >= times && SpanMinutes(history) < std::int64_t{intervalMinutes}) {
        return true;
    }
    PruneRepeats(intervalMinutes, history);
    return false;
}

void CDeviceMonitor::PruneRepeats(std::uint32_t intervalMinutes, TimeHistory& history) {
    while (history.size() >= 2 && SpanMinutes(history) > std::int64_t{intervalMinutes}) {
        history.pop_front();
    }
}

std::string CDeviceMonitor::FormatHexBytes(const std::uint8_t* bytes, int count) {
    std::string text = " ";
    if (bytes != nullptr && count > 0) {
        AppendHexBytes(text, bytes, static_cast<std::size_t>(count), kHexBytesStop);
    }
    return text;
}

void CDeviceMonitor::ArmTimer() {
    timer_.SetRelative(kMonitorTickMs);
}

void CDeviceMonitor::CountRepeat(std::time_t time, const RepeatRule& rule, TimeHistory& history,
                                 StatusColour CDeviceStatistics::*colour) {
    const bool repeat = RecordRepeat(time, rule.times, rule.intervalMinutes, history);
    if (rule.fire) {
        FireEvent(rule.eventCode);
    }
    if (repeat) {
        Host().TraceNote(std::string(rule.notePrefix) + " " + std::to_string(rule.times) +
                         " times in " + std::to_string(rule.intervalMinutes) + " minutes");
        CDeviceStatistics& statistics = Host().Statistics();
        std::lock_guard<CDeviceStatistics> lock(statistics);
        statistics.*colour = StatusColour::Yellow;
    }
    PruneAndSaveHistory(rule.group, rule.history, rule.intervalMinutes, history);
}

void CDeviceMonitor::LoadHistory(MonitorHost& host, const char* group, const char* name,
                                 std::uint32_t intervalMinutes, TimeHistory& history) {
    LoadTimeList(host.Registry(), group, name, history);
    PruneRepeats(intervalMinutes, history);
    // History failures in the registry are not the lane's business: the count goes on in memory.
    (void)SaveTimeList(host.Registry(), group, name, history);
}

void CDeviceMonitor::PruneAndSaveHistory(const char* group, const char* name,
                                         std::uint32_t intervalMinutes, TimeHistory& history) {
    PruneRepeats(intervalMinutes, history);
    (void)SaveTimeList(Host().Registry(), group, name, history);
}

void CDeviceMonitor::StepTowardsGreen(StatusColour& colour) {
    if (colour == StatusColour::Yellow) {
        colour = StatusColour::Green;
    } else if (colour == StatusColour::Red) {
        colour = StatusColour::Yellow;
    }
}

}  // namespace lane::monitor
