// A security module on the device stand-in for the installer's tests.
#include "tests/installer/FakeModule.h"

#include <cstdio>
#include <deque>

namespace lane::quillan::test {

namespace {

inline constexpr int kReceivePollMs = 50;

Bytes WithChecksum(Bytes packet) {
    std::uint8_t sum = 0;
    for (const std::uint8_t byte : packet) {
        sum = static_cast<std::uint8_t>(sum + byte);
    }
    packet.push_back(sum);
    return packet;
}

Bytes Reply(const std::string& data) {
    Bytes packet = {0x06, 0x06, static_cast<std::uint8_t>(data.size())};
    packet.insert(packet.end(), data.begin(), data.end());
    return WithChecksum(packet);
}

}  // namespace

FakeModule::FakeModule(const platform::LanePaths& paths, int version, bool answers)
    : version_(version), answers_(answers) {
    if (platform::ListenDevice(paths, "SecModuleDevice0", server_) != 0) {
        server_.reset();
        return;
    }
    thread_ = std::thread([this] { Serve(); });
}

FakeModule::~FakeModule() {
    stop_ = true;
    if (server_ != nullptr) {
        server_->Shutdown();
    }
    if (thread_.joinable()) {
        thread_.join();
    }
}

std::vector<Bytes> FakeModule::Written() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return written_;
}

platform::DeviceOpenMode FakeModule::Mode() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return mode_;
}

void FakeModule::Serve() {
    while (!stop_) {
        std::unique_ptr<platform::DeviceConnection> connection = server_->Accept(kReceivePollMs);
        if (connection == nullptr) {
            continue;
        }
        std::deque<Bytes> replies;
        std::deque<std::uint32_t> reads;
        platform::DeviceRequest request;
        while (!stop_) {
            const auto status = connection->Receive(request, kReceivePollMs);
            if (status == platform::DeviceConnection::ReceiveStatus::Closed) {
                break;
            }
            if (status == platform::DeviceConnection::ReceiveStatus::TimedOut) {
                continue;
            }
            switch (request.kind) {
                case platform::DeviceRequestKind::Hello: {
                    std::lock_guard<std::mutex> lock(mutex_);
                    mode_ = request.mode;
                    connection->Reply(request.id, 0, {});
                    break;
                }
                case platform::DeviceRequestKind::Write: {
                    {
                        std::lock_guard<std::mutex> lock(mutex_);
                        written_.push_back(request.input);
                    }
                    connection->ReplyWritten(request.id, 0,
                                             static_cast<std::uint32_t>(request.input.size()));
                    const Bytes& in = request.input;
                    if (answers_ && in.size() == 6 && in[0] == 6 && in[3] == 'Z') {
                        char digits[8];
                        std::snprintf(digits, sizeof digits, "%04d", version_);
                        // Some other port-6 traffic first: it must be passed over.
                        replies.push_back(Reply("z5750"));
                        replies.push_back(in[4] == '2'
                                              ? Reply(std::string("z2") + digits + "01152019")
                                              : Reply("z405A3C"));
                    }
                    break;
                }
                case platform::DeviceRequestKind::Read:
                    reads.push_back(request.id);
                    break;
                default:
                    break;
            }
            while (!reads.empty() && !replies.empty()) {
                connection->Reply(reads.front(), 0, replies.front());
                reads.pop_front();
                replies.pop_front();
            }
        }
    }
}

}  // namespace lane::quillan::test
