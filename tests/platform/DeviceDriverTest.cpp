// Tests of the driver-device stand-in: open and refusal, requests and replies, overlapped
// completion, cancellation, loss of either end and the frame limits.
#include "platform/DeviceDriver.h"

#include <gtest/gtest.h>

#include <array>
#include <filesystem>
#include <memory>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "common/RealClock.h"
#include "platform/NamedPipe.h"
#include "platform/SystemError.h"
#include "platform/posix/DeviceDriverFrame.h"

namespace lane::platform {
namespace {

using Bytes = std::vector<std::uint8_t>;

constexpr const char* kDevice = "SecModuleDevice0";
constexpr int kBoundMs = 5000;                 // bound of every wait for something that must happen
constexpr std::uint32_t kReadCode = 0x226B45;  // asks for read access
constexpr std::uint32_t kWriteCode = 0x22AB86;  // asks for write access
constexpr std::uint32_t kAnyAccessCode = 0x222B04;

constexpr DeviceOpenMode kReadShared{kDeviceGenericRead, kDeviceShareRead | kDeviceShareWrite, 0};
constexpr DeviceOpenMode kWriteShared{kDeviceGenericWrite, kDeviceShareRead | kDeviceShareWrite, 0};
constexpr DeviceOpenMode kReadOverlapped{kDeviceGenericRead, kDeviceShareRead | kDeviceShareWrite,
                                         kDeviceFlagOverlapped};

class DeviceDriverTest : public ::testing::Test {
  protected:
    DeviceDriverTest()
        : root_(std::filesystem::temp_directory_path() /
                ("lane-device-" + std::to_string(std::random_device{}()))),
          paths_(root_.string()) {
        std::filesystem::create_directories(root_);
    }
    ~DeviceDriverTest() override {
        std::error_code ignored;
        std::filesystem::remove_all(root_, ignored);
    }

    void Listen() { ASSERT_EQ(ListenDevice(paths_, kDevice, server_), kErrorSuccess); }

    // Opens `name` on a thread while this one accepts the handle and answers its hello.
    std::uint32_t Open(const std::string& name, const DeviceOpenMode& mode,
                       std::uint32_t helloStatus, std::unique_ptr<DeviceHandle>& handle,
                       std::unique_ptr<DeviceConnection>& connection,
                       DeviceRequest* hello = nullptr) {
        std::uint32_t result = 0;
        std::thread opener([&] { result = OpenDevice(paths_, name, mode, handle); });
        connection = server_->Accept(kBoundMs);
        DeviceRequest request;
        if (connection != nullptr &&
            connection->Receive(request, kBoundMs) == DeviceConnection::ReceiveStatus::Received) {
            connection->Reply(request.id, helloStatus, {});
        }
        opener.join();
        if (hello != nullptr) {
            *hello = request;
        }
        return result;
    }

    // Opens the device and keeps the handle in handle_, its driver's end in connection_.
    void Connect(const DeviceOpenMode& mode) {
        Listen();
        ASSERT_EQ(Open(kDevice, mode, kErrorSuccess, handle_, connection_), kErrorSuccess);
        ASSERT_NE(handle_, nullptr);
    }

    DeviceRequest Next() {
        DeviceRequest request;
        EXPECT_EQ(connection_->Receive(request, kBoundMs),
                  DeviceConnection::ReceiveStatus::Received);
        return request;
    }

    std::filesystem::path root_;
    LanePaths paths_;
    RealClock clock_;
    std::unique_ptr<DeviceServer> server_;
    std::unique_ptr<DeviceHandle> handle_;
    std::unique_ptr<DeviceConnection> connection_;
};

TEST_F(DeviceDriverTest, OpeningWithNobodyServingGivesNotFound) {
    std::unique_ptr<DeviceHandle> handle;
    EXPECT_EQ(OpenDevice(paths_, kDevice, kReadShared, handle), kErrorFileNotFound);
    EXPECT_EQ(handle, nullptr);

    Listen();
    server_->Shutdown();
    EXPECT_EQ(OpenDevice(paths_, kDevice, kReadShared, handle), kErrorFileNotFound);
}

TEST_F(DeviceDriverTest, TheDriverSeesTheOpenModeAndAcceptsOrRefuses) {
    Listen();
    std::unique_ptr<DeviceHandle> handle;
    std::unique_ptr<DeviceConnection> connection;
    DeviceRequest hello;
    // Device names ignore case, with or without the "\\.\" prefix.
    ASSERT_EQ(
        Open("\\\\.\\SECMODULEDEVICE0", kReadOverlapped, kErrorSuccess, handle, connection, &hello),
        kErrorSuccess);
    EXPECT_NE(handle, nullptr);
    EXPECT_EQ(hello.kind, DeviceRequestKind::Hello);
    EXPECT_EQ(hello.version, device::kProtocolVersion);
    EXPECT_EQ(hello.mode.desiredAccess, kDeviceGenericRead);
    EXPECT_EQ(hello.mode.shareMode, kDeviceShareRead | kDeviceShareWrite);
    EXPECT_EQ(hello.mode.flags, kDeviceFlagOverlapped);

    std::unique_ptr<DeviceHandle> refused;
    std::unique_ptr<DeviceConnection> refusedEnd;
    EXPECT_EQ(Open(kDevice, kReadShared, kErrorSharingViolation, refused, refusedEnd),
              kErrorSharingViolation);
    EXPECT_EQ(refused, nullptr);
}

TEST_F(DeviceDriverTest, ControlCarriesBothBuffersAndTakesTheReplyWithinTheOutputBuffer) {
    Connect(kReadShared);
    std::array<std::uint8_t, 8> output{9, 9, 9, 9, 9, 9, 9, 9};
    const std::uint8_t input[] = {0x01, 0x02};
    std::uint32_t status = 0;
    std::size_t returned = 99;
    std::thread caller([&] {
        status = handle_->IoControl(kReadCode, input, sizeof(input), output.data(), output.size(),
                                    returned);
    });
    DeviceRequest request = Next();
    EXPECT_EQ(request.kind, DeviceRequestKind::Control);
    EXPECT_EQ(request.controlCode, kReadCode);
    EXPECT_EQ(request.input, (Bytes{0x01, 0x02}));
    EXPECT_EQ(request.outputSize, 8u);
    EXPECT_EQ(request.output, Bytes(8, 9));
    connection_->Reply(request.id, kErrorSuccess, {0xA1, 0xA2, 0xA3});
    caller.join();
    EXPECT_EQ(status, kErrorSuccess);
    EXPECT_EQ(returned, 3u);
    EXPECT_EQ(Bytes(output.begin(), output.end()), (Bytes{0xA1, 0xA2, 0xA3, 9, 9, 9, 9, 9}));

    // A reply longer than the caller's buffer is refused and nothing is copied.
    output.fill(7);
    caller = std::thread(
        [&] { status = handle_->IoControl(kReadCode, nullptr, 0, output.data(), 4, returned); });
    request = Next();
    connection_->Reply(request.id, kErrorSuccess, Bytes(5, 0xEE));
    caller.join();
    EXPECT_EQ(status, kErrorMoreData);
    EXPECT_EQ(returned, 0u);
    EXPECT_EQ(Bytes(output.begin(), output.end()), Bytes(8, 7));

    // The driver's error comes back as the request's result.
    caller = std::thread(
        [&] { status = handle_->IoControl(kReadCode, nullptr, 0, output.data(), 4, returned); });
    request = Next();
    connection_->Reply(request.id, 31, {0x01});
    caller.join();
    EXPECT_EQ(status, 31u);
    EXPECT_EQ(returned, 0u);
}

TEST_F(DeviceDriverTest, AccessIsCheckedBeforeAnythingIsSent) {
    Connect(kReadShared);
    std::uint8_t buffer[4] = {};
    std::size_t count = 0;
    EXPECT_EQ(handle_->WriteFile(buffer, sizeof(buffer), count), kErrorAccessDenied);
    EXPECT_EQ(handle_->IoControl(kWriteCode, nullptr, 0, buffer, sizeof(buffer), count),
              kErrorAccessDenied);
    std::thread reader([&] { EXPECT_EQ(handle_->ReadFile(buffer, 4, count), kErrorSuccess); });
    DeviceRequest request = Next();  // the first request the driver sees is the read
    EXPECT_EQ(request.kind, DeviceRequestKind::Read);
    EXPECT_EQ(request.outputSize, 4u);
    connection_->Reply(request.id, kErrorSuccess, {0x05});
    reader.join();
    EXPECT_EQ(count, 1u);

    std::unique_ptr<DeviceHandle> writer;
    std::unique_ptr<DeviceConnection> writerEnd;
    ASSERT_EQ(Open(kDevice, kWriteShared, kErrorSuccess, writer, writerEnd), kErrorSuccess);
    EXPECT_EQ(writer->ReadFile(buffer, sizeof(buffer), count), kErrorAccessDenied);
    EXPECT_EQ(writer->IoControl(kReadCode, nullptr, 0, buffer, sizeof(buffer), count),
              kErrorAccessDenied);
    std::thread anyAccess([&] {
        EXPECT_EQ(writer->IoControl(kAnyAccessCode, buffer, 3, nullptr, 0, count), kErrorSuccess);
    });
    DeviceRequest control;
    ASSERT_EQ(writerEnd->Receive(control, kBoundMs), DeviceConnection::ReceiveStatus::Received);
    EXPECT_EQ(control.controlCode, kAnyAccessCode);
    writerEnd->Reply(control.id, kErrorSuccess, {});
    anyAccess.join();
}

TEST_F(DeviceDriverTest, WriteReportsTheCountTheDriverTook) {
    Connect(kWriteShared);
    const std::uint8_t packet[] = {0x06, 0x03, 0x00, 0x09};
    std::size_t written = 0;
    std::uint32_t status = 1;
    std::thread caller([&] { status = handle_->WriteFile(packet, sizeof(packet), written); });
    const DeviceRequest request = Next();
    EXPECT_EQ(request.kind, DeviceRequestKind::Write);
    EXPECT_EQ(request.input, (Bytes{0x06, 0x03, 0x00, 0x09}));
    connection_->ReplyWritten(request.id, kErrorSuccess, 3);
    caller.join();
    EXPECT_EQ(status, kErrorSuccess);
    EXPECT_EQ(written, 3u);
}

TEST_F(DeviceDriverTest, OverlappedRequestStaysPendingUntilTheDriverAnswers) {
    Connect(kReadOverlapped);
    std::array<std::uint8_t, 64> buffer{};
    ManualResetEvent done(true);  // a pending request clears it
    DeviceOverlapped record(done);
    ASSERT_EQ(
        handle_->IoControlOverlapped(kReadCode, nullptr, 0, buffer.data(), buffer.size(), record),
        kDeviceStatusPending);
    EXPECT_FALSE(done.IsSet());
    std::size_t bytes = 0;
    EXPECT_EQ(handle_->GetOverlappedResult(record, false, bytes), kDeviceErrorIoIncomplete);

    const DeviceRequest request = Next();
    EXPECT_EQ(request.outputSize, 64u);
    EXPECT_FALSE(done.IsSet());
    connection_->Reply(request.id, kErrorSuccess, {0x07, 0x06, 0x01, 0xA5, 0xB3});
    ASSERT_TRUE(WaitFor(clock_, done, kBoundMs));
    EXPECT_EQ(handle_->GetOverlappedResult(record, false, bytes), kErrorSuccess);
    EXPECT_EQ(bytes, 5u);
    EXPECT_EQ(buffer[3], 0xA5);
}

TEST_F(DeviceDriverTest, WithoutOverlappedIoTheRequestFinishesBeforeTheCallReturns) {
    Connect(kReadShared);
    std::array<std::uint8_t, 4> buffer{};
    ManualResetEvent done;
    DeviceOverlapped record(done);
    std::uint32_t status = 1;
    std::thread caller([&] {
        status = handle_->IoControlOverlapped(kReadCode, nullptr, 0, buffer.data(), buffer.size(),
                                              record);
    });
    const DeviceRequest request = Next();
    connection_->Reply(request.id, kErrorSuccess, {0x01, 0x02});
    caller.join();
    EXPECT_EQ(status, kErrorSuccess);
    EXPECT_TRUE(done.IsSet());
    std::size_t bytes = 0;
    EXPECT_EQ(handle_->GetOverlappedResult(record, false, bytes), kErrorSuccess);
    EXPECT_EQ(bytes, 2u);
}

TEST_F(DeviceDriverTest, CloseCancelsOutstandingRequestsAndLeavesTheirBuffersAlone) {
    Connect(kReadOverlapped);
    std::array<std::uint8_t, 64> buffer;
    buffer.fill(0x55);
    ManualResetEvent done;
    DeviceOverlapped record(done);
    ASSERT_EQ(
        handle_->IoControlOverlapped(kReadCode, nullptr, 0, buffer.data(), buffer.size(), record),
        kDeviceStatusPending);
    const DeviceRequest pendingControl = Next();

    std::array<std::uint8_t, 64> readBuffer{};
    std::uint32_t readStatus = 0;
    std::thread reader([&] {
        std::size_t count = 0;
        readStatus = handle_->ReadFile(readBuffer.data(), readBuffer.size(), count);
    });
    const DeviceRequest pendingRead = Next();
    EXPECT_EQ(pendingRead.kind, DeviceRequestKind::Read);

    handle_->Close();
    reader.join();
    EXPECT_EQ(readStatus, kDeviceErrorOperationAborted);
    EXPECT_TRUE(done.IsSet());
    std::size_t bytes = 0;
    EXPECT_EQ(handle_->GetOverlappedResult(record, true, bytes), kDeviceErrorOperationAborted);
    EXPECT_EQ(Next().kind, DeviceRequestKind::Close);

    // A late answer finds nobody waiting and touches nothing.
    connection_->Reply(pendingControl.id, kErrorSuccess, {1, 2, 3});
    DeviceRequest none;
    EXPECT_EQ(connection_->Receive(none, kBoundMs), DeviceConnection::ReceiveStatus::Closed);
    for (const std::uint8_t byte : buffer) {
        ASSERT_EQ(byte, 0x55);
    }
    EXPECT_EQ(handle_->ReadFile(readBuffer.data(), 4, bytes), kErrorInvalidHandle);
}

TEST_F(DeviceDriverTest, LosingTheDriverFailsOutstandingAndLaterRequests) {
    Connect(kReadOverlapped);
    std::array<std::uint8_t, 64> buffer{};
    ManualResetEvent done;
    DeviceOverlapped record(done);
    ASSERT_EQ(
        handle_->IoControlOverlapped(kReadCode, nullptr, 0, buffer.data(), buffer.size(), record),
        kDeviceStatusPending);
    Next();
    connection_->Close();
    ASSERT_TRUE(WaitFor(clock_, done, kBoundMs));
    std::size_t bytes = 0;
    EXPECT_EQ(handle_->GetOverlappedResult(record, false, bytes), kDeviceErrorNotConnected);
    EXPECT_EQ(handle_->ReadFile(buffer.data(), buffer.size(), bytes), kDeviceErrorNotConnected);
}

// A peer that speaks raw bytes: a named-pipe end whose socket folder is the device folder.
class RawPeerTest : public DeviceDriverTest {
  protected:
    RawPeerTest() : rawRoot_(root_ / "raw"), rawPaths_(rawRoot_.string()) {
        std::filesystem::create_directories(root_ / "driver");
        std::filesystem::create_directories(rawRoot_);
        std::filesystem::create_directory_symlink(root_ / "driver", rawRoot_ / "pipe");
    }
    std::filesystem::path rawRoot_;
    LanePaths rawPaths_;
};

TEST_F(RawPeerTest, ARequestFrameOverTheLimitEndsTheConnectionOnTheDriversSide) {
    Listen();
    std::unique_ptr<PipeClient> raw;
    ASSERT_EQ(OpenPipeClient(rawPaths_, kDevice, raw), kErrorSuccess);
    std::unique_ptr<DeviceConnection> connection = server_->Accept(kBoundMs);
    ASSERT_NE(connection, nullptr);
    const std::uint8_t hugeHeader[] = {0xFF, 0xFF, 0xFF, 0x7F, 0x01};
    std::uint32_t error = 0;
    ASSERT_TRUE(raw->Write(hugeHeader, sizeof(hugeHeader), error));
    DeviceRequest request;
    EXPECT_EQ(connection->Receive(request, kBoundMs), DeviceConnection::ReceiveStatus::Closed);
}

TEST_F(RawPeerTest, AReplyFrameOverTheLimitCutsTheHandleOff) {
    std::unique_ptr<PipeServer> raw;
    ASSERT_EQ(ListenPipe(rawPaths_, kDevice, raw), kErrorSuccess);
    std::unique_ptr<DeviceHandle> handle;
    std::uint32_t opened = 1;
    std::thread opener([&] { opened = OpenDevice(paths_, kDevice, kReadShared, handle); });
    std::unique_ptr<PipeConnection> connection = raw->Accept(kBoundMs);
    ASSERT_NE(connection, nullptr);
    device::FrameReader reader(device::kMaxRequestBody);
    std::uint8_t chunk[64];
    device::FrameReader::Result result = device::FrameReader::Result::NeedMore;
    while (result == device::FrameReader::Result::NeedMore) {
        const long n = connection->Read(chunk, sizeof(chunk), kBoundMs);
        ASSERT_GT(n, 0);
        std::size_t used = 0;
        result = reader.Feed(chunk, static_cast<std::size_t>(n), used);
    }
    DeviceRequest hello;
    ASSERT_TRUE(device::DecodeRequest(reader.Body().data(), reader.Body().size(), hello));
    device::DeviceReply accept;
    accept.id = hello.id;
    const Bytes acceptFrame = device::EncodeReply(accept);
    ASSERT_TRUE(connection->Write(acceptFrame.data(), acceptFrame.size()));
    opener.join();
    ASSERT_EQ(opened, kErrorSuccess);

    const std::uint8_t hugeHeader[] = {0x00, 0x00, 0x10, 0x00};  // 1 MiB
    ASSERT_TRUE(connection->Write(hugeHeader, sizeof(hugeHeader)));
    std::uint8_t buffer[64];
    std::size_t count = 0;
    EXPECT_EQ(handle->ReadFile(buffer, sizeof(buffer), count), kDeviceErrorNotConnected);
}

// ---- Frames ----

Bytes ControlFrame() {
    DeviceRequest request;
    request.kind = DeviceRequestKind::Control;
    request.id = 7;
    request.controlCode = 0x22AB86;
    request.input = {0x01};
    request.outputSize = 5;
    request.output = {0x00, 0xA0, 0x01, 0x41, 0xE2};
    return device::EncodeRequest(request);
}

TEST(DeviceFrameTest, AFrameReadsTheSameInEverySplit) {
    const Bytes frame = ControlFrame();
    for (std::size_t split = 0; split <= frame.size(); ++split) {
        device::FrameReader reader(device::kMaxRequestBody);
        std::size_t used = 0;
        auto result = reader.Feed(frame.data(), split, used);
        EXPECT_EQ(used, split);
        if (split < frame.size()) {
            ASSERT_EQ(result, device::FrameReader::Result::NeedMore);
            result = reader.Feed(frame.data() + split, frame.size() - split, used);
        }
        ASSERT_EQ(result, device::FrameReader::Result::Frame) << "split " << split;
        DeviceRequest request;
        ASSERT_TRUE(device::DecodeRequest(reader.Body().data(), reader.Body().size(), request));
        EXPECT_EQ(request.id, 7u);
        EXPECT_EQ(request.controlCode, 0x22AB86u);
        EXPECT_EQ(request.input, Bytes{0x01});
        EXPECT_EQ(request.output, (Bytes{0x00, 0xA0, 0x01, 0x41, 0xE2}));
    }
}

TEST(DeviceFrameTest, TheReaderStopsAtTheEndOfEachFrame) {
    Bytes stream = ControlFrame();
    const Bytes second = ControlFrame();
    stream.insert(stream.end(), second.begin(), second.end());
    device::FrameReader reader(device::kMaxRequestBody);
    std::size_t used = 0;
    EXPECT_EQ(reader.Feed(stream.data(), stream.size(), used), device::FrameReader::Result::Frame);
    EXPECT_EQ(used, second.size());
    std::size_t rest = 0;
    EXPECT_EQ(reader.Feed(stream.data() + used, stream.size() - used, rest),
              device::FrameReader::Result::Frame);
    EXPECT_EQ(rest, second.size());
}

TEST(DeviceFrameTest, LengthsOutsideTheLimitsAreRefused) {
    for (const Bytes& header : {Bytes{0, 0, 0, 0}, Bytes{0xFF, 0xFF, 0xFF, 0xFF}}) {
        device::FrameReader reader(device::kMaxRequestBody);
        std::size_t used = 0;
        EXPECT_EQ(reader.Feed(header.data(), header.size(), used),
                  device::FrameReader::Result::Bad);
        EXPECT_TRUE(reader.Body().empty());  // nothing was allocated for the claimed length
        // Once broken, the stream stays broken.
        EXPECT_EQ(reader.Feed(ControlFrame().data(), 4, used), device::FrameReader::Result::Bad);
    }

    const Bytes frame = ControlFrame();
    const Bytes body(frame.begin() + 4, frame.end());
    DeviceRequest request;
    Bytes longer = body;
    longer.push_back(0);
    EXPECT_FALSE(device::DecodeRequest(longer.data(), longer.size(), request));
    EXPECT_FALSE(device::DecodeRequest(body.data(), body.size() - 1, request));
    Bytes hugeInput = body;
    hugeInput[9] = 0xFF;  // input length 0xFF.. far beyond the body and the limit
    hugeInput[10] = 0xFF;
    EXPECT_FALSE(device::DecodeRequest(hugeInput.data(), hugeInput.size(), request));
    Bytes unknownKind = body;
    unknownKind[0] = 9;
    EXPECT_FALSE(device::DecodeRequest(unknownKind.data(), unknownKind.size(), request));

    device::DeviceReply reply;
    reply.data.assign(kDeviceMaxTransferBytes + 1, 0);
    const Bytes replyFrame = device::EncodeReply(reply);
    device::DeviceReply decoded;
    EXPECT_FALSE(device::DecodeReply(replyFrame.data() + 4, replyFrame.size() - 4, decoded));
}

}  // namespace
}  // namespace lane::platform
