// Helpers of the link tests: lane root, recording reporter, counting clock and fake driver.
#include "tests/link/LinkTestSupport.h"

#include <algorithm>
#include <chrono>
#include <random>

#include "link/TMCB_Support.h"
#include "platform/SystemError.h"

namespace lane::link::test {

using platform::DeviceConnection;
using platform::DeviceRequest;
using platform::DeviceRequestKind;

Bytes WithChecksum(Bytes bytes) {
    bytes.push_back(LinkChecksum(bytes.data(), bytes.size()));
    return bytes;
}

TemporaryRoot::TemporaryRoot()
    : path_(std::filesystem::temp_directory_path() /
            ("lane-link-" + std::to_string(std::random_device{}()))),
      paths_(path_.string()) {
    std::filesystem::create_directories(path_);
}

TemporaryRoot::~TemporaryRoot() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
}

void RecordingReporter::Report(const char* module, int level, bool console,
                               const std::string& text) {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        reports_.push_back({module, level, console, text});
    }
    changed_.notify_all();
}

std::vector<Report> RecordingReporter::Reports() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return reports_;
}

std::optional<Report> RecordingReporter::Find(const std::string& text) const {
    std::lock_guard<std::mutex> lock(mutex_);
    for (const auto& report : reports_) {
        if (report.text == text) {
            return report;
        }
    }
    return std::nullopt;
}

int RecordingReporter::Count(const std::string& text) const {
    std::lock_guard<std::mutex> lock(mutex_);
    return static_cast<int>(std::count_if(reports_.begin(), reports_.end(),
                                          [&](const auto& report) { return report.text == text; }));
}

bool RecordingReporter::Await(const std::string& text, int count, int timeoutMs) const {
    std::unique_lock<std::mutex> lock(mutex_);
    return changed_.wait_for(lock, std::chrono::milliseconds(timeoutMs), [&] {
        return std::count_if(reports_.begin(), reports_.end(),
                             [&](const auto& report) { return report.text == text; }) >= count;
    });
}

void RecordingReporter::Clear() {
    std::lock_guard<std::mutex> lock(mutex_);
    reports_.clear();
}

void CountingClock::WaitUntil(WaitState& state, std::int64_t deadlineMs) {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        ++waitsBegun_;
    }
    changed_.notify_all();
    fake_.WaitUntil(state, deadlineMs);
}

int CountingClock::WaitsBegun() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return waitsBegun_;
}

bool CountingClock::AwaitWaitsBegun(int count) const {
    std::unique_lock<std::mutex> lock(mutex_);
    return changed_.wait_for(lock, std::chrono::milliseconds(kBoundMs),
                             [&] { return waitsBegun_ >= count; });
}

FakeDriver::FakeDriver(const platform::LanePaths& paths, const std::string& name) {
    if (platform::ListenDevice(paths, name, server_) == platform::kErrorSuccess) {
        acceptor_ = std::thread([this] { AcceptLoop(); });
    }
}

FakeDriver::~FakeDriver() {
    if (server_ != nullptr) {
        server_->Shutdown();
    }
    if (acceptor_.joinable()) {
        acceptor_.join();
    }
    {
        std::lock_guard<std::mutex> lock(mutex_);
        for (const auto& connection : connections_) {
            connection->Close();
        }
    }
    for (auto& thread : servers_) {
        thread.join();
    }
}

void FakeDriver::AcceptLoop() {
    for (;;) {
        std::unique_ptr<DeviceConnection> connection = server_->Accept(-1);
        if (connection == nullptr) {
            return;
        }
        std::lock_guard<std::mutex> lock(mutex_);
        DeviceConnection* raw = connection.get();
        connections_.push_back(std::move(connection));
        const int number = static_cast<int>(connections_.size());
        servers_.emplace_back([this, raw, number] { Serve(raw, number); });
    }
}

void FakeDriver::Serve(DeviceConnection* connection, int number) {
    DeviceRequest request;
    while (connection->Receive(request, -1) == DeviceConnection::ReceiveStatus::Received) {
        Handle(connection, number, request);
    }
    std::lock_guard<std::mutex> lock(mutex_);
    held_.erase(std::remove_if(held_.begin(), held_.end(),
                               [&](const Held& held) { return held.connection == connection; }),
                held_.end());
}

void FakeDriver::Handle(DeviceConnection* connection, int number, const DeviceRequest& request) {
    std::lock_guard<std::mutex> lock(mutex_);
    seen_.push_back({number, request.kind, request.controlCode, request.mode, request.input,
                     request.output, request.outputSize});
    changed_.notify_all();
    switch (request.kind) {
        case DeviceRequestKind::Hello: {
            ++opens_;
            const auto refusal = refusals_.find(opens_);
            connection->Reply(
                request.id, refusal == refusals_.end() ? platform::kErrorSuccess : refusal->second,
                {});
            return;
        }
        case DeviceRequestKind::Write:
            connection->ReplyWritten(
                request.id, writeStatus_,
                written_.value_or(static_cast<std::uint32_t>(request.input.size())));
            return;
        case DeviceRequestKind::Control:
            if (std::find(heldCodes_.begin(), heldCodes_.end(), request.controlCode) ==
                heldCodes_.end()) {
                connection->Reply(request.id, writeStatus_, {});
                return;
            }
            break;
        case DeviceRequestKind::Read:
            break;
        case DeviceRequestKind::Close:
            return;
    }
    const std::uint32_t code = request.kind == DeviceRequestKind::Control ? request.controlCode : 0;
    auto& queued = queued_[code];
    if (queued.empty()) {
        held_.push_back({connection, request.id, code});
        return;
    }
    connection->Reply(request.id, queued.front().status, queued.front().bytes);
    queued.erase(queued.begin());
}

bool FakeDriver::AnswerHeld(std::uint32_t code, const Answer& answer) {
    const auto found = std::find_if(held_.begin(), held_.end(),
                                    [&](const Held& held) { return held.code == code; });
    if (found == held_.end()) {
        return false;
    }
    found->connection->Reply(found->id, answer.status, answer.bytes);
    held_.erase(found);
    return true;
}

void FakeDriver::RefuseOpen(int number, std::uint32_t error) {
    std::lock_guard<std::mutex> lock(mutex_);
    refusals_[opens_ + number] = error;
}

void FakeDriver::HoldControl(std::uint32_t code) {
    std::lock_guard<std::mutex> lock(mutex_);
    heldCodes_.push_back(code);
}

void FakeDriver::QueueControlRead(std::uint32_t code, Bytes bytes, std::uint32_t status) {
    std::lock_guard<std::mutex> lock(mutex_);
    Answer answer{status, std::move(bytes)};
    if (!AnswerHeld(code, answer)) {
        queued_[code].push_back(std::move(answer));
    }
}

void FakeDriver::QueueRead(Bytes bytes, std::uint32_t status) {
    QueueControlRead(0, std::move(bytes), status);
}

void FakeDriver::SetWriteResult(std::uint32_t status, std::optional<std::uint32_t> written) {
    std::lock_guard<std::mutex> lock(mutex_);
    writeStatus_ = status;
    written_ = written;
}

std::vector<FakeDriver::Seen> FakeDriver::Requests() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return seen_;
}

std::vector<FakeDriver::Seen> FakeDriver::Requests(DeviceRequestKind kind,
                                                   std::uint32_t code) const {
    std::vector<Seen> matching;
    for (const Seen& seen : Requests()) {
        if (seen.kind == kind && (code == 0 || seen.code == code)) {
            matching.push_back(seen);
        }
    }
    return matching;
}

bool FakeDriver::AwaitRequests(DeviceRequestKind kind, std::size_t count, std::uint32_t code,
                               int timeoutMs) const {
    std::unique_lock<std::mutex> lock(mutex_);
    return changed_.wait_for(lock, std::chrono::milliseconds(timeoutMs), [&] {
        return static_cast<std::size_t>(
                   std::count_if(seen_.begin(), seen_.end(), [&](const Seen& seen) {
                       return seen.kind == kind && (code == 0 || seen.code == code);
                   })) >= count;
    });
}

}  // namespace lane::link::test
