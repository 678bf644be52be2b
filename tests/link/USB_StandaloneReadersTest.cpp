// Tests of the utility's USB reader threads: what they queue, what they drop after a pause,
// the read failure that ends one of them, and their quiet end after the driver close.
#include <gtest/gtest.h>

#include <string>

#include "common/RealClock.h"
#include "tests/link/LinkFixture.h"

namespace lane::link::test {
namespace {

constexpr std::uint32_t kSystemPortRead = SECMODULE_IOCTL_USB_READ_SYSTEM_PORT_LANE_MANAGER;

class UsbReadersTest : public LinkFixture {
  protected:
    void SetUp() override { ServeUsb(); }

    // Starts both readers on an open driver and lets each issue its first read.
    CSecurityModuleLink& StartReaders() {
        CSecurityModuleLink& link = OpenUsbLink(LinkRole::Utility);
        link.Usb().StartSystemPortReader();
        link.Usb().StartSerialPortReader();
        EXPECT_TRUE(usbDriver_->AwaitRequests(DeviceRequestKind::Read, 1));
        EXPECT_TRUE(usbDriver_->AwaitRequests(DeviceRequestKind::Control, 1, kSystemPortRead));
        return link;
    }

    std::vector<LinkPacket> Queued() {
        std::vector<LinkPacket> packets;
        LinkPacket packet;
        while (link_->ReadPacketFromSecurityModule(packet, 0)) {
            packets.push_back(packet);
        }
        return packets;
    }

    RealClock realClock_;
};

TEST_F(UsbReadersTest, SerialReaderDropsAPacketWithABadChecksumAfterAPause) {
    StartReaders();
    const int waitsBefore = clock_.WaitsBegun();
    usbDriver_->QueueRead({0x05, 0x06, 0x02, 0x41, 0x42, 0x91});
    AdvanceAfterWait(waitsBefore + 1, 999);
    EXPECT_FALSE(usbDriver_->AwaitRequests(DeviceRequestKind::Read, 2, 0, 20));
    clock_.AdvanceMs(1);
    ASSERT_TRUE(usbDriver_->AwaitRequests(DeviceRequestKind::Read, 2));

    usbDriver_->QueueRead({0x03, 0x06, 0x01, 0x55, 0x5F});
    ASSERT_TRUE(usbDriver_->AwaitRequests(DeviceRequestKind::Read, 3));
    const auto queued = Queued();
    ASSERT_EQ(queued.size(), 1u);
    EXPECT_EQ(queued[0].DA, 3);
    EXPECT_EQ(queued[0].DL, 1);
    EXPECT_EQ(queued[0].data[0], 0x55);
}

TEST_F(UsbReadersTest, AReadWithTheWrongLengthEndsThatReaderOnly) {
    CSecurityModuleLink& link = StartReaders();
    usbDriver_->QueueRead({0x05, 0x06, 0x02, 0x41, 0x42});
    ASSERT_TRUE(WaitFor(realClock_, link.Usb().SerialPortReaderEnded(), kBoundMs));
    EXPECT_EQ(link.Usb().SerialPortReaderResult(), 809);
    ASSERT_TRUE(reporter_.Find(
        "Bad Packet Length / Size Received from Security Module, Size = 5, ( DA:5, DC:6, DL:2 )"));

    // The system-port reader goes on.
    usbDriver_->QueueControlRead(kSystemPortRead, WithChecksum({0x00, 0xA0, 0x02, 'O', 'K'}));
    ASSERT_TRUE(usbDriver_->AwaitRequests(DeviceRequestKind::Control, 2, kSystemPortRead));
    const auto queued = Queued();
    ASSERT_EQ(queued.size(), 1u);
    EXPECT_EQ(queued[0].DC, TMCB_DC_SYSTEM_LOOPBACK);
    EXPECT_EQ(queued[0].data[1], 'K');
    const auto report = reporter_.Find(
        "TMCB_PORT_SYSTEM_PORT :: TMCB_DC_SYSTEM_LOOPBACK Packet Received...Lenght = 2");
    ASSERT_TRUE(report.has_value());
    EXPECT_EQ(report->level, kLinkWarning);
    EXPECT_FALSE(link.Usb().SystemPortReaderEnded().IsSignalled(0));
}

TEST_F(UsbReadersTest, SystemPortEventsAreReportedAndQueuedInOrder) {
    StartReaders();
    usbDriver_->QueueControlRead(kSystemPortRead, WithChecksum({0x00, 0x0D, 0x00}));
    usbDriver_->QueueControlRead(kSystemPortRead, WithChecksum({0x00, 0x55, 0x01, 0x01}));
    usbDriver_->QueueControlRead(kSystemPortRead, WithChecksum({0x00, 0x0E, 0x00}));
    ASSERT_TRUE(usbDriver_->AwaitRequests(DeviceRequestKind::Control, 4, kSystemPortRead));
    const auto queued = Queued();
    ASSERT_EQ(queued.size(), 3u);
    EXPECT_EQ(queued[0].DC, TMCB_DC_RESET_BUTTON);
    EXPECT_EQ(queued[1].DC, 0x55);
    EXPECT_EQ(queued[2].DC, TMCB_DC_POWER_COMMAND);
    EXPECT_EQ(reporter_
                  .Find("TMCB_PORT_SYSTEM_PORT :: TMCB_DC_RESET_BUTTON Packet "
                        "Received...Lenght = 0")
                  ->level,
              kLinkWarning);
    EXPECT_EQ(reporter_.Find("TMCB_PORT_SYSTEM_PORT :: << UNKNOWN >> Packet Received...Lenght = 1")
                  ->level,
              kLinkError);
}

TEST_F(UsbReadersTest, StartUpStartsTheReadersBeforeTheOpenAndTheCloseStopsTheirReadsQuietly) {
    CSecurityModuleLink& link = MakeLink(LinkRole::Utility);
    ASSERT_EQ(link.StartUpSecurityModule(), 0);
    const auto reports = reporter_.Reports();
    ASSERT_GE(reports.size(), 3u);
    std::vector<std::string> dispatcher;
    for (const auto& report : reports) {
        if (report.module == "securitymodule") {
            dispatcher.push_back(report.text);
        }
    }
    EXPECT_EQ(dispatcher, (std::vector<std::string>{"USB Security Module Configued....",
                                                    "Starting up System Port Reader Thread",
                                                    "Starting up Serial Port Reader Thread.."}));
    // Readers that found the driver closed wait for it in half-second steps.
    ASSERT_TRUE(AdvanceUntil(
        [&] {
            return usbDriver_->AwaitRequests(DeviceRequestKind::Read, 1, 0, 20) &&
                   usbDriver_->AwaitRequests(DeviceRequestKind::Control, 1, kSystemPortRead, 20);
        },
        kDriverNotOpenPauseMs));

    reporter_.Clear();
    ASSERT_EQ(link.ShutDownSecurityModule(), 0);
    // The cancelled reads count as reads after the close; the readers then wait for a driver.
    ASSERT_TRUE(AdvanceUntil([&] { return reporter_.Await("USB Driver Not Initialized", 4, 20); },
                             kClosingReadPauseMs));
    for (const auto& report : reporter_.Reports()) {
        EXPECT_NE(report.level, kLinkError) << report.text;
    }
    EXPECT_FALSE(link.Usb().SerialPortReaderEnded().IsSignalled(0));
    EXPECT_FALSE(link.Usb().SystemPortReaderEnded().IsSignalled(0));
}

TEST_F(UsbReadersTest, StartUpAndShutDownFailuresOfTheUtility) {
    usbDriver_.reset();
    CSecurityModuleLink& link = MakeLink(LinkRole::Utility);
    EXPECT_EQ(link.StartUpSecurityModule(), 201);
    EXPECT_TRUE(reporter_.Find("Error Opening USB Device Driver"));
    EXPECT_EQ(link.ShutDownSecurityModule(), 242);
    EXPECT_TRUE(reporter_.Find("Error Closing Down the USB Security Module"));

    CSecurityModuleLink& unknownBoard = MakeLink(LinkRole::Utility, 300);
    EXPECT_EQ(unknownBoard.StartUpSecurityModule(), 159);
    EXPECT_EQ(reporter_.Find("Security Module Not Configured...")->level, kLinkError);
}

}  // namespace
}  // namespace lane::link::test
