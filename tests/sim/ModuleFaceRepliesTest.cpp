// Tests of the module face's answers as the utility meets them on the driver stand-in: the
// identity on the board, the cash port on both devices, late answers and unrelated packets.
#include <gtest/gtest.h>

#include <string>

#include "sim/ModuleFace.h"
#include "tests/sim/ModuleTestSupport.h"

namespace lane::sim {
namespace {

using test::Bytes;
using test::OpenModuleDevice;
using test::OverlappedRead;
using test::WithChecksum;
constexpr std::uint32_t kRead = platform::kDeviceGenericRead;
constexpr std::uint32_t kWrite = platform::kDeviceGenericWrite;

Bytes BoardPacket(std::uint8_t port, const std::string& data) {
    Bytes packet{port, 0x06, static_cast<std::uint8_t>(data.size())};
    for (const char c : data) {
        packet.push_back(static_cast<std::uint8_t>(c));
    }
    return packet;
}

class ModuleRepliesTest : public test::ModuleFaceHarness {};

TEST_F(ModuleRepliesTest, TheBoardAnswersTheIdentityOfAThreeHundredModule) {
    ModuleIdentity identity;
    identity.version = 353;
    identity.date = "02282014";
    identity.checksum = "0F0E";
    identity.model = "74A";
    Serve(identity);
    auto board = OpenBoard();
    BoardWrite(*board, BoardPacket(6, "Z2"));
    BoardWrite(*board, BoardPacket(6, "Z4"));
    BoardWrite(*board, BoardPacket(6, "Z5"));
    EXPECT_EQ(BoardRead(*board), BoardPacket(6, "z2035302282014"));
    EXPECT_EQ(BoardRead(*board), BoardPacket(6, "z400F0E"));
    EXPECT_EQ(BoardRead(*board), BoardPacket(6, "z574A"));
}

TEST_F(ModuleRepliesTest, TheCashPortAnswersOnBothDevicesWithOneSequence) {
    ModuleIdentity identity;
    identity.ccuVersion = 130;
    identity.ccuDate = "07042021";
    Serve(identity);
    // The board: sync, then the CCU version, each acknowledged as the utility does.
    auto board = OpenBoard();
    BoardWrite(*board, BoardPacket(5, "S4"));
    EXPECT_EQ(BoardRead(*board), BoardPacket(5, "\x01s4"));
    BoardWrite(*board, BoardPacket(5, std::string("S0\x01")));
    BoardWrite(*board, BoardPacket(5, "S2"));
    EXPECT_EQ(BoardRead(*board), BoardPacket(5, "\x02s2013007042021"));
    BoardWrite(*board, BoardPacket(5, std::string("S0\x02")));
    // The USB module: port 5 replies come on the serial-data read, with their checksum.
    auto writer = OpenModuleDevice(paths_, kModuleUsbDeviceName, kWrite);
    auto reader = OpenModuleDevice(paths_, kModuleUsbDeviceName, kRead);
    Write(*writer, WithChecksum(BoardPacket(5, "B1")));
    const Bytes status = SerialRead(*reader);
    ASSERT_EQ(status.size(), 13u);
    EXPECT_EQ(status[3], 3);  // the acknowledgements did not count
    EXPECT_EQ(status[4], 'b');
    EXPECT_EQ(status[5], '1');
    EXPECT_EQ(status[10], 0x40);
    EXPECT_EQ(status, WithChecksum(Bytes(status.begin(), status.end() - 1)));
    Write(*writer, WithChecksum(BoardPacket(5, "S4")));
    EXPECT_EQ(SerialRead(*reader), WithChecksum(BoardPacket(5, "\x04s4")));
}

TEST_F(ModuleRepliesTest, NoisePacketsComeBeforeTheReplyInOrder) {
    ModuleFaceSetup setup;
    setup.replies.noise = 3;
    Serve(ModuleIdentity{}, setup);
    auto board = OpenBoard();
    BoardWrite(*board, BoardPacket(6, "Z5"));
    for (int i = 0; i < 3; ++i) {
        const Bytes noise = BoardRead(*board);
        ASSERT_GE(noise.size(), 4u);
        EXPECT_EQ(noise[0], 6);
        EXPECT_EQ(noise[1], 6);
        EXPECT_NE(noise[3], 'z') << i;
    }
    EXPECT_EQ(BoardRead(*board), BoardPacket(6, "z5750"));
}

// Answers wait for the delay on lanesim's clock; the module keeps taking packets meanwhile.
TEST_F(ModuleRepliesTest, LateAnswersComeAfterTheDelayOnTheClock) {
    ModuleFaceSetup setup;
    setup.replies.delayMs = 1500;
    setup.clock = &clock_;
    Serve(ModuleIdentity{}, setup);
    auto writer = OpenModuleDevice(paths_, kModuleUsbDeviceName, kWrite);
    auto monitor =
        OpenModuleDevice(paths_, kModuleUsbDeviceName, kRead, platform::kDeviceFlagOverlapped);
    auto reader = OpenModuleDevice(paths_, kModuleUsbDeviceName, kRead);
    OverlappedRead read(*monitor, kIoctlUsbReadRemoteMonitorPort);
    std::uint64_t begun = clock_.WaitsBegun();
    Write(*writer, {0x07, 0x02, 0x00, 0x09});
    ASSERT_TRUE(clock_.AwaitWaitAfter(begun));
    EXPECT_EQ(clock_.EarliestDeadlineMs(), 1500);
    // Another request while the first answer waits: taken at once, answered after its own
    // delay.
    clock_.AdvanceMs(1000);
    begun = clock_.WaitsBegun();
    Write(*writer, WithChecksum(BoardPacket(6, "Z5")));
    ASSERT_TRUE(clock_.AwaitWaitAfter(begun));
    EXPECT_FALSE(read.Finished());
    EXPECT_EQ(clock_.EarliestDeadlineMs(), 1500);
    begun = clock_.WaitsBegun();
    clock_.AdvanceMs(500);
    EXPECT_EQ(read.Result(), (Bytes{0x07, 0x02, 0x00, 0x09}));
    ASSERT_TRUE(clock_.AwaitWaitAfter(begun));
    EXPECT_EQ(clock_.EarliestDeadlineMs(), 2500);
    clock_.AdvanceMs(1000);
    EXPECT_EQ(SerialRead(*reader), WithChecksum(BoardPacket(6, "z5750")));
}

}  // namespace
}  // namespace lane::sim
