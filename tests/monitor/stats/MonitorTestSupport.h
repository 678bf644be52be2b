// Helpers of the device-monitor and report tests: a fake host, messages, the recorded alerts.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <ctime>
#include <fstream>
#include <initializer_list>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "common/FakeClock.h"
#include "monitor/acquisition/MonitorMessage.h"
#include "monitor/stats/DeviceMonitor.h"
#include "monitor/stats/MonitorHost.h"
#include "platform/Registry.h"
#include "tests/monitor/stats/StatsTestSupport.h"

namespace lane::monitor::testing {

// The test alert library beside the test executable, and the variable naming its record file.
inline constexpr const char* kTestAlertLibrary = "TavrikEventTest.dll";
inline constexpr const char* kNoEntryAlertLibrary = "TavrikEventNoEntry.dll";
inline constexpr const char* kAlertRecordVariable = "TAVRIK_EVENT_TEST_FILE";

// The view's part as the monitors see it: statistics, settings, a registry in a scratch folder
// and the trace lines written, kept apart as texts and notes.
class FakeHost final : public MonitorHost {
  public:
    explicit FakeHost(const std::string& hiveFile) : registry(hiveFile) {}

    CDeviceStatistics& Statistics() override { return statistics; }
    const MonitorSettings& Settings() const override { return settings; }
    void TraceText(const std::string& text) override {
        std::lock_guard<std::mutex> lock(mutex_);
        texts_.push_back(text);
    }
    void TraceNote(const std::string& text) override {
        std::lock_guard<std::mutex> lock(mutex_);
        notes_.push_back(text);
    }
    platform::Registry& Registry() override { return registry; }

    std::vector<std::string> Notes() const {
        std::lock_guard<std::mutex> lock(mutex_);
        return notes_;
    }
    std::vector<std::string> Texts() const {
        std::lock_guard<std::mutex> lock(mutex_);
        return texts_;
    }

    CDeviceStatistics statistics;
    MonitorSettings settings;
    platform::Registry registry;

  private:
    mutable std::mutex mutex_;
    std::vector<std::string> texts_;
    std::vector<std::string> notes_;
};

inline std::unique_ptr<MonitorMessage> Message(std::uint8_t code, std::uint8_t subCode,
                                               std::time_t time = 0,
                                               std::initializer_list<std::uint8_t> data = {}) {
    auto message = std::make_unique<MonitorMessage>();
    message->code = code;
    message->subCode = subCode;
    message->time = time;
    message->length = static_cast<std::int32_t>(data.size());
    std::size_t i = 0;
    for (const std::uint8_t byte : data) {
        message->data[i++] = byte;
    }
    return message;
}

// Posts a message and waits (bounded) until the worker is back in its wait, the message done.
// The worker must be waiting already (FakeClock::AwaitWaiters after Start).
inline void PostAndWait(FakeClock& clock, CDeviceMonitor& monitor,
                        std::unique_ptr<MonitorMessage> message) {
    const std::uint64_t begun = clock.WaitsBegun();
    monitor.Post(std::move(message));
    ASSERT_TRUE(clock.AwaitWaitAfter(begun)) << "the worker did not come back to its wait";
}

// Moves the clock an hour on and waits until `workers` threads have begun their next wait.
inline void TickAndWait(FakeClock& clock, int workers = 1) {
    const std::uint64_t begun = clock.WaitsBegun();
    clock.AdvanceMs(kMonitorTickMs);
    ASSERT_TRUE(clock.AwaitWaitAfter(begun + static_cast<std::uint64_t>(workers) - 1))
        << "the tick was not handled";
}

// Moves the clock on by the history save interval and waits until the one worker with a save
// due has begun its next wait, so that the histories it changed are in the registry.
inline void SaveHistoriesAndWait(FakeClock& clock) {
    const std::uint64_t begun = clock.WaitsBegun();
    clock.AdvanceMs(kHistorySaveIntervalMs);
    ASSERT_TRUE(clock.AwaitWaitAfter(begun)) << "the save was not handled";
}

// Points the test alert library at a fresh record file for the life of the object.
class AlertRecord {
  public:
    explicit AlertRecord(std::string path) : path_(std::move(path)) {
        ::setenv(kAlertRecordVariable, path_.c_str(), 1);
    }
    ~AlertRecord() { ::unsetenv(kAlertRecordVariable); }
    AlertRecord(const AlertRecord&) = delete;
    AlertRecord& operator=(const AlertRecord&) = delete;

    // The codes received so far, in order.
    std::vector<int> Codes() const {
        std::vector<int> codes;
        std::ifstream in(path_);
        int code = 0;
        while (in >> code) {
            codes.push_back(code);
        }
        return codes;
    }

  private:
    std::string path_;
};

}  // namespace lane::monitor::testing
