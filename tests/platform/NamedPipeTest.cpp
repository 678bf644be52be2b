// Tests of the named-pipe stand-in: open, overlapped reads, partner loss, Close and Accept.
#include "platform/NamedPipe.h"

#include <gtest/gtest.h>

#include <array>
#include <chrono>
#include <filesystem>
#include <future>
#include <memory>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "common/RealClock.h"
#include "platform/SystemError.h"

namespace lane::platform {
namespace {

constexpr const char* kPipe = "OrvelSim";
constexpr std::int64_t kBoundMs = 5000;  // bound of every wait for something that must happen

class NamedPipeTest : public ::testing::Test {
  protected:
    NamedPipeTest()
        : root_(std::filesystem::temp_directory_path() /
                ("lane-pipe-" + std::to_string(std::random_device{}()))),
          paths_(root_.string()) {
        std::filesystem::create_directories(root_);
    }
    ~NamedPipeTest() override {
        std::error_code ignored;
        std::filesystem::remove_all(root_, ignored);
    }

    // Listens, connects a client and accepts it.
    void Connect() {
        ASSERT_EQ(ListenPipe(paths_, kPipe, server_), kErrorSuccess);
        ASSERT_EQ(OpenPipeClient(paths_, kPipe, client_), kErrorSuccess);
        connection_ = server_->Accept(static_cast<int>(kBoundMs));
        ASSERT_NE(connection_, nullptr);
    }

    void ServerWrites(std::vector<std::uint8_t> bytes) {
        ASSERT_TRUE(connection_->Write(bytes.data(), bytes.size()));
    }

    std::filesystem::path root_;
    LanePaths paths_;
    RealClock clock_;
    std::unique_ptr<PipeServer> server_;
    std::unique_ptr<PipeClient> client_;
    std::unique_ptr<PipeConnection> connection_;
    std::array<std::uint8_t, 100> buffer_{};
    ManualResetEvent completion_;
    std::size_t bytesRead_ = 0;
    std::uint32_t error_ = 0;
};

TEST_F(NamedPipeTest, OpeningWithNobodyListeningGivesNotFound) {
    std::unique_ptr<PipeClient> client;
    EXPECT_EQ(OpenPipeClient(paths_, kPipe, client), kErrorFileNotFound);
    EXPECT_EQ(client, nullptr);

    // A server that has ended leaves nobody to connect to, as does one that was shut down.
    {
        std::unique_ptr<PipeServer> server;
        ASSERT_EQ(ListenPipe(paths_, kPipe, server), kErrorSuccess);
        EXPECT_EQ(OpenPipeClient(paths_, "\\\\.\\PIPE\\OrvelSim", client), kErrorSuccess);
        client.reset();
        server->Shutdown();
        EXPECT_EQ(OpenPipeClient(paths_, kPipe, client), kErrorFileNotFound);
    }
    EXPECT_EQ(OpenPipeClient(paths_, kPipe, client), kErrorFileNotFound);
}

TEST_F(NamedPipeTest, SecondListenerIsRefusedUntilTheFirstEnds) {
    std::unique_ptr<PipeServer> first;
    ASSERT_EQ(ListenPipe(paths_, kPipe, first), kErrorSuccess);
    std::unique_ptr<PipeServer> second;
    EXPECT_EQ(ListenPipe(paths_, kPipe, second), 231u);
    EXPECT_EQ(second, nullptr);
    first.reset();
    EXPECT_EQ(ListenPipe(paths_, kPipe, second), kErrorSuccess);
}

TEST_F(NamedPipeTest, AServerThatNeverAcceptsMakesTheOpenBusyNotEndless) {
    std::unique_ptr<PipeServer> server;
    ASSERT_EQ(ListenPipe(paths_, kPipe, server, 1), kErrorSuccess);
    // Opens on another thread, so that an open stuck in the kernel fails the test instead of
    // hanging it; the thread is left behind then, as the process ends anyway.
    auto outcome = std::make_shared<std::promise<std::vector<std::uint32_t>>>();
    std::future<std::vector<std::uint32_t>> done = outcome->get_future();
    std::thread([paths = paths_, outcome] {
        std::vector<std::uint32_t> results;
        std::vector<std::unique_ptr<PipeClient>> clients;
        for (int i = 0; i < 8; ++i) {
            std::unique_ptr<PipeClient> client;
            results.push_back(OpenPipeClient(paths, kPipe, client));
            clients.push_back(std::move(client));
            if (results.back() != kErrorSuccess) {
                break;
            }
        }
        outcome->set_value(results);
    }).detach();
    ASSERT_EQ(done.wait_for(std::chrono::seconds(10)), std::future_status::ready);
    const std::vector<std::uint32_t> results = done.get();
    // The waiting room fills up; the next open is told the pipe is busy.
    ASSERT_GE(results.size(), 2u);
    EXPECT_EQ(results.front(), kErrorSuccess);
    EXPECT_EQ(results.back(), kErrorPipeBusy);
    // Once the server takes its waiting clients, the pipe opens again.
    while (server->Accept(0)) {
    }
    std::unique_ptr<PipeClient> client;
    EXPECT_EQ(OpenPipeClient(paths_, kPipe, client), kErrorSuccess);
}

TEST_F(NamedPipeTest, ReadCompletesAtOnceWhenDataIsWaiting) {
    Connect();
    ServerWrites({0xA3, 0x01, 0xA2, 0x02});
    EXPECT_EQ(
        client_->ReadOverlapped(buffer_.data(), buffer_.size(), completion_, bytesRead_, error_),
        PipeClient::ReadStatus::Completed);
    ASSERT_EQ(bytesRead_, 4u);
    EXPECT_EQ(std::vector<std::uint8_t>(buffer_.begin(), buffer_.begin() + 4),
              (std::vector<std::uint8_t>{0xA3, 0x01, 0xA2, 0x02}));

    // A read never copies more than asked for; the rest waits for the next read.
    ServerWrites({1, 2, 3, 4, 5});
    EXPECT_EQ(client_->ReadOverlapped(buffer_.data(), 2, completion_, bytesRead_, error_),
              PipeClient::ReadStatus::Completed);
    EXPECT_EQ(bytesRead_, 2u);
    EXPECT_EQ(
        client_->ReadOverlapped(buffer_.data(), buffer_.size(), completion_, bytesRead_, error_),
        PipeClient::ReadStatus::Completed);
    EXPECT_EQ(bytesRead_, 3u);
    EXPECT_EQ(buffer_[0], 3);
}

TEST_F(NamedPipeTest, PendingReadCompletesWhenDataArrives) {
    Connect();
    ASSERT_EQ(
        client_->ReadOverlapped(buffer_.data(), buffer_.size(), completion_, bytesRead_, error_),
        PipeClient::ReadStatus::Pending);
    EXPECT_EQ(error_, kErrorIoPending);
    EXPECT_FALSE(completion_.IsSet());

    ServerWrites({0xA5, 0x01});
    ASSERT_TRUE(WaitFor(clock_, completion_, kBoundMs));
    ASSERT_TRUE(client_->GetOverlappedResult(bytesRead_, error_));
    ASSERT_EQ(bytesRead_, 2u);
    EXPECT_EQ(buffer_[0], 0xA5);
    EXPECT_EQ(buffer_[1], 0x01);
}

TEST_F(NamedPipeTest, PartnerClosingGivesNoProcessAtTheOtherEnd) {
    Connect();
    ServerWrites({0xA2, 0x01});
    connection_->Close();
    // What was written before the close is still delivered, then the loss is reported.
    EXPECT_EQ(
        client_->ReadOverlapped(buffer_.data(), buffer_.size(), completion_, bytesRead_, error_),
        PipeClient::ReadStatus::Completed);
    EXPECT_EQ(bytesRead_, 2u);
    EXPECT_EQ(
        client_->ReadOverlapped(buffer_.data(), buffer_.size(), completion_, bytesRead_, error_),
        PipeClient::ReadStatus::Failed);
    EXPECT_EQ(error_, kErrorPipeNotConnected);

    const std::uint8_t start[] = {0x02, 0x56, 0x03};
    EXPECT_FALSE(client_->Write(start, sizeof(start), error_));
    EXPECT_EQ(error_, kErrorPipeNotConnected);
}

TEST_F(NamedPipeTest, PartnerClosingCompletesAPendingReadWithTheError) {
    Connect();
    ASSERT_EQ(
        client_->ReadOverlapped(buffer_.data(), buffer_.size(), completion_, bytesRead_, error_),
        PipeClient::ReadStatus::Pending);
    connection_.reset();
    ASSERT_TRUE(WaitFor(clock_, completion_, kBoundMs));
    EXPECT_FALSE(client_->GetOverlappedResult(bytesRead_, error_));
    EXPECT_EQ(error_, kErrorPipeNotConnected);
}

TEST_F(NamedPipeTest, CloseCancelsAPendingReadAndLeavesTheBufferAlone) {
    Connect();
    buffer_.fill(0x55);
    ASSERT_EQ(
        client_->ReadOverlapped(buffer_.data(), buffer_.size(), completion_, bytesRead_, error_),
        PipeClient::ReadStatus::Pending);
    client_->Close();
    EXPECT_TRUE(completion_.IsSet());
    EXPECT_FALSE(client_->GetOverlappedResult(bytesRead_, error_));
    EXPECT_EQ(error_, 995u);

    connection_->Write(buffer_.data(), 4);  // may fail: the client is gone
    for (const std::uint8_t byte : buffer_) {
        ASSERT_EQ(byte, 0x55);
    }
    EXPECT_EQ(
        client_->ReadOverlapped(buffer_.data(), buffer_.size(), completion_, bytesRead_, error_),
        PipeClient::ReadStatus::Failed);
    EXPECT_EQ(error_, kErrorInvalidHandle);
    std::uint8_t received[8];
    EXPECT_EQ(connection_->Read(received, sizeof(received), static_cast<int>(kBoundMs)), -1);
}

TEST_F(NamedPipeTest, ClientWritesReachTheServerInOrder) {
    Connect();
    const std::uint8_t start[] = {0x02, 0x56, 0x03, 0x02, 0x48, 0x03};
    ASSERT_TRUE(client_->Write(start, 3, error_));
    ASSERT_TRUE(client_->Write(start + 3, 3, error_));
    std::vector<std::uint8_t> received;
    std::uint8_t chunk[4];
    while (received.size() < sizeof(start)) {
        const long n = connection_->Read(chunk, sizeof(chunk), static_cast<int>(kBoundMs));
        ASSERT_GT(n, 0);
        received.insert(received.end(), chunk, chunk + n);
    }
    EXPECT_EQ(received, std::vector<std::uint8_t>(start, start + sizeof(start)));

    // Nothing more: the read times out; then the client goes and the read reports it.
    EXPECT_EQ(connection_->Read(chunk, sizeof(chunk), 10), 0);
    client_.reset();
    EXPECT_EQ(connection_->Read(chunk, sizeof(chunk), static_cast<int>(kBoundMs)), -1);
    EXPECT_FALSE(connection_->Write(start, sizeof(start)));
}

TEST_F(NamedPipeTest, ConnectionCloseWakesABlockedRead) {
    Connect();
    ManualResetEvent readReturned;
    long result = 0;
    std::thread reader([&] {
        std::uint8_t chunk[4];
        result = connection_->Read(chunk, sizeof(chunk), -1);
        readReturned.Set();
    });
    connection_->Close();
    const bool woke = WaitFor(clock_, readReturned, kBoundMs);
    if (!woke) {
        client_.reset();  // ends the read so that the thread can be joined
    }
    reader.join();
    EXPECT_TRUE(woke);
    EXPECT_EQ(result, -1);
}

TEST_F(NamedPipeTest, AcceptTimesOutAndShutdownWakesIt) {
    std::shared_ptr<PipeServer> server;
    {
        std::unique_ptr<PipeServer> listening;
        ASSERT_EQ(ListenPipe(paths_, kPipe, listening), kErrorSuccess);
        server = std::move(listening);
    }
    EXPECT_EQ(server->Accept(10), nullptr);

    auto accepted = std::make_shared<ManualResetEvent>();
    auto result = std::make_shared<std::unique_ptr<PipeConnection>>();
    std::thread waiter([server, accepted, result] {
        *result = server->Accept(-1);
        accepted->Set();
    });
    server->Shutdown();
    const bool woke = WaitFor(clock_, *accepted, kBoundMs);
    if (woke) {
        waiter.join();
    } else {
        waiter.detach();  // shares ownership of everything it touches
    }
    ASSERT_TRUE(woke);
    EXPECT_EQ(*result, nullptr);
    EXPECT_EQ(server->Accept(-1), nullptr);

    std::unique_ptr<PipeClient> client;
    EXPECT_EQ(OpenPipeClient(paths_, kPipe, client), kErrorFileNotFound);
}

}  // namespace
}  // namespace lane::platform
