// Tests of the USB transport's driver open and close and of its reads, called directly: the
// channels and their modes, each channel's failure, the packet checks and the reads after close.
#include "link/USB_Standalone.h"

#include <gtest/gtest.h>

#include <future>
#include <string>

#include "tests/link/LinkFixture.h"

namespace lane::link::test {
namespace {

using platform::kDeviceFlagOverlapped;
using platform::kDeviceGenericRead;
using platform::kDeviceGenericWrite;

constexpr std::uint32_t kShareReadWrite = platform::kDeviceShareRead | platform::kDeviceShareWrite;
constexpr std::uint32_t kRefusal = 5;  // access denied

class UsbStandaloneTest : public LinkFixture {
  protected:
    void ExpectReport(const std::string& text, int level) const {
        const auto report = reporter_.Find(text);
        ASSERT_TRUE(report.has_value()) << text;
        EXPECT_EQ(report->level, level) << text;
    }
};

TEST_F(UsbStandaloneTest, DriverOpenMakesTheChannelsInOrderWithTheirAccess) {
    ServeUsb();
    OpenUsbLink(LinkRole::Utility);
    auto hellos = usbDriver_->Requests(DeviceRequestKind::Hello);
    ASSERT_EQ(hellos.size(), 4u);
    const std::uint32_t access[] = {kDeviceGenericWrite, kDeviceGenericRead, kDeviceGenericWrite,
                                    kDeviceGenericRead};
    for (std::size_t i = 0; i < hellos.size(); ++i) {
        EXPECT_EQ(hellos[i].mode.desiredAccess, access[i]) << i;
        EXPECT_EQ(hellos[i].mode.shareMode, kShareReadWrite) << i;
        EXPECT_EQ(hellos[i].mode.flags, 0u) << i;
    }

    ServeUsb();
    OpenUsbLink(LinkRole::Monitor);
    hellos = usbDriver_->Requests(DeviceRequestKind::Hello);
    ASSERT_EQ(hellos.size(), 5u);
    EXPECT_EQ(hellos[4].mode.desiredAccess, kDeviceGenericRead);
    EXPECT_EQ(hellos[4].mode.flags, kDeviceFlagOverlapped);
}

TEST_F(UsbStandaloneTest, OpenTwiceAndCloseTwiceAreRefused) {
    ServeUsb();
    CSecurityModuleLink& link = OpenUsbLink(LinkRole::Utility);
    EXPECT_EQ(link.Usb().OpenDriver(), 146);
    ExpectReport("Driver Already Opened...", kLinkError);

    EXPECT_EQ(link.Usb().CloseDriver(), 0);
    ExpectReport("Close TMCB Ports...", kLinkInformation);
    ExpectReport("Release Handles...", kLinkInformation);
    EXPECT_TRUE(usbDriver_->AwaitRequests(DeviceRequestKind::Close, 4));
    EXPECT_FALSE(link.Usb().IsDriverOpen());
    EXPECT_EQ(link.Usb().CloseDriver(), 242);
    ExpectReport("Driver Not Open.", kLinkError);

    CSecurityModuleLink& monitor = OpenUsbLink(LinkRole::Monitor);
    EXPECT_EQ(monitor.Usb().OpenDriver(), 164);
}

TEST_F(UsbStandaloneTest, EachChannelThatCannotBeOpenedHasItsMessageAndCode) {
    struct Case {
        LinkRole role;
        int refusedOpen;
        int code;
        const char* channel;
    };
    const Case cases[] = {
        {LinkRole::Utility, 1, 167, "hDevice_Write_SystemPortIo"},
        {LinkRole::Utility, 2, 184, "hDevice_Read_SystemPortIo"},
        {LinkRole::Utility, 3, 205, "hDevice_Write_SerialPortData"},
        {LinkRole::Utility, 4, 222, "hDevice_Read_SerialPortData"},
        {LinkRole::Monitor, 5, 243, "hDevice_Read_RemoteMonitorPortData"},
    };
    for (const Case& refused : cases) {
        reporter_.Clear();
        ServeUsb();
        CSecurityModuleLink& link = MakeLink(refused.role);
        usbDriver_->RefuseOpen(refused.refusedOpen, kRefusal);
        EXPECT_EQ(link.Usb().OpenDriver(), refused.code) << refused.channel;
        ExpectReport(std::string("Error Opending Security Module ( ") + refused.channel +
                         " ) RtnValue: 0x5 )",
                     kLinkError);
        // The channels opened before the refusal are let go again.
        EXPECT_TRUE(usbDriver_->AwaitRequests(DeviceRequestKind::Close,
                                              static_cast<std::size_t>(refused.refusedOpen - 1)));
        EXPECT_FALSE(link.Usb().IsDriverOpen());
        EXPECT_EQ(link.Usb().OpenDriver(), 0) << "a later open tries again";
    }

    usbDriver_.reset();
    CSecurityModuleLink& nobody = MakeLink(LinkRole::Utility);
    EXPECT_EQ(nobody.Usb().OpenDriver(), 167);
    ExpectReport("Error Opending Security Module ( hDevice_Write_SystemPortIo ) RtnValue: 0x2 )",
                 kLinkError);
}

TEST_F(UsbStandaloneTest, SerialReadCopiesAGoodPacketAndLeavesOneWithABadChecksumClear) {
    ServeUsb();
    CSecurityModuleLink& link = OpenUsbLink(LinkRole::Utility);
    LinkPacket packet;
    std::size_t count = 0;
    usbDriver_->QueueRead({0x05, 0x06, 0x02, 0x41, 0x42, 0x90});
    ASSERT_EQ(link.Usb().ReadSerialPort(packet, count), 0);
    EXPECT_EQ(count, 5u);
    EXPECT_EQ(packet.DA, 5);
    EXPECT_EQ(packet.DC, 6);
    EXPECT_EQ(packet.DL, 2);
    EXPECT_EQ(packet.data[0], 0x41);
    EXPECT_EQ(packet.data[1], 0x42);
    ExpectReport("Reading Packet From USB Security Module...", kLinkDetail);
    const auto reads = usbDriver_->Requests(DeviceRequestKind::Read);
    ASSERT_EQ(reads.size(), 1u);
    EXPECT_EQ(reads[0].outputSize, 64u);
    EXPECT_EQ(reads[0].connection, 4);

    usbDriver_->QueueRead({0x05, 0x06, 0x02, 0x41, 0x42, 0x91});
    ASSERT_EQ(link.Usb().ReadSerialPort(packet, count), 0);
    EXPECT_EQ(count, 5u);
    EXPECT_EQ(packet.DA, 0);
    EXPECT_EQ(packet.DL, 0);
    EXPECT_EQ(packet.data[0], 0);

    usbDriver_->QueueRead({});
    ASSERT_EQ(link.Usb().ReadSerialPort(packet, count), 0);
    EXPECT_EQ(count, 0u);
    ExpectReport("*** EMPTY PACKET ***::0 bytes read from device (64 requested).", kLinkWarning);
}

TEST_F(UsbStandaloneTest, SerialReadFailuresHaveTheirMessagesAndCodes) {
    ServeUsb();
    CSecurityModuleLink& link = OpenUsbLink(LinkRole::Utility);
    struct Case {
        Bytes bytes;
        std::uint32_t status;
        int code;
        std::string message;
    };
    const Case cases[] = {
        {{0x05, 0x06, 0x02, 0x41, 0x42},
         0,
         809,
         "Bad Packet Length / Size Received from Security Module, Size = 5, ( DA:5, DC:6, DL:2 )"},
        {{0x05, 0x06},
         0,
         794,
         "Bad Packet Size Received from Security Module, Size = 2 - (64 requested)."},
        {{0x00, 0x06, 0x00, 0x06},
         0,
         837,
         "ERROR: Invalid Device Address Data Received From Security Module( DA:0, DC:6, DL:0 )"},
        {{0x07, 0x06, 0x00, 0x0D},
         0,
         837,
         "ERROR: Invalid Device Address Data Received From Security Module( DA:7, DC:6, DL:0 )"},
        {{0x05, 0x03, 0x00, 0x08},
         0,
         830,
         "ERROR: Invalid Device Command Data Received From Security Module( DA:5, DC:3, DL:0 )"},
        {{}, 31, 777, "ERROR: ReadFile on hDevice_Read_SerialPortData Returned:1f."},
        // A driver that answers past the 64-byte buffer gets nothing into it.
        {Bytes(65, 0x05), 0, 777, "ERROR: ReadFile on hDevice_Read_SerialPortData Returned:ea."},
    };
    for (const Case& failing : cases) {
        reporter_.Clear();
        usbDriver_->QueueRead(failing.bytes, failing.status);
        LinkPacket packet;
        std::size_t count = 0;
        EXPECT_EQ(link.Usb().ReadSerialPort(packet, count), failing.code) << failing.message;
        ExpectReport(failing.message, kLinkError);
        EXPECT_EQ(packet.DL, 0) << failing.message;
    }
}

TEST_F(UsbStandaloneTest, SystemPortReadTakesOnePacketThroughItsControlCode) {
    ServeUsb();
    CSecurityModuleLink& link = OpenUsbLink(LinkRole::Utility);
    LinkPacket packet;
    std::size_t count = 0;
    usbDriver_->QueueControlRead(SECMODULE_IOCTL_USB_READ_SYSTEM_PORT_LANE_MANAGER,
                                 {0x00, 0x0D, 0x00, 0x0D});
    ASSERT_EQ(link.Usb().ReadSystemPort(packet, count), 0);
    EXPECT_EQ(count, 3u);
    EXPECT_EQ(packet.DC, TMCB_DC_RESET_BUTTON);
    ExpectReport("Issuing Ioctl to device - SECMODULE_IOCTL_USB_READ_SYSTEM_PORT_LANE_MANAGER",
                 kLinkInformation);
    ExpectReport("4 bytes read from device (64 requested).", kLinkDetail);
    const auto reads = usbDriver_->Requests(DeviceRequestKind::Control,
                                            SECMODULE_IOCTL_USB_READ_SYSTEM_PORT_LANE_MANAGER);
    ASSERT_EQ(reads.size(), 1u);
    EXPECT_EQ(reads[0].outputSize, 64u);
    EXPECT_EQ(reads[0].connection, 2);

    // A length over 60 is never copied, even with a checksum that would match.
    Bytes tooLong = {0x00, 0x0D, 61};
    tooLong.resize(64, 0);
    tooLong[63] = static_cast<std::uint8_t>(0x0D + 61);
    usbDriver_->QueueControlRead(SECMODULE_IOCTL_USB_READ_SYSTEM_PORT_LANE_MANAGER, tooLong);
    ASSERT_EQ(link.Usb().ReadSystemPort(packet, count), 0);
    EXPECT_EQ(count, 63u);
    EXPECT_EQ(packet.DC, 0);

    usbDriver_->QueueControlRead(SECMODULE_IOCTL_USB_READ_SYSTEM_PORT_LANE_MANAGER, {}, 31);
    EXPECT_EQ(link.Usb().ReadSystemPort(packet, count), 901);
    ExpectReport("ERROR: DeviceIoControl returns 1f.", kLinkError);
}

TEST_F(UsbStandaloneTest, AfterTheDriverCloseReadsReturnEmptyEveryHundredMilliseconds) {
    ServeUsb();
    CSecurityModuleLink& link = OpenUsbLink(LinkRole::Utility);
    ASSERT_EQ(link.Usb().CloseDriver(), 0);
    for (int read = 0; read < 2; ++read) {
        const int waitsBefore = clock_.WaitsBegun();
        const std::int64_t tickBefore = clock_.TickMs();
        auto result = std::async(std::launch::async, [&] {
            LinkPacket packet;
            std::size_t count = 99;
            const int code = read == 0 ? link.Usb().ReadSerialPort(packet, count)
                                       : link.Usb().ReadSystemPort(packet, count);
            return code == 0 ? count : 999u;
        });
        AdvanceAfterWait(waitsBefore + 1, 99);
        EXPECT_EQ(result.wait_for(std::chrono::milliseconds(20)), std::future_status::timeout);
        clock_.AdvanceMs(1);
        ASSERT_TRUE(Finished(result));
        EXPECT_EQ(result.get(), 0u);
        EXPECT_EQ(clock_.TickMs() - tickBefore, 100);
    }
    EXPECT_TRUE(usbDriver_->Requests(DeviceRequestKind::Read).empty());
    EXPECT_TRUE(usbDriver_
                    ->Requests(DeviceRequestKind::Control,
                               SECMODULE_IOCTL_USB_READ_SYSTEM_PORT_LANE_MANAGER)
                    .empty());
}

}  // namespace
}  // namespace lane::link::test
