// Tests of the interface board's transport against a fake "\\.\TMCB": open mode, packets
// without checksum, refused addresses and commands, what the reader keeps, close and failures.
#include "link/tmcb_standalone.h"

#include <gtest/gtest.h>

#include <future>
#include <string>

#include "common/RealClock.h"
#include "tests/link/LinkFixture.h"

namespace lane::link::test {
namespace {

class TmcbTest : public LinkFixture {
  protected:
    // A utility link on the board with its driver open and the reader started.
    CSecurityModuleLink& StartBoard() {
        ServeTmcb();
        CSecurityModuleLink& link = MakeLink(LinkRole::Utility, kBoardTypeTmcb);
        EXPECT_EQ(link.StartUpSecurityModule(), 0);
        // A reader that found the driver not ready yet waits for it in half-second steps.
        EXPECT_TRUE(AdvanceUntil(
            [&] {
                return tmcbDriver_->AwaitRequests(DeviceRequestKind::Control, 1,
                                                  TMCB_IOCTL_READ_PACKET, 20);
            },
            kTmcbNotReadyPauseMs));
        return link;
    }

    std::vector<Bytes> BoardWrites() const {
        return Sent(*tmcbDriver_, DeviceRequestKind::Control, TMCB_IOCTL_WRITE_PACKET);
    }

    RealClock realClock_;
};

TEST_F(TmcbTest, StartUpOpensTheBoardExclusivelyWithOverlappedIo) {
    CSecurityModuleLink& link = StartBoard();
    EXPECT_TRUE(
        reporter_.Find("TMCB Security Module Configued -- Starting up TMCB Security Module.."));
    const auto hellos = tmcbDriver_->Requests(DeviceRequestKind::Hello);
    ASSERT_EQ(hellos.size(), 1u);
    EXPECT_EQ(hellos[0].mode.desiredAccess,
              platform::kDeviceGenericRead | platform::kDeviceGenericWrite);
    EXPECT_EQ(hellos[0].mode.shareMode, 0u);
    EXPECT_EQ(hellos[0].mode.flags, platform::kDeviceFlagOverlapped);
    EXPECT_EQ(link.Tmcb().DriverReady(), 0);
    EXPECT_EQ(link.Tmcb().Open(), 108);
    EXPECT_EQ(reporter_.Find("Driver Already Opened...")->level, kLinkWarning);
    const auto read = tmcbDriver_->Requests(DeviceRequestKind::Control, TMCB_IOCTL_READ_PACKET)[0];
    EXPECT_EQ(read.outputSize, 255u);
}

TEST_F(TmcbTest, PacketsGoOutWithoutChecksumAndOnlyForBoardCommands) {
    CSecurityModuleLink& link = StartBoard();
    EXPECT_EQ(link.FormatAndSendDataToSecurityModule(5, TMCB_DC_PORT_DATA, "abc"), 0);
    EXPECT_EQ(link.FormatAndSendDataToSecurityModule(6, TMCB_DC_CLOSE_PORT, ""), 0);
    EXPECT_EQ(BoardWrites(),
              (std::vector<Bytes>{{0x05, 0x06, 0x03, 'a', 'b', 'c'}, {0x06, 0x03, 0x00}}));
    EXPECT_TRUE(reporter_.Find("Waiting on Pending I/O Write"));

    LinkPacket loopback;
    loopback.DC = TMCB_DC_SYSTEM_LOOPBACK;
    EXPECT_EQ(link.Tmcb().TMCB_WritePacketToSecurityModule(loopback), 394);
    EXPECT_TRUE(
        reporter_.Find("ERROR: Invalid Device Command Sent to WritePacketToSecurityModule( 160 )"));
    EXPECT_EQ(link.FormatAndSendDataToSecurityModule(0, TMCB_DC_SYSTEM_LOOPBACK, "HELLO"), 623);
    EXPECT_EQ(reporter_.Count("ERROR: During Call to TMCB_WritePacketToSecurityModule() Rtn: 394"),
              2);
    LinkPacket remote;
    remote.DA = kRemoteMonitorPort;
    remote.DC = TMCB_DC_OPEN_PORT;
    EXPECT_EQ(link.Tmcb().TMCB_WritePacketToSecurityModule(remote), 372);
    EXPECT_TRUE(
        reporter_.Find("ERROR: Invalid Device Address Sent to WritePacketToSecurityModule( 7 )"));
    EXPECT_EQ(BoardWrites().size(), 2u);

    tmcbDriver_->SetWriteResult(31);
    EXPECT_EQ(link.Tmcb().TMCB_WritePacketToSecurityModule(remote = LinkPacket{5, 2, 0, {}}), 458);
    EXPECT_TRUE(reporter_.Find("GetOverlappedResult Rtn :0, GLE: 31"));
}

TEST_F(TmcbTest, ReaderQueuesPortDataFromAnyPortAndDropsTheRest) {
    CSecurityModuleLink& link = StartBoard();
    const int waitsBefore = clock_.WaitsBegun();
    tmcbDriver_->QueueControlRead(TMCB_IOCTL_READ_PACKET, {0x00, 0x0D, 0x00});
    // The dropped packet costs a second before the next read.
    ASSERT_TRUE(clock_.AwaitWaitsBegun(waitsBefore + 1));
    EXPECT_FALSE(
        tmcbDriver_->AwaitRequests(DeviceRequestKind::Control, 2, TMCB_IOCTL_READ_PACKET, 20));
    ASSERT_TRUE(AdvanceUntil(
        [&] {
            return tmcbDriver_->AwaitRequests(DeviceRequestKind::Control, 2, TMCB_IOCTL_READ_PACKET,
                                              20);
        },
        kTmcbDropPauseMs));
    tmcbDriver_->QueueControlRead(TMCB_IOCTL_READ_PACKET, {0x00, 0x06, 0x01, 0x41});
    ASSERT_TRUE(tmcbDriver_->AwaitRequests(DeviceRequestKind::Control, 3, TMCB_IOCTL_READ_PACKET));
    LinkPacket packet;
    ASSERT_TRUE(link.ReadPacketFromSecurityModule(packet, 0));
    EXPECT_EQ(packet.DA, 0);
    EXPECT_EQ(packet.DC, TMCB_DC_PORT_DATA);
    EXPECT_EQ(packet.data[0], 0x41);
    EXPECT_FALSE(link.ReadPacketFromSecurityModule(packet, 0));
}

TEST_F(TmcbTest, ShutDownClosesEveryPortThenTheDeviceAndTheReaderEnds) {
    CSecurityModuleLink& link = StartBoard();
    auto shutDown = std::async(std::launch::async, [&] { return link.ShutDownSecurityModule(); });
    ASSERT_TRUE(tmcbDriver_->AwaitRequests(DeviceRequestKind::Control, 6, TMCB_IOCTL_WRITE_PACKET));
    EXPECT_EQ(
        BoardWrites(),
        (std::vector<Bytes>{{1, 3, 0}, {2, 3, 0}, {3, 3, 0}, {4, 3, 0}, {5, 3, 0}, {6, 3, 0}}));
    ASSERT_TRUE(AdvanceUntil(
        [&] {
            return shutDown.wait_for(std::chrono::milliseconds(20)) == std::future_status::ready;
        },
        kTmcbClosePortsPauseMs));
    EXPECT_EQ(shutDown.get(), 0);
    ASSERT_TRUE(WaitFor(realClock_, link.Tmcb().ReaderEnded(), kBoundMs));
    EXPECT_EQ(link.Tmcb().ReaderResult(), 576);  // its pending read was cancelled by the close
    EXPECT_TRUE(tmcbDriver_->AwaitRequests(DeviceRequestKind::Close, 1));
    // The driver stays ready after the close; the device does not.
    EXPECT_EQ(link.Tmcb().DriverReady(), 0);
    LinkPacket packet;
    packet.DA = 5;
    packet.DC = TMCB_DC_OPEN_PORT;
    EXPECT_EQ(link.Tmcb().TMCB_WritePacketToSecurityModule(packet), 336);
    std::size_t count = 0;
    EXPECT_EQ(link.Tmcb().TMCB_ReadPacketFromSecurityModule(packet, count), 584);
}

TEST_F(TmcbTest, FailuresBeforeTheBoardIsOpen) {
    CSecurityModuleLink& link = MakeLink(LinkRole::Utility, kBoardTypeTmcb);
    EXPECT_EQ(link.Tmcb().DriverReady(), 88);
    EXPECT_TRUE(reporter_.Find("TMCB Driver Not Initialized"));
    LinkPacket packet;
    std::size_t count = 0;
    EXPECT_EQ(link.Tmcb().TMCB_ReadPacketFromSecurityModule(packet, count), 508);
    EXPECT_EQ(reporter_.Find("Driver Not Open.")->level, kLinkWarning);

    auto shutDown = std::async(std::launch::async, [&] { return link.ShutDownSecurityModule(); });
    AdvanceAfterWait(1, kTmcbClosePortsPauseMs);
    ASSERT_TRUE(Finished(shutDown));
    EXPECT_EQ(shutDown.get(), 230);
    EXPECT_EQ(reporter_.Count("TMCB Driver Not Open..."), 6);
    EXPECT_TRUE(reporter_.Find("Error Closing Down the TMCB Security Module"));

    EXPECT_EQ(link.StartUpSecurityModule(), 192);
    EXPECT_TRUE(reporter_.Find("ERROR opening device:(2) returned from CreateFile"));
    EXPECT_TRUE(reporter_.Find("Error Opening TMCB Device Driver"));
}

}  // namespace
}  // namespace lane::link::test
