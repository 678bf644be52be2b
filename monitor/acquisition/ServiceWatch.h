// CServiceWatch: what the monitor tells the service manager: ready once the source is open, the
// lane's colour, a watchdog ping while every watched thread is alive and turning, and the stop.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "common/Clock.h"
#include "common/Heartbeat.h"
#include "monitor/stats/DeviceStatistics.h"
#include "platform/ServiceNotifier.h"

namespace lane::monitor {

// The colour is looked at this often also when the watchdog's interval is longer.
inline constexpr std::int64_t kServiceStatusCheckMs = 1000;

// A thread the watchdog pings for.
struct WatchedThread {
    std::string name;  // "reader", "bill acceptor monitor", ...
    const Heartbeat* heartbeat;
};

class CServiceWatch {
  public:
    explicit CServiceWatch(platform::ServiceNotifier& notifier);

    // How long the caller waits between checks; kInfiniteMs when no service manager listens.
    std::int64_t CheckIntervalMs() const;

    // The source is open: "READY=1", then the lane's colour.
    void Ready(const CDeviceStatistics& statistics);
    // At each interval (`nowMs` on the monitor's clock): the colour when it changed, and the
    // watchdog ping when every thread is waiting or has turned within half the watchdog's
    // time-out. Returns a note for the trace when the set of threads that do not turn changes
    // ("" otherwise).
    std::string Check(const CDeviceStatistics& statistics,
                      const std::vector<WatchedThread>& threads, std::int64_t nowMs);
    // The orderly stop has begun: "STOPPING=1"; no ping follows.
    void Stopping();

  private:
    struct Seen {
        std::uint64_t turns = 0;
        std::int64_t sinceMs = 0;  // when the thread was last seen turning or waiting
    };

    // The names of the threads that are stuck or gone, ", " between them.
    std::string StuckThreads(const std::vector<WatchedThread>& threads, std::int64_t nowMs);
    void SendStatus(const CDeviceStatistics& statistics);

    platform::ServiceNotifier& notifier_;
    std::int64_t stuckAfterMs_;
    std::vector<Seen> seen_;
    std::string colour_;  // the lane colour last sent
    std::string stuck_;   // the threads last found not turning
    std::string status_;  // the status last sent
    bool stopping_ = false;
};

}  // namespace lane::monitor
