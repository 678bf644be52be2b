// A fake security-module driver for the monitor's tests: serves "\\.\SecModuleDevice0" on the
// device stand-in, takes writes, acknowledges port 7's open and close on the remote-monitor read
// as the module does, and holds that read until the test gives it a packet.
#pragma once

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "platform/DeviceDriver.h"
#include "platform/LanePath.h"

namespace lane::monitor::test {

class FakeModuleDriver {
  public:
    using Bytes = std::vector<std::uint8_t>;
    static constexpr std::uint32_t kRemoteMonitorRead = 0x226B4D;
    static constexpr int kBoundMs = 5000;

    explicit FakeModuleDriver(const platform::LanePaths& paths) {
        if (platform::ListenDevice(paths, "SecModuleDevice0", server_) == 0) {
            acceptor_ = std::thread([this] { AcceptLoop(); });
        }
    }
    ~FakeModuleDriver() {
        if (server_) {
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
        for (auto& thread : threads_) {
            thread.join();
        }
    }
    FakeModuleDriver(const FakeModuleDriver&) = delete;
    FakeModuleDriver& operator=(const FakeModuleDriver&) = delete;

    bool Listening() const { return server_ != nullptr; }
    // The `number`-th open (counting from 1) is refused with `error`.
    void RefuseOpen(int number, std::uint32_t error) {
        std::lock_guard<std::mutex> lock(mutex_);
        refuseNumber_ = number;
        refuseError_ = error;
    }
    // A packet for the remote-monitor read, now or when the next read comes.
    void SendRemoteMonitor(Bytes wire) {
        std::lock_guard<std::mutex> lock(mutex_);
        queued_.push_back(std::move(wire));
        Deliver();
    }
    std::vector<Bytes> Written() const {
        std::lock_guard<std::mutex> lock(mutex_);
        return written_;
    }
    int Opens() const {
        std::lock_guard<std::mutex> lock(mutex_);
        return opens_;
    }
    // Waits (real time, bounded) for `count` writes.
    bool AwaitWritten(std::size_t count) const {
        std::unique_lock<std::mutex> lock(mutex_);
        return changed_.wait_for(lock, std::chrono::milliseconds(kBoundMs),
                                 [&] { return written_.size() >= count; });
    }

  private:
    struct Held {
        platform::DeviceConnection* connection;
        std::uint32_t id;
    };

    void AcceptLoop() {
        for (;;) {
            std::unique_ptr<platform::DeviceConnection> connection = server_->Accept(-1);
            if (!connection) {
                return;
            }
            std::lock_guard<std::mutex> lock(mutex_);
            platform::DeviceConnection* raw = connection.get();
            connections_.push_back(std::move(connection));
            threads_.emplace_back([this, raw] { Serve(raw); });
        }
    }

    void Serve(platform::DeviceConnection* connection) {
        platform::DeviceRequest request;
        while (connection->Receive(request, -1) ==
               platform::DeviceConnection::ReceiveStatus::Received) {
            std::lock_guard<std::mutex> lock(mutex_);
            Handle(connection, request);
        }
        std::lock_guard<std::mutex> lock(mutex_);
        held_.erase(std::remove_if(held_.begin(), held_.end(),
                                   [&](const Held& held) { return held.connection == connection; }),
                    held_.end());
    }

    void Handle(platform::DeviceConnection* connection, const platform::DeviceRequest& request) {
        switch (request.kind) {
            case platform::DeviceRequestKind::Hello:
                ++opens_;
                connection->Reply(request.id, opens_ == refuseNumber_ ? refuseError_ : 0, {});
                return;
            case platform::DeviceRequestKind::Write:
                connection->ReplyWritten(request.id, 0,
                                         static_cast<std::uint32_t>(request.input.size()));
                written_.push_back(request.input);
                changed_.notify_all();
                // The module acknowledges port 7's open and close on port 7.
                if (request.input.size() >= 2 && request.input[0] == 7 &&
                    (request.input[1] == 2 || request.input[1] == 3)) {
                    queued_.push_back(request.input);
                    Deliver();
                }
                return;
            case platform::DeviceRequestKind::Control:
                if (request.controlCode == kRemoteMonitorRead) {
                    held_.push_back(Held{connection, request.id});
                    Deliver();
                    return;
                }
                connection->Reply(request.id, 1, {});
                return;
            case platform::DeviceRequestKind::Read:
            case platform::DeviceRequestKind::Close:
                return;  // plain reads are never answered; the monitor makes none
        }
    }

    void Deliver() {
        while (!held_.empty() && !queued_.empty()) {
            held_.front().connection->Reply(held_.front().id, 0, queued_.front());
            held_.pop_front();
            queued_.pop_front();
        }
    }

    std::unique_ptr<platform::DeviceServer> server_;
    std::thread acceptor_;
    mutable std::mutex mutex_;
    mutable std::condition_variable changed_;
    std::vector<std::unique_ptr<platform::DeviceConnection>> connections_;
    std::vector<std::thread> threads_;
    std::deque<Held> held_;
    std::deque<Bytes> queued_;
    std::vector<Bytes> written_;
    int opens_ = 0;
    int refuseNumber_ = 0;
    std::uint32_t refuseError_ = 0;
};

}  // namespace lane::monitor::test
