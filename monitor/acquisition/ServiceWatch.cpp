// CServiceWatch: ready, the lane's colour, watchdog pings while the threads turn, and the stop,
// told to the service manager.
#include "monitor/acquisition/ServiceWatch.h"

#include <algorithm>
#include <mutex>

#include "monitor/stats/DeviceStatus.h"

namespace lane::monitor {

namespace {

// The lane's colour from its six devices, as the system status is derived: Red when any is Red,
// else Yellow when any is Yellow, else Green. The caller holds the statistics lock.
StatusColour LaneColour(const CDeviceStatistics& s) {
    const StatusColour devices[] = {
        s.StatusBillAcceptor,  s.StatusBillDispenser,  s.StatusCoinAcceptor,
        s.StatusCoinDispenser, s.StatusSecurityModule, s.StatusSecurityScale,
    };
    for (const StatusColour colour : {StatusColour::Red, StatusColour::Yellow}) {
        if (std::find(std::begin(devices), std::end(devices), colour) != std::end(devices)) {
            return colour;
        }
    }
    return StatusColour::Green;
}

}  // namespace

CServiceWatch::CServiceWatch(platform::ServiceNotifier& notifier)
    : notifier_(notifier), stuckAfterMs_(notifier.WatchdogTimeoutMs() / 2) {}

std::int64_t CServiceWatch::CheckIntervalMs() const {
    if (!notifier_.Listening()) {
        return kInfiniteMs;
    }
    if (stuckAfterMs_ > 0) {
        return std::min(stuckAfterMs_, kServiceStatusCheckMs);
    }
    return kServiceStatusCheckMs;
}

void CServiceWatch::Ready(const CDeviceStatistics& statistics) {
    // A lost notification must not stop the lane: the manager's own time-outs tell of it.
    (void)notifier_.Ready();
    SendStatus(statistics);
}

std::string CServiceWatch::Check(const CDeviceStatistics& statistics,
                                 const std::vector<WatchedThread>& threads, std::int64_t nowMs) {
    if (stopping_) {
        return {};
    }
    const std::string stuck = StuckThreads(threads, nowMs);
    std::string note;
    if (stuck != stuck_) {
        note = stuck.empty() ? "Every monitor thread turns again; watchdog pings resume"
                             : "Watchdog pings withheld: not turning: " + stuck;
        stuck_ = stuck;
    }
    SendStatus(statistics);
    if (stuck.empty() && stuckAfterMs_ > 0) {
        (void)notifier_.WatchdogPing();
    }
    return note;
}

void CServiceWatch::Stopping() {
    stopping_ = true;
    (void)notifier_.Stopping();
}

std::string CServiceWatch::StuckThreads(const std::vector<WatchedThread>& threads,
                                        std::int64_t nowMs) {
    if (stuckAfterMs_ <= 0) {
        return {};  // nobody watches the threads
    }
    if (seen_.size() != threads.size()) {
        seen_.assign(threads.size(), Seen{0, nowMs});
    }
    std::string stuck;
    for (std::size_t i = 0; i < threads.size(); ++i) {
        const Heartbeat::Sample sample = threads[i].heartbeat->Read();
        Seen& seen = seen_[i];
        bool alive = false;
        if (sample.state == Heartbeat::State::Waiting || sample.turns != seen.turns) {
            seen.turns = sample.turns;
            seen.sinceMs = nowMs;
            alive = sample.state != Heartbeat::State::Ended;
        } else if (sample.state == Heartbeat::State::Working) {
            alive = nowMs - seen.sinceMs < stuckAfterMs_;
        }
        if (!alive) {
            stuck += (stuck.empty() ? "" : ", ") + threads[i].name;
        }
    }
    return stuck;
}

void CServiceWatch::SendStatus(const CDeviceStatistics& statistics) {
    // A holder of the statistics lock is never waited for: the colour is then the last one.
    std::unique_lock<const CDeviceStatistics> lock(statistics, std::try_to_lock);
    if (lock.owns_lock()) {
        colour_ = StatusColourText(LaneColour(statistics));
    }
    std::string status = "Lane " + (colour_.empty() ? std::string("starting") : colour_);
    if (!stuck_.empty()) {
        status += "; not turning: " + stuck_;
    }
    if (status != status_) {
        status_ = status;
        (void)notifier_.Status(status);
    }
}

}  // namespace lane::monitor
