// Tests of lanesim's security-module face against the programs' side of the driver stand-in.
#include "sim/ModuleFace.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <thread>

#include "common/FakeClock.h"
#include "platform/SystemError.h"
#include "sim/Player.h"
#include "sim/Record.h"
#include "tests/sim/ModuleTestSupport.h"
#include "tests/sim/SimTestSupport.h"

namespace lane::sim {
namespace {

using test::Bytes;
using test::OpenModuleDevice;
using test::OverlappedRead;
using test::WithChecksum;
constexpr std::uint32_t kRead = platform::kDeviceGenericRead;
constexpr std::uint32_t kWrite = platform::kDeviceGenericWrite;

class ModuleFaceTest : public ::testing::Test {
  protected:
    ModuleFaceTest() : paths_(root_.Path()) {
        EXPECT_EQ(record_.Open(root_.File("record.txt")), 0);
    }

    void Serve(const ModuleIdentity& identity = ModuleIdentity{}) {
        std::unique_ptr<platform::DeviceServer> usb;
        std::unique_ptr<platform::DeviceServer> board;
        ASSERT_EQ(platform::ListenDevice(paths_, kModuleUsbDeviceName, usb), 0u);
        ASSERT_EQ(platform::ListenDevice(paths_, kModuleBoardDeviceName, board), 0u);
        face_ = std::make_unique<ModuleFace>(std::move(usb), std::move(board), record_, identity);
    }

    // The monitor's two handles that matter: serial-data writes and the remote-monitor read.
    void OpenMonitorHandles() {
        writer_ = OpenModuleDevice(paths_, "\\\\.\\SecModuleDevice0", kWrite);
        monitor_ = OpenModuleDevice(paths_, "\\\\.\\SecModuleDevice0", kRead,
                                    platform::kDeviceFlagOverlapped);
    }

    void Write(platform::DeviceHandle& handle, const Bytes& bytes) {
        std::size_t written = 0;
        ASSERT_EQ(handle.WriteFile(bytes.data(), bytes.size(), written), 0u);
        EXPECT_EQ(written, bytes.size());
    }

    RecordContents Record() {
        RecordContents contents;
        int badLine = 0;
        EXPECT_EQ(ReadRecord(test::ReadText(root_.File("record.txt")), contents, badLine),
                  kRecordOk);
        return contents;
    }

    test::TemporaryRoot root_;
    platform::LanePaths paths_;
    RecordWriter record_;
    std::unique_ptr<ModuleFace> face_;
    std::unique_ptr<platform::DeviceHandle> writer_;
    std::unique_ptr<platform::DeviceHandle> monitor_;
    FakeClock clock_;
    ManualResetEvent stop_;
};

TEST_F(ModuleFaceTest, TheStreamWaitsForTheReadsInsteadOfLettingPacketsGo) {
    Serve();
    OpenMonitorHandles();
    {
        OverlappedRead read(*monitor_, kIoctlUsbReadRemoteMonitorPort);
        Write(*writer_, {0x07, 0x02, 0x00, 0x09});
        EXPECT_EQ(read.Result(), (Bytes{0x07, 0x02, 0x00, 0x09}));
    }
    EXPECT_EQ(face_->AwaitMonitorRoom(clock_, stop_, 0), ModuleFace::kReady);
    for (std::size_t i = 0; i < kMaxQueuedModulePackets / 2; ++i) {
        face_->SendMonitorStream({0xA3, static_cast<std::uint8_t>(i & 0x0F)});
    }
    EXPECT_EQ(face_->AwaitMonitorRoom(clock_, stop_, 0), ModuleFace::kTimedOut);
    // A stream step that waits goes on once a read has taken a packet, and the first packet
    // queued is still the first read.
    ModuleFace::AwaitResult result = ModuleFace::kTimedOut;
    std::thread step([&] { result = face_->AwaitMonitorRoom(clock_, stop_, kInfiniteMs); });
    {
        OverlappedRead read(*monitor_, kIoctlUsbReadRemoteMonitorPort);
        EXPECT_EQ(read.Result(), WithChecksum({0x07, 0x06, 0x02, 0xA3, 0x00}));
    }
    step.join();
    EXPECT_EQ(result, ModuleFace::kReady);
}

TEST_F(ModuleFaceTest, AcknowledgesPortSevenAndHoldsTheRemoteMonitorReadForData) {
    Serve();
    EXPECT_FALSE(face_->InUse());
    EXPECT_TRUE(face_->AllClosed().IsSignalled(0));
    OpenMonitorHandles();
    EXPECT_EQ(face_->AwaitHandle(clock_, stop_, 0), ModuleFace::kReady);
    EXPECT_TRUE(face_->InUse());
    EXPECT_FALSE(face_->AllClosed().IsSignalled(0));
    {
        OverlappedRead read(*monitor_, kIoctlUsbReadRemoteMonitorPort);
        ASSERT_EQ(read.Issued(), platform::kDeviceStatusPending);
        EXPECT_FALSE(read.Finished());
        EXPECT_EQ(face_->AwaitPortOpen(7, clock_, stop_, 0), ModuleFace::kTimedOut);
        Write(*writer_, {0x07, 0x02, 0x00, 0x09});
        EXPECT_EQ(read.Result(), (Bytes{0x07, 0x02, 0x00, 0x09}));
    }
    EXPECT_EQ(face_->AwaitPortOpen(7, clock_, stop_, 0), ModuleFace::kReady);
    {
        OverlappedRead read(*monitor_, kIoctlUsbReadRemoteMonitorPort);
        face_->SendMonitorStream({0xA3, 0x01});
        EXPECT_EQ(read.Result(), (Bytes{0x07, 0x06, 0x02, 0xA3, 0x01, 0xB3}));
    }
    // Packets that come before the read wait for it, in order.
    face_->SendMonitorStream({0xA2, 0x02});
    face_->SendMonitorStream({0xA7, 0x02});
    {
        OverlappedRead read(*monitor_, kIoctlUsbReadRemoteMonitorPort);
        EXPECT_EQ(read.Result(), WithChecksum({0x07, 0x06, 0x02, 0xA2, 0x02}));
    }
    {
        OverlappedRead read(*monitor_, kIoctlUsbReadRemoteMonitorPort);
        EXPECT_EQ(read.Result(), WithChecksum({0x07, 0x06, 0x02, 0xA7, 0x02}));
    }
    {
        OverlappedRead read(*monitor_, kIoctlUsbReadRemoteMonitorPort);
        Write(*writer_, {0x07, 0x03, 0x00, 0x0A});
        EXPECT_EQ(read.Result(), (Bytes{0x07, 0x03, 0x00, 0x0A}));
    }
    EXPECT_FALSE(face_->PortOpen(7));
    EXPECT_TRUE(face_->TakeMatch({0x07, 0x02, 0x00, 0x09}));
    EXPECT_TRUE(face_->TakeMatch({0x07, 0x03, 0x00, 0x0A}));
    EXPECT_FALSE(face_->TakeMatch({0x07, 0x02, 0x00, 0x09}));  // searched after the last match

    writer_->Close();
    monitor_->Close();
    RealClock realClock;
    ASSERT_TRUE(WaitFor(realClock, face_->AllClosed(), test::kBoundMs));
    face_.reset();
    const RecordContents record = Record();
    ASSERT_EQ(record.modulePackets.size(), 2u);
    EXPECT_EQ(record.modulePackets[0].handle, 1);
    EXPECT_EQ(record.modulePackets[0].bytes, (Bytes{0x07, 0x02, 0x00, 0x09}));
    EXPECT_EQ(record.modulePackets[1].bytes, (Bytes{0x07, 0x03, 0x00, 0x0A}));
    const std::string text = test::ReadText(root_.File("record.txt"));
    EXPECT_NE(
        text.find("# D1 opened SecModuleDevice0 (access 40000000, share 3, flags 00000000)\n"),
        std::string::npos);
    EXPECT_NE(
        text.find("# D2 opened SecModuleDevice0 (access 80000000, share 3, flags 40000000)\n"),
        std::string::npos);
    EXPECT_NE(text.find("D1 07 02 00 09\n# D1 port 7 opened\n"), std::string::npos);
    EXPECT_NE(text.find("# D1 closed by the program\n"), std::string::npos);
}

TEST_F(ModuleFaceTest, AnswersTheServicePortOnTheSerialRead) {
    ModuleIdentity identity;
    identity.version = 464;
    identity.date = "07042021";
    identity.model = "750";
    Serve(identity);
    writer_ = OpenModuleDevice(paths_, kModuleUsbDeviceName, kWrite);
    auto reader = OpenModuleDevice(paths_, kModuleUsbDeviceName, kRead);
    Write(*writer_, WithChecksum({0x06, 0x02, 0x00}));  // open port 6: no packet back
    Write(*writer_, WithChecksum({0x06, 0x06, 0x02, 'Z', '2'}));
    Write(*writer_, WithChecksum({0x06, 0x06, 0x02, 'Z', '5'}));
    std::uint8_t buffer[64];
    std::size_t count = 0;
    ASSERT_EQ(reader->ReadFile(buffer, sizeof buffer, count), 0u);
    const std::string version = "z2046407042021";
    Bytes expected{0x06, 0x06, static_cast<std::uint8_t>(version.size())};
    expected.insert(expected.end(), version.begin(), version.end());
    EXPECT_EQ(Bytes(buffer, buffer + count), WithChecksum(expected));
    ASSERT_EQ(reader->ReadFile(buffer, sizeof buffer, count), 0u);
    EXPECT_EQ(Bytes(buffer, buffer + count),
              WithChecksum({0x06, 0x06, 0x05, 'z', '5', '7', '5', '0'}));
    EXPECT_TRUE(face_->PortOpen(6));
}

TEST_F(ModuleFaceTest, EchoesTheLoopbackOnTheSystemPort) {
    Serve();
    auto writer = OpenModuleDevice(paths_, kModuleUsbDeviceName, kWrite);
    auto reader = OpenModuleDevice(paths_, kModuleUsbDeviceName, kRead);
    Bytes packet = WithChecksum({0x00, 0xA0, 0x05, 'H', 'E', 'L', 'L', 'O'});
    std::size_t returned = 0;
    ASSERT_EQ(writer->IoControl(kIoctlUsbWriteSystemPort, nullptr, 0, packet.data(), packet.size(),
                                returned),
              0u);
    std::uint8_t buffer[64] = {};
    ASSERT_EQ(
        reader->IoControl(kIoctlUsbReadSystemPort, nullptr, 0, buffer, sizeof buffer, returned),
        0u);
    EXPECT_EQ(Bytes(buffer, buffer + returned), packet);
    EXPECT_NE(writer->IoControl(0x222000, nullptr, 0, buffer, sizeof buffer, returned), 0u);
}

TEST_F(ModuleFaceTest, ServesTheInterfaceBoardInItsOwnForm) {
    Serve();
    platform::DeviceOpenMode mode;
    mode.desiredAccess = kRead | kWrite;
    std::unique_ptr<platform::DeviceHandle> board;
    ASSERT_EQ(platform::OpenDevice(paths_, "\\\\.\\tmcb", mode, board), 0u);
    const Bytes request{0x06, 0x06, 0x02, 'Z', '4'};
    std::size_t returned = 0;
    ASSERT_EQ(board->IoControl(kIoctlBoardWritePacket, request.data(), request.size(), nullptr, 0,
                               returned),
              0u);
    std::uint8_t buffer[255] = {};
    ASSERT_EQ(board->IoControl(kIoctlBoardReadPacket, nullptr, 0, buffer, sizeof buffer, returned),
              0u);
    EXPECT_EQ(Bytes(buffer, buffer + returned),
              (Bytes{0x06, 0x06, 0x07, 'z', '4', '0', '5', 'A', '3', 'C'}));
    board->Close();
    face_.reset();
    const RecordContents record = Record();
    ASSERT_EQ(record.modulePackets.size(), 1u);
    EXPECT_EQ(record.modulePackets[0].bytes, request);
    EXPECT_NE(test::ReadText(root_.File("record.txt")).find("# D1 opened TMCB"), std::string::npos);
}

TEST_F(ModuleFaceTest, FaultsSpoilWhatTheModuleSends) {
    Serve();
    OpenMonitorHandles();
    ModuleFault noAnswer;
    noAnswer.kind = FaultKind::NoAnswer;
    noAnswer.port = 7;
    face_->ArmFault(noAnswer);
    {
        // The open acknowledgement is not sent: the read gets the stream's first packet.
        OverlappedRead read(*monitor_, kIoctlUsbReadRemoteMonitorPort);
        Write(*writer_, {0x07, 0x02, 0x00, 0x09});
        face_->SendMonitorStream({0xA3, 0x01});
        EXPECT_EQ(read.Result(), (Bytes{0x07, 0x06, 0x02, 0xA3, 0x01, 0xB3}));
    }
    ModuleFault tooLong;
    tooLong.kind = FaultKind::Long;
    tooLong.value = 70;
    face_->ArmFault(tooLong);
    {
        // More than the 64 bytes the read asked for: the read fails with "more data" (234).
        OverlappedRead read(*monitor_, kIoctlUsbReadRemoteMonitorPort);
        face_->SendMonitorStream({0xA3, 0x01});
        std::uint32_t error = 0;
        EXPECT_TRUE(read.Result(&error).empty());
        EXPECT_EQ(error, platform::kErrorMoreData);
    }
    ModuleFault length;
    length.kind = FaultKind::Length;
    length.value = 60;
    face_->ArmFault(length);
    {
        OverlappedRead read(*monitor_, kIoctlUsbReadRemoteMonitorPort);
        face_->SendMonitorStream({0xA6, 0x01});
        EXPECT_EQ(read.Result(), (Bytes{0x07, 0x06, 0x3C, 0xA6, 0x01, 0xB6}));
    }
}

TEST_F(ModuleFaceTest, AWaitEndsOnStop) {
    Serve();
    stop_.Set();
    EXPECT_EQ(face_->AwaitHandle(clock_, stop_, kInfiniteMs), ModuleFace::kStopped);
    EXPECT_EQ(face_->AwaitPortOpen(7, clock_, stop_, kInfiniteMs), ModuleFace::kStopped);
}

// The player on the module face: the monitor's start-up, the stream once port 7 is open, the
// close at its stop, then the end when the monitor's handles are closed.
TEST_F(ModuleFaceTest, PlayerPlaysTheStreamOncePortSevenIsOpen) {
    Serve();
    Scenario scenario;
    ScenarioError error;
    ASSERT_EQ(ParseScenario("module connect within 1000\n"
                            "monitor A3 01 A2 02\n"
                            "fault dc 9 port 7\n"
                            "monitor A6 01\n"
                            "module expect 07 03 00 0A within 1000\n",
                            scenario, error),
              kScenarioOk)
        << error.message;
    ASSERT_TRUE(scenario.usesModule);
    ASSERT_FALSE(scenario.usesPipe);
    Player player(scenario, Faces{nullptr, face_.get()}, clock_, stop_, 1.0);
    ManualResetEvent finished;
    int result = -1;
    std::string message;
    std::thread playing([&] {
        result = player.Run(message);
        finished.Set();
    });
    OpenMonitorHandles();
    {
        OverlappedRead read(*monitor_, kIoctlUsbReadRemoteMonitorPort);
        Write(*writer_, {0x07, 0x02, 0x00, 0x09});
        EXPECT_EQ(read.Result(), (Bytes{0x07, 0x02, 0x00, 0x09}));
    }
    {
        OverlappedRead read(*monitor_, kIoctlUsbReadRemoteMonitorPort);
        EXPECT_EQ(read.Result(), WithChecksum({0x07, 0x06, 0x04, 0xA3, 0x01, 0xA2, 0x02}));
    }
    {
        OverlappedRead read(*monitor_, kIoctlUsbReadRemoteMonitorPort);
        EXPECT_EQ(read.Result(), WithChecksum({0x07, 0x09, 0x02, 0xA6, 0x01}));
    }
    Write(*writer_, {0x07, 0x03, 0x00, 0x0A});
    RealClock realClock;
    EXPECT_FALSE(finished.IsSet());  // held while the handles are open
    writer_->Close();
    monitor_->Close();
    ASSERT_TRUE(WaitFor(realClock, finished, test::kBoundMs));
    playing.join();
    EXPECT_EQ(result, kPlayDone) << message;
}

TEST_F(ModuleFaceTest, AModuleStepWithoutTheModuleFaceIsRefused) {
    Scenario scenario;
    ScenarioError error;
    ASSERT_EQ(ParseScenario("monitor A3 01\n", scenario, error), kScenarioOk);
    Player player(scenario, Faces{}, clock_, stop_, 1.0);
    std::string message;
    EXPECT_EQ(player.Run(message), kPlayNoFace);
    EXPECT_EQ(message, "line 1: the security module is not served");
}

}  // namespace
}  // namespace lane::sim
