// Tests of the dispatcher's receive-queue reads (wait counts on the clock) and of the monitor's
// link: start-up, the remote-monitor read that stays pending, shut-down.
#include "link/securitymodule.h"

#include <gtest/gtest.h>

#include <future>
#include <string>

#include "tests/link/LinkFixture.h"

namespace lane::link::test {
namespace {

constexpr std::uint32_t kRemoteRead = SECMODULE_IOCTL_USB_READ_REMOTE_MONITOR_PORT;

class ReadPacketTest : public LinkFixture {
  protected:
    std::future<bool> ReadAsync(int waitCount) {
        return std::async(std::launch::async, [this, waitCount] {
            return link_->ReadPacketFromSecurityModule(packet_, waitCount);
        });
    }
    LinkPacket packet_;
};

TEST_F(ReadPacketTest, WaitCountZeroLooksOnceWithoutWaiting) {
    CSecurityModuleLink& link = MakeLink(LinkRole::Utility);
    EXPECT_FALSE(link.ReadPacketFromSecurityModule(packet_, 0));
    EXPECT_EQ(clock_.WaitsBegun(), 0);
    const auto start = reporter_.Find("ReadPacketFromSecurityModule() - WaitCount = 0");
    ASSERT_TRUE(start.has_value());
    EXPECT_EQ(start->level, kLinkDetail);
    EXPECT_TRUE(start->console);
    EXPECT_EQ(reporter_.Find("** No Data Received before Wait Count Expired **")->level,
              kLinkInformation);
}

TEST_F(ReadPacketTest, WaitCountThreeLooksThreeTimesOverThreeHundredMilliseconds) {
    MakeLink(LinkRole::Utility);
    auto result = ReadAsync(3);
    AdvanceAfterWait(1, kReadPacketWaitStepMs);
    AdvanceAfterWait(2, kReadPacketWaitStepMs);
    AdvanceAfterWait(3, kReadPacketWaitStepMs - 1);
    EXPECT_EQ(result.wait_for(std::chrono::milliseconds(20)), std::future_status::timeout);
    clock_.AdvanceMs(1);
    ASSERT_TRUE(Finished(result));
    EXPECT_FALSE(result.get());
    EXPECT_EQ(clock_.TickMs(), 300);
    EXPECT_EQ(clock_.WaitsBegun(), 3);
}

TEST_F(ReadPacketTest, APacketQueuedDuringTheWaitIsTakenAtTheNextLookOldestFirst) {
    CSecurityModuleLink& link = MakeLink(LinkRole::Utility);
    auto result = ReadAsync(5);
    ASSERT_TRUE(clock_.AwaitWaitsBegun(1));
    LinkPacket first;
    first.DA = 6;
    first.DC = TMCB_DC_PORT_DATA;
    first.DL = 1;
    first.data[0] = 'V';
    LinkPacket second = first;
    second.data[0] = 'W';
    link.Queue().Add(first);
    link.Queue().Add(second);
    clock_.AdvanceMs(kReadPacketWaitStepMs);
    ASSERT_TRUE(Finished(result));
    EXPECT_TRUE(result.get());
    EXPECT_EQ(clock_.TickMs(), 100);
    EXPECT_EQ(packet_.data[0], 'V');
    EXPECT_TRUE(link.ReadPacketFromSecurityModule(packet_, 0));
    EXPECT_EQ(packet_.data[0], 'W');
}

TEST_F(ReadPacketTest, ThePacketOfTheLastWaitIsLeftForTheNextRead) {
    CSecurityModuleLink& link = MakeLink(LinkRole::Utility);
    auto result = ReadAsync(1);
    ASSERT_TRUE(clock_.AwaitWaitsBegun(1));
    LinkPacket late;
    late.DA = 5;
    link.Queue().Add(late);
    clock_.AdvanceMs(kReadPacketWaitStepMs);
    ASSERT_TRUE(Finished(result));
    EXPECT_FALSE(result.get());
    EXPECT_EQ(link.Queue().Size(), 1u);
}

class MonitorLinkTest : public LinkFixture {
  protected:
    std::future<std::size_t> RemoteReadAsync() {
        return std::async(std::launch::async, [this] {
            std::size_t count = 99;
            return link_->RemoteMonitorPortRead(buffer_, count) == 0 ? count : 999u;
        });
    }
    UsbWirePacket buffer_{};
};

TEST_F(MonitorLinkTest, StartUpOpensPortSevenAndAReadStaysPendingUntilTheModuleSends) {
    ServeUsb();
    CSecurityModuleLink& link = MakeLink(LinkRole::Monitor);
    ASSERT_EQ(link.StartUpSecurityModule(), 0);
    EXPECT_EQ(usbDriver_->Requests(DeviceRequestKind::Hello).size(), 5u);
    EXPECT_EQ(Sent(*usbDriver_, DeviceRequestKind::Write),
              (std::vector<Bytes>{{0x07, 0x02, 0x00, 0x09}}));
    EXPECT_TRUE(link.DriverInitialized());

    auto count = RemoteReadAsync();
    ASSERT_TRUE(usbDriver_->AwaitRequests(DeviceRequestKind::Control, 1, kRemoteRead));
    ASSERT_TRUE(reporter_.Await("*** RemoteMonitorPortRead - IO Pending"));
    EXPECT_EQ(count.wait_for(std::chrono::milliseconds(20)), std::future_status::timeout);
    const auto request = usbDriver_->Requests(DeviceRequestKind::Control, kRemoteRead)[0];
    EXPECT_EQ(request.outputSize, 64u);
    EXPECT_EQ(request.connection, 5);

    usbDriver_->QueueControlRead(kRemoteRead, WithChecksum({0x07, 0x06, 0x02, 0xA3, 0x01}));
    ASSERT_TRUE(Finished(count));
    EXPECT_EQ(count.get(), 6u);
    EXPECT_EQ(buffer_[3], 0xA3);
    EXPECT_EQ(buffer_[4], 0x01);
    EXPECT_EQ(reporter_.Count("*** RemoteMonitorPortRead - IO Pending"), 1);
}

TEST_F(MonitorLinkTest, ShutDownClosesPortSevenAndEndsAPendingRead) {
    ServeUsb();
    CSecurityModuleLink& link = MakeLink(LinkRole::Monitor);
    ASSERT_EQ(link.StartUpSecurityModule(), 0);
    auto count = RemoteReadAsync();
    ASSERT_TRUE(reporter_.Await("*** RemoteMonitorPortRead - IO Pending"));
    ASSERT_TRUE(clock_.AwaitWaitsBegun(1));  // the read waits for its completion event

    auto shutDown = std::async(std::launch::async, [&] { return link.ShutDownSecurityModule(); });
    // The driver close sends its own close of port 7 and gives the module half a second.
    AdvanceAfterWait(2, kMonitorClosePortPauseMs);
    ASSERT_TRUE(Finished(shutDown));
    EXPECT_EQ(shutDown.get(), 0);
    EXPECT_EQ(Sent(*usbDriver_, DeviceRequestKind::Write),
              (std::vector<Bytes>{
                  {0x07, 0x02, 0x00, 0x09}, {0x07, 0x03, 0x00, 0x0A}, {0x07, 0x03, 0x00, 0x0A}}));
    ASSERT_TRUE(Finished(count));
    EXPECT_EQ(count.get(), 0u);
    EXPECT_TRUE(usbDriver_->AwaitRequests(DeviceRequestKind::Close, 5));

    // Closed for good: a read waits 100 ms and brings nothing; the driver test says so.
    EXPECT_FALSE(link.DriverInitialized());
    EXPECT_TRUE(reporter_.Find("USB Driver Not Initialized"));
    auto afterClose = RemoteReadAsync();
    AdvanceAfterWait(3, kClosingReadPauseMs);
    ASSERT_TRUE(Finished(afterClose));
    EXPECT_EQ(afterClose.get(), 0u);
    EXPECT_EQ(usbDriver_->Requests(DeviceRequestKind::Control, kRemoteRead).size(), 1u);
}

TEST_F(MonitorLinkTest, StartUpAndShutDownFailuresOfTheMonitor) {
    CSecurityModuleLink& link = MakeLink(LinkRole::Monitor);
    EXPECT_EQ(link.StartUpSecurityModule(), 110);
    EXPECT_TRUE(reporter_.Find("Error Opening USB Device Driver"));
    EXPECT_EQ(link.ShutDownSecurityModule(), 150);
    EXPECT_TRUE(reporter_.Find("ERROR: During Call to USB_WritePacketToSecurityModule() Rtn: 395"));
    EXPECT_TRUE(reporter_.Find("Error Closing Down the USB Security Module"));

    // The open of port 7 fails when the driver refuses the write.
    ServeUsb();
    usbDriver_->SetWriteResult(31);
    CSecurityModuleLink& refused = MakeLink(LinkRole::Monitor);
    EXPECT_EQ(refused.StartUpSecurityModule(), 430);
}

}  // namespace
}  // namespace lane::link::test
