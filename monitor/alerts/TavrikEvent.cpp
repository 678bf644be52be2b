// The default alert library: each event goes to the system log with a severity that fits it and
// key=value pairs naming the lane, the event code and its name.
#include "monitor/alerts/TavrikEvent.h"

#include <array>
#include <atomic>
#include <cstddef>
#include <ctime>
#include <mutex>
#include <string>

#include "monitor/alerts/AlertEvents.h"
#include "platform/IniFile.h"
#include "platform/LanePath.h"
#include "platform/SystemLog.h"

namespace {

// The lane's number, as the lane software keeps it.
constexpr const char* kLaneConfigFile = "C:\\Kel Lane\\Config\\LaneConfig.ini";

lane::platform::SystemLogPriority PriorityOf(lane::monitor::AlertSeverity severity) {
    switch (severity) {
        case lane::monitor::AlertSeverity::Error:
            return lane::platform::SystemLogPriority::Error;
        case lane::monitor::AlertSeverity::Warning:
            return lane::platform::SystemLogPriority::Warning;
        case lane::monitor::AlertSeverity::Notice:
            return lane::platform::SystemLogPriority::Notice;
    }
    return lane::platform::SystemLogPriority::Warning;
}

// 0 when the lane root cannot be had: the alert still goes out.
unsigned ReadLaneNumber() {
    std::string root;
    std::string message;
    if (lane::platform::LaneRootFromEnvironment(root, message) != 0) {
        return 0;
    }
    const lane::platform::LanePaths paths(root);
    return lane::platform::GetPrivateProfileInt("Common", "KelLaneNumber", 0,
                                                paths.Map(kLaneConfigFile));
}

// A lane renumbered by its software is named right within a minute; a stuck button that raises
// an alert per press does not read the lane's configuration file per press.
constexpr std::time_t kLaneNumberReadSeconds = 60;

// The number as last read, and when; a call that finds no read due takes no lock.
struct LaneNumberCache {
    std::mutex readLock;
    std::atomic<std::time_t> readAt{0};
    std::atomic<unsigned> number{0};
};

bool LaneNumberFresh(const LaneNumberCache& cache, std::time_t now) {
    const std::time_t readAt = cache.readAt.load(std::memory_order_acquire);
    return readAt != 0 && now - readAt < kLaneNumberReadSeconds && now >= readAt;
}

unsigned LaneNumber() {
    static LaneNumberCache cache;
    const std::time_t now = std::time(nullptr);
    if (LaneNumberFresh(cache, now)) {
        return cache.number.load(std::memory_order_relaxed);
    }
    std::lock_guard<std::mutex> guard(cache.readLock);
    // Another thread may have read it while this one waited.
    if (LaneNumberFresh(cache, now)) {
        return cache.number.load(std::memory_order_relaxed);
    }
    cache.number.store(ReadLaneNumber(), std::memory_order_relaxed);
    cache.readAt.store(now, std::memory_order_release);
    return cache.number.load(std::memory_order_relaxed);
}

// The texts of the last few alerts of the calling thread: a stuck button raises the same one or
// two alerts per press, and each text depends only on the event and the lane's number.
const std::string& AlertText(int eventCode, unsigned laneNumber) {
    struct Entry {
        int eventCode = 0;
        unsigned laneNumber = 0;
        std::string text;
    };
    constexpr std::size_t kEntries = 4;
    struct Texts {
        std::array<Entry, kEntries> entries;
        std::size_t next = 0;
    };
    thread_local Texts texts;
    Texts& own = texts;
    for (Entry& entry : own.entries) {
        if (!entry.text.empty() && entry.eventCode == eventCode && entry.laneNumber == laneNumber) {
            return entry.text;
        }
    }
    Entry& entry = own.entries[own.next];
    own.next = (own.next + 1) % kEntries;
    entry.eventCode = eventCode;
    entry.laneNumber = laneNumber;
    entry.text = lane::monitor::AlertLogText(eventCode, laneNumber);
    return entry.text;
}

}  // namespace

extern "C" void LogEvent(int eventCode) {
    // Any worker thread may call it. A line the log does not take is lost: alerts never hold up
    // the monitor.
    (void)lane::platform::WriteSystemLog(PriorityOf(lane::monitor::AlertEventSeverity(eventCode)),
                                         AlertText(eventCode, LaneNumber()));
}
