// CDeviceMonitor: base of the device monitors: worker thread, message queue, hourly timer, alerts.
#pragma once

#include <array>
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <ctime>
#include <deque>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "common/Clock.h"
#include "common/Heartbeat.h"
#include "common/Waitable.h"
#include "monitor/acquisition/MonitorMessage.h"
#include "monitor/alerts/AlertEvents.h"
#include "monitor/stats/DeviceStatus.h"
#include "monitor/stats/MonitorHost.h"
#include "monitor/stats/StatisticsStore.h"
#include "platform/DynamicLibrary.h"

namespace lane::monitor {

// The hourly tick of every monitor.
inline constexpr std::int64_t kMonitorTickMs = 60LL * 60 * 1000;
// FormatHexBytes stops before its text would reach this length.
inline constexpr std::size_t kHexBytesTextLimit = 1000;

// A repeat history reaches the registry at most once per this interval: the first change after
// a quiet second is saved at once, later ones when the interval has passed since that save, and
// whatever is left at the stop. Each save is one crash-safe write of the whole history.
inline constexpr std::int64_t kHistorySaveIntervalMs = 1000;
// The most entries a repeat history keeps; the oldest go first. A repeat setting ("...Times")
// above it counts as the cap. 1440 holds one entry a minute for a day, more than any repeat
// rule of the lane needs, and keeps a stuck button from growing the history without bound.
inline constexpr std::size_t kRepeatHistoryCap = 1440;

// A monitor's queue holds at most this many messages: a poster that finds it full waits until
// the worker takes the queue (or the monitor stops), so a monitor slower than the stream holds
// the reader back instead of growing without bound.
inline constexpr std::size_t kMaxQueuedMessages = 8192;

// How one kind of repeated event (a button press, a scale reset) is counted, noted and raised.
struct RepeatRule {
    const char* group;    // registry group of the history ("SecMod")
    const char* history;  // history name ("GreenButtonTimes")
    std::uint32_t times;  // entries that make a repeat
    std::uint32_t intervalMinutes;
    bool fire;  // the alert switch
    int eventCode;
    const char* notePrefix;  // "Green Button Pressed": followed by " %d times in %d minutes"
};

// Messages posted by the reader thread wait in the queue until the worker thread hands them to
// ProcessMessage; the worker also wakes once an hour for OnTimer. A Post wakes the worker only
// when the queue was empty; the worker then takes every message queued by then as one batch. A
// derived monitor that overrides any operation calls Stop in its own destructor, so that the worker
// never runs an override of an object that is going away.
class CDeviceMonitor {
  public:
    // Creates the events, arms the timer for its first tick an hour from now and loads the alert
    // library; a library that is missing or has no "LogEvent" leaves alerts off.
    explicit CDeviceMonitor(Clock& clock, const std::string& alertLibraryName = kAlertLibraryName);
    // Stops the worker and frees every message still queued.
    virtual ~CDeviceMonitor();
    CDeviceMonitor(const CDeviceMonitor&) = delete;
    CDeviceMonitor& operator=(const CDeviceMonitor&) = delete;

    // The virtual operations, in the order of their slots.
    // The text the trace line shows for a message of this device; the base has none.
    virtual std::string FormatTrace(const MonitorMessage& message);
    // Handles one message on the worker thread, outside the queue lock (the reader keeps queueing
    // meanwhile); the base ignores it.
    virtual void ProcessMessage(const MonitorMessage& message);
    // The worker thread's loop; returns when the stop event is set.
    virtual void Run();
    // Takes the message over and queues it for the worker. Any thread.
    virtual void Post(std::unique_ptr<MonitorMessage> message);
    // Takes the messages over and queues them in order, with at most one wake of the worker;
    // empties `messages`. While the worker runs, waits first for room (kMaxQueuedMessages).
    // The messages the worker has handled since the last PostAll are freed here, on the posting
    // thread that made them, or handed back through `handled` for the poster to use again.
    // Any thread but the worker's.
    void PostAll(std::vector<std::unique_ptr<MonitorMessage>>& messages,
                 std::vector<std::unique_ptr<MonitorMessage>>* handled = nullptr);
    // Remembers the host and starts the worker thread (once).
    virtual void Start(MonitorHost& host);
    // The hourly tick: re-arms the timer, then UpdateSystemStatus.
    virtual void OnTimer();
    // Derives the lane's colour from the device colours. While the worker handles a batch of
    // messages, once at the batch's end.
    virtual void UpdateSystemStatus();

    // Sets the stop event and waits for the worker thread to end. Later calls do nothing more.
    void Stop();
    // Calls the alert entry point with `eventCode` when there is one; the caller has tested the
    // event's switch.
    void FireEvent(int eventCode);
    bool AlertsAvailable() const { return logEvent_ != nullptr; }
    // The worker's heartbeat: a turn per wake, waiting while it waits for work or its timers.
    const Heartbeat& WorkerHeartbeat() const { return heartbeat_; }

    // Appends `time` to the history, dropping the oldest entry beyond kRepeatHistoryCap; true
    // when the history now holds at least `times` entries (at most the cap) spanning less than
    // `intervalMinutes` (whole minutes, oldest kept to newest). Otherwise prunes the history and
    // returns false.
    static bool RecordRepeat(std::time_t time, std::uint32_t times, std::uint32_t intervalMinutes,
                             TimeHistory& history);
    // Drops the oldest entries while at least two remain and they span more than
    // `intervalMinutes`. The span is between entries, never against the current time.
    static void PruneRepeats(std::uint32_t intervalMinutes, TimeHistory& history);
    // " " followed by "%02X " for each byte; stops before the text would reach 1000 characters.
    static std::string FormatHexBytes(const std::uint8_t* bytes, int count);

  protected:
    // Arms the timer for the next tick, an hour from now.
    void ArmTimer();
    // The host given to Start.
    MonitorHost& Host() const { return *host_; }

    // Counts one event of a repeat rule at `time`: raises its alert when switched on, and on a
    // repeat writes its note and turns `colour` Yellow; then prunes and saves the history.
    void CountRepeat(std::time_t time, const RepeatRule& rule, TimeHistory& history,
                     StatusColour CDeviceStatistics::*colour);
    // Loads a history from the registry, keeps its newest kRepeatHistoryCap entries, prunes it
    // with its interval and saves it back at once.
    static void LoadHistory(MonitorHost& host, const char* group, const char* name,
                            std::uint32_t intervalMinutes, TimeHistory& history);
    // Prunes a history with its interval and saves it back (HistoryChanged). Worker thread.
    void PruneAndSaveHistory(const char* group, const char* name, std::uint32_t intervalMinutes,
                             TimeHistory& history);
    // Notes that a history changed; the worker saves it once the message batch or tick is done,
    // as kHistorySaveIntervalMs says. `history` lives as long as the monitor. Worker thread only.
    void HistoryChanged(const char* group, const char* name, const TimeHistory& history);
    // One step back towards Green: Yellow becomes Green, Red becomes Yellow.
    static void StepTowardsGreen(StatusColour& colour);

  private:
    using LogEventProc = void (*)(int);

    struct ChangedHistory {
        const char* group;
        const char* name;
        const TimeHistory* history;
    };

    // A repeat rule's note as last made: a stuck button notes the same text on every press.
    struct RepeatNote {
        const char* prefix = nullptr;
        std::uint32_t times = 0;
        std::uint32_t intervalMinutes = 0;
        std::string text;
    };
    // The note of `rule`, made once for each prefix and numbers. Worker thread only.
    const std::string& NoteFor(const RepeatRule& rule);

    void ProcessQueue();
    // After each wake of the worker: saves the changed histories when the last save is at least
    // kHistorySaveIntervalMs ago, otherwise arms the save timer for that time.
    void SaveHistoriesIfDue();
    // Saves the changed histories; one that fails stays changed and is tried again next time.
    void SaveChangedHistories();

    Clock& clock_;
    ManualResetEvent stopEvent_;
    std::thread thread_;
    Heartbeat heartbeat_;
    ManualResetEvent queueEvent_;
    // Set each time the worker takes the queue: room for a poster that waits.
    ManualResetEvent queueTaken_;
    std::atomic<bool> running_{false};
    WaitableTimer timer_;
    // Due when changed histories wait for their save.
    WaitableTimer historySaveTimer_;
    std::vector<ChangedHistory> changedHistories_;  // worker thread only
    bool statusUpdateDue_ = false;  // worker thread only: a batch's messages asked for it
    // Worker thread only: the notes of the monitor's repeat rules (two at most, in turn).
    std::array<RepeatNote, 2> repeatNotes_;
    std::size_t nextRepeatNote_ = 0;
    std::int64_t lastHistorySaveMs_ = kInfiniteMs;  // kInfiniteMs: none yet
    MonitorHost* host_ = nullptr;
    std::deque<std::unique_ptr<MonitorMessage>> queue_;
    // Messages handled since the last PostAll, freed by the next PostAll on the posting thread
    // that allocated them: frees from the worker would contend for the allocator's lock.
    std::vector<std::unique_ptr<MonitorMessage>> handled_;
    LogEventProc logEvent_ = nullptr;
    platform::DynamicLibrary alertLibrary_;
    // Re-entrant, as the critical section it stands for.
    std::recursive_mutex queueLock_;
};

}  // namespace lane::monitor
