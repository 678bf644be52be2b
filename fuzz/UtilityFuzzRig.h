// The utility run the utility's fuzz targets drive: a USB link whose driver takes every write,
// a clock whose timed waits end at once, a console fed with the input's keys, and the input's
// packets on the link's receive queue.
#pragma once

#include <algorithm>
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <ctime>
#include <filesystem>
#include <functional>
#include <memory>
#include <mutex>
#include <random>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "Moxtel/CaptureWriter.h"
#include "Moxtel/LogMessage.h"
#include "Moxtel/PgmCnfg.h"
#include "Moxtel/SecurityModuleIdentity.h"
#include "Moxtel/UtilityOptions.h"
#include "Moxtel/UtilityRun.h"
#include "common/Clock.h"
#include "fuzz/FuzzPackets.h"
#include "link/LinkConfig.h"
#include "link/TMCB_Support.h"
#include "link/securitymodule.h"
#include "platform/Console.h"
#include "platform/DeviceDriver.h"
#include "platform/LanePath.h"
#include "platform/Registry.h"

namespace lane::moxtel::fuzz {

inline void Check(bool condition) {
    if (!condition) {
        __builtin_trap();
    }
}

// A clock whose timed waits end at once at their deadline, so the reply loops' looks at an
// empty queue and the pauses after error lines cost no time. A wait without a deadline still
// waits to be woken.
class SteppingClock final : public Clock {
  public:
    std::int64_t TickMs() const override { return tickMs_.load(); }
    WallTime Now() const override {
        const std::int64_t tick = tickMs_.load();
        return WallTime{kStartSeconds + static_cast<std::time_t>(tick / 1000),
                        static_cast<unsigned>(tick % 1000)};
    }
    void WaitUntil(WaitState& state, std::int64_t deadlineMs) override {
        std::unique_lock<std::mutex> lock(state.mutex);
        if (deadlineMs == kInfiniteMs) {
            state.cv.wait(lock, [&] { return state.signalled; });
        } else if (!state.signalled) {
            std::int64_t tick = tickMs_.load();
            while (tick < deadlineMs && !tickMs_.compare_exchange_weak(tick, deadlineMs)) {
            }
        }
        state.signalled = false;
    }

  private:
    static constexpr std::time_t kStartSeconds = 1741083630;
    std::atomic<std::int64_t> tickMs_{0};
};

// A console whose keys are given before a run, as a script's: output is dropped, and once the
// keys are used up input has ended. Without keys, nobody sits at it.
class KeysConsole final : public platform::Console {
  public:
    void SetKeys(std::string_view keys) {
        keys_.assign(keys);
        next_ = 0;
    }
    void Write(std::string_view) override {}
    int GetKey() override {
        return next_ < keys_.size() ? static_cast<unsigned char>(keys_[next_++])
                                    : platform::kConsoleExitKey;
    }
    bool KeyWaiting() override { return true; }
    void FlushKeys() override {}
    bool InputEnded() const override { return next_ >= keys_.size(); }

  private:
    std::string keys_;
    std::size_t next_ = 0;
};

// The module's driver end: accepts every handle and takes every write whole.
class AcceptingDriver {
  public:
    AcceptingDriver(const platform::LanePaths& paths, const std::string& name) {
        Check(platform::ListenDevice(paths, name, server_) == 0);
        acceptor_ = std::thread([this] { AcceptLoop(); });
    }
    ~AcceptingDriver() {
        server_->Shutdown();
        acceptor_.join();
        for (const auto& connection : connections_) {
            connection->Close();
        }
        for (auto& thread : servers_) {
            thread.join();
        }
    }
    AcceptingDriver(const AcceptingDriver&) = delete;
    AcceptingDriver& operator=(const AcceptingDriver&) = delete;

  private:
    void AcceptLoop() {
        for (;;) {
            std::unique_ptr<platform::DeviceConnection> connection = server_->Accept(-1);
            if (connection == nullptr) {
                return;
            }
            platform::DeviceConnection* raw = connection.get();
            connections_.push_back(std::move(connection));
            servers_.emplace_back([raw] { Serve(*raw); });
        }
    }
    static void Serve(platform::DeviceConnection& connection) {
        platform::DeviceRequest request;
        while (connection.Receive(request, -1) ==
               platform::DeviceConnection::ReceiveStatus::Received) {
            switch (request.kind) {
                case platform::DeviceRequestKind::Write:
                    connection.ReplyWritten(request.id, 0,
                                            static_cast<std::uint32_t>(request.input.size()));
                    break;
                case platform::DeviceRequestKind::Close:
                    break;
                default:
                    connection.Reply(request.id, 0, {});
                    break;
            }
        }
    }

    std::unique_ptr<platform::DeviceServer> server_;
    std::thread acceptor_;
    std::vector<std::unique_ptr<platform::DeviceConnection>> connections_;
    std::vector<std::thread> servers_;
};

// A lane folder of its own for the driver's socket and the registry; it has no capture folder,
// so the capture writer gives up at its first line and the run stays in memory.
class TemporaryLane {
  public:
    TemporaryLane()
        : path_(std::filesystem::temp_directory_path() /
                ("lane-fuzz-replies-" + std::to_string(std::random_device{}()))) {
        std::filesystem::create_directories(path_);
    }
    ~TemporaryLane() {
        std::error_code ignored;
        std::filesystem::remove_all(path_, ignored);
    }
    TemporaryLane(const TemporaryLane&) = delete;
    TemporaryLane& operator=(const TemporaryLane&) = delete;
    std::string Path() const { return path_.string(); }

  private:
    std::filesystem::path path_;
};

// One utility run over a USB link whose driver takes every write; no reader threads, so the
// receive queue holds exactly what the input put there.
struct Rig {
    Rig() {
        Check(registry.SetValue(kLaneRegistryKey, "SecurityModuleType",
                                platform::RegValue::String("USB_SECURITY_MODULE")) == 0);
        static_cast<void>(config.Access(log));
        Check(link.Usb().OpenDriver() == 0);
    }
    ~Rig() { static_cast<void>(link.Usb().CloseDriver()); }
    Rig(const Rig&) = delete;
    Rig& operator=(const Rig&) = delete;

    TemporaryLane lane;
    platform::LanePaths paths{lane.Path()};
    platform::Registry registry{platform::Registry::DefaultHivePath(paths)};
    SteppingClock clock;
    KeysConsole console;
    CCaptureWriter capture{clock, paths};
    PgmCnfg config{ConfigSources{paths, registry, clock, "LANE-PC"}};
    CLogMessage log{clock, console, capture, config};
    CUtilityLinkReporter reporter{log};
    AcceptingDriver driver{paths, "SecModuleDevice0"};
    link::CSecurityModuleLink link{
        link::LinkConfig{link::LinkRole::Utility, link::kBoardTypeUsb, 0}, reporter, clock, paths};
    UtilityOptions options;
    SecurityModuleIdentity identity;
    BillAcceptorIdentity billAcceptor;
    // The codes the run ended the process with; the run goes on, as a test's does.
    std::vector<int> processEnds;
    std::function<void(int)> endProcess = [this](int code) { processEnds.push_back(code); };
    UtilityRun run{log,   config,   options,      link,       console,
                   clock, identity, billAcceptor, endProcess, paths};
};

using lane::fuzz::Packets;

}  // namespace lane::moxtel::fuzz
