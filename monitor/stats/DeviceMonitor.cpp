// CDeviceMonitor: base of the device monitors: worker thread, message queue, hourly timer, alerts.
#include "monitor/stats/DeviceMonitor.h"

#include <algorithm>
#include <charconv>

#include "common/HexText.h"

namespace lane::monitor {

namespace {

// What Run's wait returns, in the order the objects are passed.
constexpr int kStopSignalled = 0;
constexpr int kTimerSignalled = 1;
constexpr int kHistorySaveSignalled = 2;

// Each byte takes three characters; the last one must still leave the text below the limit.
constexpr std::size_t kHexBytesStop = kHexBytesTextLimit - 3;

void AppendNumber(std::string& text, std::uint32_t value) {
    char digits[16];
    const auto result = std::to_chars(digits, digits + sizeof digits, value);
    text.append(digits, result.ptr);
}

// The monitor whose worker is handling a batch on this thread: its UpdateSystemStatus waits
// for the batch's end.
thread_local const CDeviceMonitor* deferringStatus = nullptr;

// Whole minutes from the oldest entry to the newest, truncated.
std::int64_t SpanMinutes(const TimeHistory& history) {
    return static_cast<std::int64_t>(history.back() - history.front()) / 60;
}

}  // namespace

CDeviceMonitor::CDeviceMonitor(Clock& clock, const std::string& alertLibraryName)
    : clock_(clock), timer_(clock), historySaveTimer_(clock) {
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
    historySaveTimer_.Cancel();
    {
        std::lock_guard<std::recursive_mutex> lock(queueLock_);
        queue_.clear();
        handled_.clear();
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
        int signalled = kStopSignalled;
        {
            const Heartbeat::Waiting waiting(heartbeat_);
            // The save timer comes before the queue, so a busy queue cannot hold a save back.
            signalled = WaitForAny(clock_, {&stopEvent_, &timer_, &historySaveTimer_, &queueEvent_},
                                   kInfiniteMs);
        }
        if (signalled == kStopSignalled) {
            // Nothing counted is lost: changes still waiting for their save are saved now.
            SaveChangedHistories();
            heartbeat_.Ended();
            return;
        }
        if (signalled == kTimerSignalled) {
            OnTimer();
        } else if (signalled == kHistorySaveSignalled) {
            historySaveTimer_.Cancel();
        } else {
            ProcessQueue();
        }
        SaveHistoriesIfDue();
    }
}

void CDeviceMonitor::ProcessQueue() {
    // The whole queue is taken as one batch and handled outside the lock, so the reader never
    // waits for the handling (a registry save included).
    std::deque<std::unique_ptr<MonitorMessage>> batch;
    {
        std::lock_guard<std::recursive_mutex> lock(queueLock_);
        batch.swap(queue_);
        // Cleared under the lock: the next Post finds the queue empty and sets it again.
        queueEvent_.Reset();
        queueTaken_.Set();
    }
    Host().BeginTraceBatch();
    // The lane's colour is derived once the batch is handled, not after each of its messages:
    // every monitor's worker would otherwise take the statistics lock per message, against the
    // reader and each other.
    deferringStatus = this;
    for (const auto& message : batch) {
        if (message != nullptr) {
            ProcessMessage(*message);
        }
    }
    deferringStatus = nullptr;
    if (statusUpdateDue_) {
        statusUpdateDue_ = false;
        UpdateSystemStatus();
    }
    Host().EndTraceBatch();
    std::lock_guard<std::recursive_mutex> lock(queueLock_);
    // Bounded: the poster takes them with each batch, and waits when the queue is full.
    if (handled_.size() < 2 * kMaxQueuedMessages) {
        for (auto& message : batch) {
            handled_.push_back(std::move(message));
        }
    }
}

void CDeviceMonitor::Post(std::unique_ptr<MonitorMessage> message) {
    std::lock_guard<std::recursive_mutex> lock(queueLock_);
    queue_.push_back(std::move(message));
    if (queue_.size() == 1) {
        queueEvent_.Set();
    }
}

void CDeviceMonitor::PostAll(std::vector<std::unique_ptr<MonitorMessage>>& messages,
                             std::vector<std::unique_ptr<MonitorMessage>>* handledBack) {
    if (messages.empty()) {
        return;
    }
    std::vector<std::unique_ptr<MonitorMessage>> handled;
    {
        std::unique_lock<std::recursive_mutex> lock(queueLock_);
        handled.swap(handled_);
        while (queue_.size() >= kMaxQueuedMessages && running_.load() && !stopEvent_.IsSet()) {
            queueTaken_.Reset();
            lock.unlock();
            (void)WaitForAny(clock_, {&stopEvent_, &queueTaken_}, kInfiniteMs);
            lock.lock();
        }
        const bool wasEmpty = queue_.empty();
        for (auto& message : messages) {
            queue_.push_back(std::move(message));
        }
        if (wasEmpty) {
            queueEvent_.Set();
        }
    }
    messages.clear();
    if (handledBack != nullptr) {
        for (auto& message : handled) {
            handledBack->push_back(std::move(message));
        }
    }
}

void CDeviceMonitor::Start(MonitorHost& host) {
    if (thread_.joinable()) {
        return;
    }
    host_ = &host;
    running_.store(true);
    heartbeat_.Starting();
    thread_ = std::thread([this] { Run(); });
}

void CDeviceMonitor::OnTimer() {
    ArmTimer();
    UpdateSystemStatus();
}

void CDeviceMonitor::UpdateSystemStatus() {
    if (deferringStatus == this) {
        statusUpdateDue_ = true;
        return;
    }
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
    while (history.size() > kRepeatHistoryCap) {
        history.pop_front();
    }
    const std::size_t needed = std::min<std::size_t>(times, kRepeatHistoryCap);
    if (history.size() >= needed && SpanMinutes(history) < std::int64_t{intervalMinutes}) {
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
        Host().TraceNote(NoteFor(rule));
        CDeviceStatistics& statistics = Host().Statistics();
        std::lock_guard<CDeviceStatistics> lock(statistics);
        statistics.*colour = StatusColour::Yellow;
    }
    PruneAndSaveHistory(rule.group, rule.history, rule.intervalMinutes, history);
}

const std::string& CDeviceMonitor::NoteFor(const RepeatRule& rule) {
    for (const RepeatNote& note : repeatNotes_) {
        if (note.prefix == rule.notePrefix && note.times == rule.times &&
            note.intervalMinutes == rule.intervalMinutes) {
            return note.text;
        }
    }
    RepeatNote& note = repeatNotes_[nextRepeatNote_];
    nextRepeatNote_ = (nextRepeatNote_ + 1) % repeatNotes_.size();
    note.prefix = rule.notePrefix;
    note.times = rule.times;
    note.intervalMinutes = rule.intervalMinutes;
    // "<prefix> %d times in %d minutes"
    note.text.assign(rule.notePrefix);
    note.text += ' ';
    AppendNumber(note.text, rule.times);
    note.text += " times in ";
    AppendNumber(note.text, rule.intervalMinutes);
    note.text += " minutes";
    return note.text;
}

void CDeviceMonitor::LoadHistory(MonitorHost& host, const char* group, const char* name,
                                 std::uint32_t intervalMinutes, TimeHistory& history) {
    LoadTimeList(host.Registry(), group, name, history);
    while (history.size() > kRepeatHistoryCap) {
        history.pop_front();
    }
    PruneRepeats(intervalMinutes, history);
    // History failures in the registry are not the lane's business: the count goes on in memory.
    (void)SaveTimeList(host.Registry(), group, name, history);
}

void CDeviceMonitor::PruneAndSaveHistory(const char* group, const char* name,
                                         std::uint32_t intervalMinutes, TimeHistory& history) {
    PruneRepeats(intervalMinutes, history);
    HistoryChanged(group, name, history);
}

void CDeviceMonitor::HistoryChanged(const char* group, const char* name,
                                    const TimeHistory& history) {
    const bool listed = std::any_of(
        changedHistories_.begin(), changedHistories_.end(),
        [&history](const ChangedHistory& changed) { return changed.history == &history; });
    if (!listed) {
        changedHistories_.push_back(ChangedHistory{group, name, &history});
    }
}

void CDeviceMonitor::SaveHistoriesIfDue() {
    if (changedHistories_.empty()) {
        return;
    }
    const std::int64_t nowMs = clock_.TickMs();
    if (lastHistorySaveMs_ == kInfiniteMs || nowMs - lastHistorySaveMs_ >= kHistorySaveIntervalMs) {
        SaveChangedHistories();
        return;
    }
    if (historySaveTimer_.DueMs() == kInfiniteMs) {
        historySaveTimer_.SetRelative(lastHistorySaveMs_ + kHistorySaveIntervalMs - nowMs);
    }
}

void CDeviceMonitor::SaveChangedHistories() {
    if (changedHistories_.empty()) {
        return;
    }
    lastHistorySaveMs_ = clock_.TickMs();
    historySaveTimer_.Cancel();
    // The changed histories go in one crash-safe write. History failures in the registry are
    // not the lane's business: the count goes on in memory, and the histories are tried again
    // with the next save.
    platform::RegBatch batch;
    for (const ChangedHistory& changed : changedHistories_) {
        AddTimeList(batch, changed.group, changed.name, *changed.history);
    }
    if (Host().Registry().Apply(batch) == 0) {
        changedHistories_.clear();
    }
}

void CDeviceMonitor::StepTowardsGreen(StatusColour& colour) {
    if (colour == StatusColour::Yellow) {
        colour = StatusColour::Green;
    } else if (colour == StatusColour::Red) {
        colour = StatusColour::Yellow;
    }
}

}  // namespace lane::monitor
