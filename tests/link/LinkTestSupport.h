// Helpers of the link tests: a lane root of its own, a reporter that keeps what it is told, a
// fake clock that counts the waits begun on it, and a fake driver on the device stand-in.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <filesystem>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "common/FakeClock.h"
#include "link/LinkConfig.h"
#include "platform/DeviceDriver.h"
#include "platform/LanePath.h"

namespace lane::link::test {

using Bytes = std::vector<std::uint8_t>;

// Bound of every real-time wait for something that must happen.
inline constexpr int kBoundMs = 5000;

// A wire packet with its checksum appended.
Bytes WithChecksum(Bytes bytes);

class TemporaryRoot {
  public:
    TemporaryRoot();
    ~TemporaryRoot();
    const platform::LanePaths& Paths() const { return paths_; }

  private:
    std::filesystem::path path_;
    platform::LanePaths paths_;
};

struct Report {
    std::string module;
    int level = 0;
    bool console = false;
    std::string text;
};

class RecordingReporter final : public LinkReporter {
  public:
    void Report(const char* module, int level, bool console, const std::string& text) override;
    std::vector<test::Report> Reports() const;
    // The first report with exactly `text`, if any.
    std::optional<test::Report> Find(const std::string& text) const;
    int Count(const std::string& text) const;
    // Waits (real time, bounded) for `count` reports with exactly `text`.
    bool Await(const std::string& text, int count = 1, int timeoutMs = kBoundMs) const;
    void Clear();

  private:
    mutable std::mutex mutex_;
    mutable std::condition_variable changed_;
    std::vector<test::Report> reports_;
};

// A fake clock that counts the waits begun on it, so a test knows that a thread has entered
// its next wait (and taken its deadline) before it moves time on.
class CountingClock final : public Clock {
  public:
    std::int64_t TickMs() const override { return fake_.TickMs(); }
    WallTime Now() const override { return fake_.Now(); }
    void WaitUntil(WaitState& state, std::int64_t deadlineMs) override;
    void AdvanceMs(std::int64_t stepMs) { fake_.AdvanceMs(stepMs); }
    int WaitsBegun() const;
    // Waits (real time, bounded) until `count` waits have begun since the start.
    bool AwaitWaitsBegun(int count) const;

  private:
    FakeClock fake_;
    mutable std::mutex mutex_;
    mutable std::condition_variable changed_;
    int waitsBegun_ = 0;
};

// Plays a driver on the device stand-in: accepts handles (or refuses the n-th), answers writes
// at once and holds reads until the test gives them something.
class FakeDriver {
  public:
    struct Seen {
        int connection = 0;  // numbered from 1 in the order of the opens
        platform::DeviceRequestKind kind = platform::DeviceRequestKind::Hello;
        std::uint32_t code = 0;
        platform::DeviceOpenMode mode;
        Bytes input;
        Bytes output;
        std::uint32_t outputSize = 0;
    };

    FakeDriver(const platform::LanePaths& paths, const std::string& name);
    ~FakeDriver();
    FakeDriver(const FakeDriver&) = delete;
    FakeDriver& operator=(const FakeDriver&) = delete;

    bool Listening() const { return server_ != nullptr; }
    // The `number`-th open from now on (counting from 1 over all opens) is refused with `error`.
    void RefuseOpen(int number, std::uint32_t error);
    // Control requests with `code` are reads: held until QueueControlRead gives them bytes.
    void HoldControl(std::uint32_t code);
    // The answer to the next control read with `code`: `status` and, when 0, the bytes.
    void QueueControlRead(std::uint32_t code, Bytes bytes, std::uint32_t status = 0);
    // The answer to the next ReadFile (held until then).
    void QueueRead(Bytes bytes, std::uint32_t status = 0);
    // How writes (WriteFile and control codes not held) are answered; by default 0 and the whole
    // count. `written` empty: the whole count.
    void SetWriteResult(std::uint32_t status, std::optional<std::uint32_t> written = {});

    std::vector<Seen> Requests() const;
    // The requests of `kind` (and, for control requests, of `code` when not 0).
    std::vector<Seen> Requests(platform::DeviceRequestKind kind, std::uint32_t code = 0) const;
    // Waits (real time, bounded) until `count` requests of that kind and code were seen.
    bool AwaitRequests(platform::DeviceRequestKind kind, std::size_t count, std::uint32_t code = 0,
                       int timeoutMs = kBoundMs) const;

  private:
    struct Answer {
        std::uint32_t status;
        Bytes bytes;
    };
    struct Held {
        platform::DeviceConnection* connection;
        std::uint32_t id;
        std::uint32_t code;  // 0 for ReadFile
    };
    void AcceptLoop();
    void Serve(platform::DeviceConnection* connection, int number);
    void Handle(platform::DeviceConnection* connection, int number,
                const platform::DeviceRequest& request);
    bool AnswerHeld(std::uint32_t code, const Answer& answer);

    std::unique_ptr<platform::DeviceServer> server_;
    std::thread acceptor_;
    std::vector<std::thread> servers_;
    std::vector<std::unique_ptr<platform::DeviceConnection>> connections_;

    mutable std::mutex mutex_;
    mutable std::condition_variable changed_;
    int opens_ = 0;
    std::map<int, std::uint32_t> refusals_;
    std::vector<std::uint32_t> heldCodes_;
    std::map<std::uint32_t, std::vector<Answer>> queued_;  // by code; 0 for ReadFile
    std::vector<Held> held_;
    std::uint32_t writeStatus_ = 0;
    std::optional<std::uint32_t> written_;
    std::vector<Seen> seen_;
};

}  // namespace lane::link::test
