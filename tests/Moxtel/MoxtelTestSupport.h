// Helpers of the utility's tests: a lane with its Config folder as the current directory's
// sibling, a console that records and plays keys, a frozen clock moved on while work waits.
#pragma once

#include <gtest/gtest.h>

#include <atomic>
#include <deque>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "Moxtel/CaptureWriter.h"
#include "Moxtel/LogMessage.h"
#include "Moxtel/PgmCnfg.h"
#include "common/FakeClock.h"
#include "common/TimeText.h"
#include "platform/Console.h"
#include "platform/LanePath.h"
#include "platform/Registry.h"
#include "tests/support/TempLaneRoot.h"

namespace lane::moxtel::test {

// Records what is written; gives the keys it was handed, then the exit key as at end of input.
class FakeConsole final : public platform::Console {
  public:
    void Write(std::string_view text) override {
        std::lock_guard<std::mutex> lock(mutex_);
        output_ += text;
    }
    int GetKey() override {
        std::lock_guard<std::mutex> lock(mutex_);
        calls_.push_back("key");
        if (keys_.empty()) {
            ended_ = true;
            return platform::kConsoleExitKey;
        }
        const int key = keys_.front();
        keys_.pop_front();
        return key;
    }
    bool KeyWaiting() override {
        std::lock_guard<std::mutex> lock(mutex_);
        return true;
    }
    void FlushKeys() override {
        std::lock_guard<std::mutex> lock(mutex_);
        calls_.push_back("flush");
    }
    bool InputEnded() const override {
        std::lock_guard<std::mutex> lock(mutex_);
        return ended_;
    }

    void AddKeys(const std::string& keys) {
        std::lock_guard<std::mutex> lock(mutex_);
        keys_.insert(keys_.end(), keys.begin(), keys.end());
    }
    std::string Output() const {
        std::lock_guard<std::mutex> lock(mutex_);
        return output_;
    }
    // "flush" and "key", in the order the program asked for them.
    std::vector<std::string> KeyCalls() const {
        std::lock_guard<std::mutex> lock(mutex_);
        return calls_;
    }

  private:
    mutable std::mutex mutex_;
    std::string output_;
    std::deque<int> keys_;
    std::vector<std::string> calls_;
    bool ended_ = false;
};

// Runs `work` on a thread of its own and moves the clock on by `stepMs` whenever a thread waits
// on it with a deadline, until the work is done.
inline void RunWithClock(FakeClock& clock, const std::function<void()>& work,
                         std::int64_t stepMs = 100) {
    std::atomic<bool> done{false};
    std::thread worker([&] {
        work();
        done.store(true);
    });
    while (!done.load()) {
        if (clock.AwaitWaiters(1, 10)) {
            clock.AdvanceMs(stepMs);
        }
    }
    worker.join();
}

// 2025-03-04 10:20:30 local time.
inline WallTime TestStartTime() {
    std::tm local{};
    local.tm_year = 125;
    local.tm_mon = 2;
    local.tm_mday = 4;
    local.tm_hour = 10;
    local.tm_min = 20;
    local.tm_sec = 30;
    local.tm_isdst = -1;
    return WallTime{FromLocalTm(local), 0};
}

inline std::string ReadFile(const std::filesystem::path& path) {
    return lane::testing::ReadWholeFile(path);
}

inline bool Contains(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

// A lane whose applications folder is the current directory, so "..\Config\x.Ini" is the
// lane's Config folder; the capture folder exists unless a test removes it.
class LaneFixture : public ::testing::Test {
  protected:
    LaneFixture() {
        std::filesystem::create_directories(root / "c/KEL Lane/Applications");
        std::filesystem::create_directories(root / "c/KEL Lane/Config");
        std::filesystem::create_directories(root / "c/FirmwareUpdate");
        savedDirectory_ = std::filesystem::current_path();
        std::filesystem::current_path(root / "c/KEL Lane/Applications");
    }
    ~LaneFixture() override { std::filesystem::current_path(savedDirectory_); }

    void WriteConfig(const std::string& name, const std::string& text) {
        std::ofstream(root / ("c/KEL Lane/Config/" + name), std::ios::binary) << text;
    }
    void SetBoardType(const std::string& text) {
        ASSERT_EQ(registry.SetValue(kLaneRegistryKey, "SecurityModuleType",
                                    platform::RegValue::String(text)),
                  0u);
    }
    std::filesystem::path CapturePath(int number) const {
        return root / ("c/FirmwareUpdate/Utility0" + std::to_string(number) + ".Txt");
    }
    std::string Capture(int number = 1) const { return ReadFile(CapturePath(number)); }
    // Stands for the end of the process: records the exit code, and the run goes on.
    std::function<void(int)> EndProcess() {
        return [this](int code) { processEnds.push_back(code); };
    }

    lane::testing::TempLaneRoot root;
    platform::LanePaths paths{root.Path()};
    platform::Registry registry{platform::Registry::DefaultHivePath(paths)};
    FakeClock clock{TestStartTime()};
    FakeConsole console;
    std::vector<int> processEnds;  // the codes EndProcess() was called with

  private:
    std::filesystem::path savedDirectory_;
};

// The logging objects of one run.
struct LogRig {
    LogRig(FakeClock& clock, FakeConsole& console, const platform::LanePaths& paths,
           const platform::Registry& registry)
        : capture(clock, paths),
          config(ConfigSources{paths, registry, clock, "LANE-PC"}),
          log(clock, console, capture, config) {}

    CCaptureWriter capture;
    PgmCnfg config;
    CLogMessage log;
};

}  // namespace lane::moxtel::test
