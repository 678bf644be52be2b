// Tests of FormatAndSendDataToSecurityModule and the packet writes beneath it, in the utility
// and the monitor, down to the bytes the driver receives and the reports made on the way.
#include <gtest/gtest.h>

#include <string>

#include "tests/link/LinkFixture.h"

namespace lane::link::test {
namespace {

constexpr int kWriteSystemChannel = 1;  // connections in the order the driver open makes them
constexpr int kWriteSerialChannel = 3;

class FormatAndSendTest : public LinkFixture {
  protected:
    void SetUp() override { ServeUsb(); }

    std::vector<FakeDriver::Seen> Writes() const {
        return usbDriver_->Requests(DeviceRequestKind::Write);
    }
    std::vector<FakeDriver::Seen> SystemPortWrites() const {
        return usbDriver_->Requests(DeviceRequestKind::Control,
                                    SECMODULE_IOCTL_USB_WRITE_SYSTEM_PORT);
    }
    void ExpectError(const std::string& text, const char* module) const {
        const auto report = reporter_.Find(text);
        ASSERT_TRUE(report.has_value()) << text;
        EXPECT_EQ(report->level, kLinkError) << text;
        EXPECT_TRUE(report->console) << text;
        EXPECT_EQ(report->module, module) << text;
    }
};

TEST_F(FormatAndSendTest, UtilitySendsSystemPortPacketsThroughTheControlCodeOnly) {
    CSecurityModuleLink& link = OpenUsbLink(LinkRole::Utility);
    EXPECT_EQ(link.FormatAndSendDataToSecurityModule(0, TMCB_DC_SYSTEM_LOOPBACK, "HELLO"), 0);
    const auto writes = SystemPortWrites();
    ASSERT_EQ(writes.size(), 1u);
    EXPECT_EQ(writes[0].connection, kWriteSystemChannel);
    EXPECT_TRUE(writes[0].input.empty());
    EXPECT_EQ(writes[0].output, WithChecksum({0x00, 0xA0, 0x05, 'H', 'E', 'L', 'L', 'O'}));
    EXPECT_TRUE(Writes().empty());
}

TEST_F(FormatAndSendTest, UtilitySendsSerialPortPacketsAsPlainWrites) {
    CSecurityModuleLink& link = OpenUsbLink(LinkRole::Utility);
    EXPECT_EQ(link.FormatAndSendDataToSecurityModule(6, TMCB_DC_CLOSE_PORT, ""), 0);
    EXPECT_EQ(link.FormatAndSendDataToSecurityModule(5, TMCB_DC_OPEN_PORT, "ignored"), 0);
    EXPECT_EQ(link.FormatAndSendDataToSecurityModule(6, TMCB_DC_PORT_DATA, "abc"), 0);
    // The text ends at its first zero byte, as a C string does.
    EXPECT_EQ(link.FormatAndSendDataToSecurityModule(5, TMCB_DC_PORT_DATA,
                                                     std::string_view("V\0junk", 6)),
              0);
    EXPECT_EQ(link.FormatAndSendDataToSecurityModule(5, TMCB_DC_INIT_PORT, ""), 0);
    EXPECT_EQ(link.FormatAndSendDataToSecurityModule(6, TMCB_DC_INIT_PORT, ""), 0);
    EXPECT_EQ(Sent(*usbDriver_, DeviceRequestKind::Write),
              (std::vector<Bytes>{
                  {0x06, 0x03, 0x00, 0x09},
                  {0x05, 0x02, 0x00, 0x07},
                  {0x06, 0x06, 0x03, 0x61, 0x62, 0x63, 0x35},
                  WithChecksum({0x05, 0x06, 0x01, 'V'}),
                  WithChecksum({0x05, 0x01, 0x04, 10, 5, 2, 1}),
                  WithChecksum({0x06, 0x01, 0x04, 1, 6, 2, 1}),
              }));
    for (const auto& write : Writes()) {
        EXPECT_EQ(write.connection, kWriteSerialChannel);
    }
    EXPECT_TRUE(SystemPortWrites().empty());
}

TEST_F(FormatAndSendTest, ScalePortParametersFollowTheScaleType) {
    const std::pair<int, std::uint8_t> speeds[] = {{1, 2}, {2, 8}, {4, 8}, {3, 3}, {0, 3}};
    std::vector<Bytes> expected;
    for (const auto& [scaleType, speed] : speeds) {
        CSecurityModuleLink& link = MakeLink(LinkRole::Utility, kBoardTypeUsb, scaleType);
        ASSERT_EQ(link.Usb().OpenDriver(), 0);
        EXPECT_EQ(link.FormatAndSendDataToSecurityModule(1, TMCB_DC_INIT_PORT, ""), 0);
        expected.push_back(WithChecksum({0x01, 0x01, 0x04, speed, 6, 1, 3}));
    }
    EXPECT_EQ(Sent(*usbDriver_, DeviceRequestKind::Write), expected);
}

TEST_F(FormatAndSendTest, RefusedCommandsReportTheirMessageAndSendNothing) {
    CSecurityModuleLink& link = OpenUsbLink(LinkRole::Utility);
    struct Case {
        std::uint8_t port;
        std::uint8_t command;
        int code;
        std::string message;
    };
    const Case cases[] = {
        {2, TMCB_DC_INIT_PORT, 531,
         "ERROR: This Device Address not Supported for Packet TMCB_DC_INIT_PORT in "
         "WritePacketToSecurityModule( 2 )"},
        {7, TMCB_DC_INIT_PORT, 531,
         "ERROR: This Device Address not Supported for Packet TMCB_DC_INIT_PORT in "
         "WritePacketToSecurityModule( 7 )"},
        {5, TMCB_DC_SYSTEM_LOOPBACK, 571,
         "Command TMCB_DC_SYSTEM_LOOPBACK only valid on Port: TMCB_PORT_SYSTEM_PORT"},
        {0, TMCB_DC_RESET_USB_BUFFERS, 578,
         "Invalid Command Sent to FormatAndSendDataToSecurityModule( TMCB_DC_RESET_USB_BUFFERS )"},
        {0, TMCB_DC_READY_COMPLETE, 584,
         "Invalid Command Sent to FormatAndSendDataToSecurityModule( TMCB_DC_READY_COMPLETE )"},
        {0, TMCB_DC_RESET_BUTTON, 590,
         "Invalid Command Sent to FormatAndSendDataToSecurityModule( TMCB_DC_RESET_BUTTON )"},
        {0, TMCB_DC_POWER_COMMAND, 596,
         "Invalid Command Sent to FormatAndSendDataToSecurityModule( TMCB_DC_POWER_COMMAND )"},
        {0, TMCB_DC_COMM_ERROR, 602,
         "Invalid Command Sent to FormatAndSendDataToSecurityModule( TMCB_DC_COMM_ERROR )"},
        {0, kDcTraceControl, 613,
         "ERROR: Invalid Device Command Sent to WritePacketToSecurityModule( 12 )"},
        {0, kDcFirmwareUploadData, 613,
         "ERROR: Invalid Device Command Sent to WritePacketToSecurityModule( 241 )"},
    };
    for (const Case& refused : cases) {
        reporter_.Clear();
        EXPECT_EQ(link.FormatAndSendDataToSecurityModule(refused.port, refused.command, "x"),
                  refused.code)
            << refused.message;
        ExpectError(refused.message, "securitymodule");
        EXPECT_EQ(reporter_.Reports().size(), 1u) << refused.message;
    }
    EXPECT_TRUE(Writes().empty());
    EXPECT_TRUE(SystemPortWrites().empty());
}

TEST_F(FormatAndSendTest, UtilityRefusesThePortOfTheMonitor) {
    CSecurityModuleLink& link = OpenUsbLink(LinkRole::Utility);
    EXPECT_EQ(link.FormatAndSendDataToSecurityModule(7, TMCB_DC_CLOSE_PORT, ""), 623);
    ExpectError("ERROR: Invalid Device Address Sent to USB_ForwardPacketToSecurityModule( 7 )",
                "USB_Standalone");
    ExpectError("ERROR: During Call to USB_WritePacketToSecurityModule() Rtn: 444",
                "securitymodule");
    ExpectError("ERROR: During Call to TMCB_WritePacketToSecurityModule() Rtn: 444",
                "securitymodule");
    EXPECT_TRUE(Writes().empty());
}

TEST_F(FormatAndSendTest, APacketTooLargeForUsbIsRefusedWithACodeAndTheProcessGoesOn) {
    CSecurityModuleLink& link = OpenUsbLink(LinkRole::Utility);
    EXPECT_EQ(link.FormatAndSendDataToSecurityModule(5, TMCB_DC_PORT_DATA, std::string(60, 'a')),
              0);
    EXPECT_EQ(link.FormatAndSendDataToSecurityModule(5, TMCB_DC_PORT_DATA, std::string(61, 'a')),
              623);
    ExpectError("Data Packet Size ( 61 ) to Large for USB Interface...", "USB_Standalone");
    ExpectError("ERROR: During Call to USB_WritePacketToSecurityModule() Rtn: 361",
                "securitymodule");

    LinkPacket packet;
    packet.DA = 5;
    packet.DC = TMCB_DC_PORT_DATA;
    packet.DL = 255;
    EXPECT_EQ(link.WritePacketToSecurityModule(packet), 361);
    // A text longer than any packet never reaches a transport.
    reporter_.Clear();
    EXPECT_EQ(link.FormatAndSendDataToSecurityModule(5, TMCB_DC_PORT_DATA, std::string(253, 'a')),
              627);
    EXPECT_EQ(reporter_.Reports().size(), 1u);
    ASSERT_EQ(Writes().size(), 1u);
    EXPECT_EQ(Writes()[0].input.size(), 64u);
}

TEST_F(FormatAndSendTest, DriverFailuresOfTheWritesAreReportedWithTheirCodes) {
    CSecurityModuleLink& link = OpenUsbLink(LinkRole::Utility);
    LinkPacket packet;
    packet.DA = 5;
    packet.DC = TMCB_DC_OPEN_PORT;

    usbDriver_->SetWriteResult(31);
    EXPECT_EQ(link.WritePacketToSecurityModule(packet), 423);
    ExpectError("ERROR: WriteFile returns 1f.", "USB_Standalone");
    packet.DA = 0;
    EXPECT_EQ(link.WritePacketToSecurityModule(packet), 392);
    ExpectError("ERROR: DeviceIoControl returns 1f.", "USB_Standalone");

    usbDriver_->SetWriteResult(0, 3);
    packet.DA = 5;
    EXPECT_EQ(link.WritePacketToSecurityModule(packet), 432);
    ExpectError("ERROR: WriteFile returned Invalid Number of Bytes...3 / 4", "USB_Standalone");

    ASSERT_EQ(link.Usb().CloseDriver(), 0);
    EXPECT_EQ(link.WritePacketToSecurityModule(packet), 359);
    ExpectError("Driver Not Open.", "USB_Standalone");
}

TEST_F(FormatAndSendTest, PacketDumpLogsEachPacketWritten) {
    CSecurityModuleLink& link = OpenUsbLink(LinkRole::Utility);
    link.SetPacketDump(true);
    EXPECT_EQ(link.FormatAndSendDataToSecurityModule(5, TMCB_DC_PORT_DATA, "abc"), 0);
    const auto dump = reporter_.Find("Data Out:05.06.03 - 61.62.63.00.00.00");
    ASSERT_TRUE(dump.has_value());
    EXPECT_EQ(dump->level, kLinkInformation);
}

TEST_F(FormatAndSendTest, MonitorWritesPortSevenOnlyAndHasNoLoopback) {
    CSecurityModuleLink& link = OpenUsbLink(LinkRole::Monitor);
    EXPECT_EQ(link.FormatAndSendDataToSecurityModule(7, TMCB_DC_INIT_PORT, ""), 0);
    EXPECT_EQ(link.FormatAndSendDataToSecurityModule(7, TMCB_DC_CLOSE_PORT, ""), 0);
    EXPECT_EQ(Sent(*usbDriver_, DeviceRequestKind::Write),
              (std::vector<Bytes>{WithChecksum({0x07, 0x01, 0x04, 1, 6, 2, 1}),
                                  {0x07, 0x03, 0x00, 0x0A}}));

    EXPECT_EQ(link.FormatAndSendDataToSecurityModule(0, TMCB_DC_SYSTEM_LOOPBACK, "HELLO"), 575);
    EXPECT_EQ(link.FormatAndSendDataToSecurityModule(6, TMCB_DC_INIT_PORT, ""), 535);
    EXPECT_EQ(link.FormatAndSendDataToSecurityModule(0, TMCB_DC_CLOSE_PORT, ""), 627);
    ExpectError("ERROR: Invalid Device Address Sent to USB_ForwardPacketToSecurityModule( 0 )",
                "USB_Standalone");
    EXPECT_EQ(link.FormatAndSendDataToSecurityModule(5, TMCB_DC_PORT_DATA, std::string(61, 'a')),
              627);
    ExpectError("ERROR: During Call to USB_WritePacketToSecurityModule() Rtn: 397",
                "securitymodule");
    EXPECT_EQ(Writes().size(), 2u);
    EXPECT_TRUE(SystemPortWrites().empty());
}

}  // namespace
}  // namespace lane::link::test
