// The firmware upload command and the trace code menu against the fake USB driver: the packets
// on the system port, the checks that refuse an image before anything is sent, the choice of the
// image file, the end of the process, and the messages on the way.
#include "Moxtel/Command_SecurityModuleUpload.h"

#include <regex>
#include <sstream>

#include "Moxtel/FirmwareSender.h"
#include "link/securitymodule.h"
#include "tests/Moxtel/MoxtelTestSupport.h"
#include "tests/link/LinkTestSupport.h"

namespace lane::moxtel::test {
namespace {

using link::test::Bytes;
using link::test::WithChecksum;
using platform::DeviceRequestKind;

constexpr std::uint32_t kRefused = 31;  // a driver error for writes that must fail

// `size` bytes ending in their internal checksum, spoiled when `good` is off.
Bytes MakeImage(std::size_t size, bool good = true) {
    Bytes image(size);
    std::uint32_t sum = 0;
    for (std::size_t index = 0; index + 2 < size; ++index) {
        image[index] = static_cast<std::uint8_t>(index * 7 + 3);
        sum += image[index];
    }
    sum = (sum + (good ? 0u : 1u)) & 0xFFFFu;
    image[size - 2] = static_cast<std::uint8_t>(sum >> 8);
    image[size - 1] = static_cast<std::uint8_t>(sum & 0xFFu);
    return image;
}

Bytes Packet(std::uint8_t command, const Bytes& data) {
    Bytes wire{0x00, command, static_cast<std::uint8_t>(data.size())};
    wire.insert(wire.end(), data.begin(), data.end());
    return WithChecksum(wire);
}

int Occurrences(const std::string& text, const std::string& part) {
    int count = 0;
    for (auto at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) {
        ++count;
    }
    return count;
}

// Capture lines of the sender that log one image byte ("FirmwareSend:  NN:   3f.").
int ByteLines(const std::string& file) {
    static const std::regex byteLine("^FirmwareSend: *[0-9]+:   [0-9a-f]{1,2}\\.$");
    std::istringstream lines(file);
    int count = 0;
    for (std::string line; std::getline(lines, line);) {
        count += std::regex_match(line, byteLine);
    }
    return count;
}

class UploadTest : public LaneFixture {
  protected:
    UploadTest() {
        SetBoardType("USB_SECURITY_MODULE");
        EXPECT_EQ(link_.Usb().OpenDriver(), 0);
        identity.versionText = "4.47 01/15/2019";
        identity.version = 447;
        identity.checksumText = "5A3C";
        identity.checksumStatus = '0';
        identity.model = "750";
        options.commandGiven = true;
        options.commandName = kCommandSecurityModuleUpload;
    }

    // Writes `bytes` as c:\FirmwareUpdate\<name> and gives its Windows path.
    std::string Place(const std::string& name, const Bytes& bytes) {
        std::ofstream(root / ("c/FirmwareUpdate/" + name), std::ios::binary)
            .write(reinterpret_cast<const char*>(bytes.data()),
                   static_cast<std::streamsize>(bytes.size()));
        return "c:\\FirmwareUpdate\\" + name;
    }
    int Upload() {
        int result = -1;
        RunWithClock(clock, [&] { result = Command_SecurityModuleUpload(run_); });
        return result;
    }
    int TraceMenu() {
        int result = -1;
        RunWithClock(clock, [&] { result = TraceCodeMenu(run_); });
        return result;
    }
    // The packets written to the system port, in order.
    std::vector<Bytes> SystemPackets() const {
        std::vector<Bytes> packets;
        for (const auto& seen : driver_.Requests(DeviceRequestKind::Control,
                                                 link::SECMODULE_IOCTL_USB_WRITE_SYSTEM_PORT)) {
            packets.push_back(seen.output);
        }
        return packets;
    }
    // The port 6 close packets written.
    int Port6Closes() const {
        int closes = 0;
        for (const auto& seen : driver_.Requests(DeviceRequestKind::Write)) {
            closes += seen.input.size() >= 2 && seen.input[0] == 6 && seen.input[1] == 3;
        }
        return closes;
    }
    // The packets an upload of `image` writes.
    static std::vector<Bytes> UploadPackets(const Bytes& image) {
        std::vector<Bytes> packets{
            Packet(0xF0, {static_cast<std::uint8_t>(image.size() >> 8),
                          static_cast<std::uint8_t>(image.size() & 0xFF), 0xAA, 0x55, 0xA0})};
        for (std::size_t at = 0; at < image.size(); at += 60) {
            const auto end =
                image.begin() + static_cast<std::ptrdiff_t>(std::min(image.size(), at + 60));
            packets.push_back(
                Packet(0xF1, Bytes(image.begin() + static_cast<std::ptrdiff_t>(at), end)));
        }
        return packets;
    }
    std::string File() {
        rig_.capture.Close();
        return Capture();
    }

    link::test::FakeDriver driver_{paths, "SecModuleDevice0"};
    LogRig rig_{clock, console, paths, registry};
    CUtilityLinkReporter reporter_{rig_.log};
    link::CSecurityModuleLink link_{
        link::LinkConfig{link::LinkRole::Utility, link::kBoardTypeUsb, 0}, reporter_, clock, paths};
    UtilityOptions options;
    SecurityModuleIdentity identity;
    BillAcceptorIdentity billAcceptor_;
    std::function<void(int)> endProcess_ = EndProcess();
    UtilityRun run_{rig_.log, rig_.config, options,       link_,       console,
                    clock,    identity,    billAcceptor_, endProcess_, paths};
};

TEST_F(UploadTest, ImagesGoOutAsAStartPacketAndDataPacketsOfSixtyBytes) {
    const Bytes image = MakeImage(120);
    options.inputFile = Place("SCv464.TSK", image);
    EXPECT_EQ(Upload(), 0);
    EXPECT_EQ(processEnds, std::vector<int>{0});
    EXPECT_EQ(SystemPackets(), UploadPackets(image));
    EXPECT_EQ(SystemPackets().size(), 3u);
    EXPECT_EQ(Port6Closes(), 1);
    const std::string shown = console.Output();
    EXPECT_TRUE(Contains(shown, "\n**** USB Security Module Firmware Update ****\n\n"));
    EXPECT_TRUE(Contains(shown, "Security Module Version 4.47 01/15/2019\n"));
    EXPECT_TRUE(Contains(shown, "USB Security Module Checksum 5A3C PASSED!\n\n"));
    EXPECT_TRUE(Contains(shown,
                         "Bytes Left 60     \rBytes Left 0     \r\nFile Upload Complete!\n"
                         "Waiting for Security Module to Reset\nExiting Program!\n"));
    const std::string file = File();
    EXPECT_TRUE(Contains(file, "   Model 750\n"));
    EXPECT_TRUE(Contains(file, "   Loading code version 464\n"));
    EXPECT_EQ(Occurrences(file, "   NEW PACKET\n"), 2);
    char firstByte[8];
    std::snprintf(firstByte, sizeof firstByte, "   %x.\n", image[0]);
    EXPECT_TRUE(Contains(file, firstByte));
    EXPECT_EQ(ByteLines(file), 120);
    EXPECT_FALSE(Contains(file, "Bytes Left"));
}

TEST_F(UploadTest, ASixtyOneByteImageEndsWithAOneBytePacket) {
    const Bytes image = MakeImage(61);
    options.inputFile = Place("SCv464.TSK", image);
    EXPECT_EQ(Upload(), 0);
    const auto packets = SystemPackets();
    ASSERT_EQ(packets.size(), 3u);
    EXPECT_EQ(packets, UploadPackets(image));
    EXPECT_EQ(packets[0][3], 0x00);
    EXPECT_EQ(packets[0][4], 61);
    EXPECT_EQ(packets[2][2], 1);
}

TEST_F(UploadTest, VersionChecksRefuseBeforeAnythingIsSent) {
    const Bytes image = MakeImage(200);
    const struct {
        unsigned module;
        std::string file;
        const char* message;
    } refusals[] = {
        {452, "SCv446.TSK", "ERROR 1E: Can not down level firmware to below 4.47\n"},
        {353, "SCv464.TSK", "ERROR 1E: Wrong version of firmware, Security Controller is 3.xx\n"},
        {447, "SCv353.TSK", "ERROR 1E: Wrong version of firmware, Security Controller is 4.xx\n"},
        {447, "image.tsk", "ERROR 01: Invalid File Name\n"},
    };
    for (const auto& refusal : refusals) {
        identity.version = refusal.module;
        options.inputFile = Place(refusal.file, image);
        EXPECT_NE(Upload(), 0) << refusal.message;
        EXPECT_TRUE(Contains(console.Output(), refusal.message)) << refusal.message;
    }
    EXPECT_TRUE(SystemPackets().empty());
    EXPECT_TRUE(processEnds.empty());
    identity.version = 440;
    options.inputFile = Place("SCv446.TSK", image);
    EXPECT_EQ(Upload(), 0);
    EXPECT_EQ(SystemPackets(), UploadPackets(image));
}

TEST_F(UploadTest, OldModulesAndAModelsTakeTheAlternateFile) {
    const Bytes image = MakeImage(90);
    options.inputFile = Place("SCv464.TSK", MakeImage(100));
    identity.version = 346;
    EXPECT_NE(Upload(), 0);
    EXPECT_TRUE(Contains(console.Output(), "Using Alternate File \nERROR 01: Invalid File Name\n"));
    options.altInputFile = Place("SCvA346.TSK", image);
    EXPECT_EQ(Upload(), 0);
    EXPECT_TRUE(
        Contains(console.Output(), "Using Alternate File c:\\FirmwareUpdate\\SCvA346.TSK\n"));
    EXPECT_EQ(SystemPackets(), UploadPackets(image));
    // A new link for the second upload: the first one shut it down.
    identity.version = 447;
    identity.model = "75A";
    options.altInputFile = Place("SCvA447.TSK", image);
    ASSERT_EQ(link_.Usb().OpenDriver(), 0);
    EXPECT_EQ(Upload(), 0);
    EXPECT_TRUE(
        Contains(console.Output(), "Using Alternate File c:\\FirmwareUpdate\\SCvA447.TSK\n"));
    EXPECT_EQ(SystemPackets().size(), 2 * UploadPackets(image).size());
}

TEST_F(UploadTest, ImageChecksDecideWhetherTheImageIsSent) {
    options.inputFile = Place("SCv464.TSK", MakeImage(150, false));
    EXPECT_NE(Upload(), 0);
    EXPECT_TRUE(
        Contains(console.Output(), "ERROR 01: Uploading USB Security Module, Loading File.\n"));
    EXPECT_EQ(Port6Closes(), 2);  // port 6 is closed once more after a failed read
    options.inputFileChecksum = 0x1234;
    options.internalChecksumCheck = false;
    EXPECT_NE(Upload(), 0);
    EXPECT_TRUE(SystemPackets().empty());
    // The module already holds this image.
    const Bytes image = MakeImage(150);
    options.inputFile = Place("SCv464.TSK", image);
    options.inputFileChecksum = 0;
    options.autoUpdate = true;
    char checksum[8];
    std::snprintf(checksum, sizeof checksum, "%02x%02x", image[148], image[149]);
    identity.checksumText = checksum;
    EXPECT_EQ(Upload(), 0);
    EXPECT_TRUE(SystemPackets().empty());
    EXPECT_TRUE(processEnds.empty());
    // Overridden, the spoiled image goes out.
    options.autoUpdate = false;
    options.inputFile = Place("SCv464.TSK", MakeImage(150, false));
    EXPECT_EQ(Upload(), 0);
    EXPECT_TRUE(Contains(console.Output(), "Override of Checksum is Active!\n"));
    EXPECT_EQ(SystemPackets(), UploadPackets(MakeImage(150, false)));
}

TEST_F(UploadTest, AnInterfaceBoardIsRefusedWithoutTouchingTheModule) {
    SetBoardType("TMCB");
    EXPECT_NE(Upload(), 0);
    EXPECT_EQ(console.Output(), "ERROR 1D: System is not USB!\n");
    EXPECT_TRUE(driver_.Requests(DeviceRequestKind::Write).empty());
}

TEST_F(UploadTest, AnInteractiveRunAsksForTheFileName) {
    options.commandGiven = false;
    console.AddKeys("\r");
    EXPECT_NE(Upload(), 0);
    EXPECT_TRUE(Contains(console.Output(), "Enter File Name :\nInvalid File Name!\n"));
    EXPECT_EQ(Port6Closes(), 2);
    const Bytes image = MakeImage(70);
    Place("SCv464.TSK", image);
    console.AddKeys("c:\\FirmwareUpdate\\SCv46x\b4.TSK\r");
    EXPECT_EQ(Upload(), 0);
    EXPECT_EQ(SystemPackets(), UploadPackets(image));
    EXPECT_TRUE(Contains(File(), "   Entered name : c:\\FirmwareUpdate\\SCv464.TSK\n"));
}

TEST_F(UploadTest, AStartPacketThatCannotBeWrittenFailsTheSend) {
    FirmwareBuffer buffer{};
    driver_.SetWriteResult(kRefused);
    int result = 0;  // the driver's error line pauses on the clock
    RunWithClock(clock, [&] { result = SendFirmwareImage(run_, buffer, 100); });
    EXPECT_EQ(result, kSendStartFailed);
    EXPECT_TRUE(Contains(console.Output(),
                         "ERROR 11: Sending Start Upload Procedure to Security Module.\n"
                         "ERROR 13: Sending File to Security Module.\n"));
    EXPECT_FALSE(Contains(console.Output(), "Bytes Left"));
}

TEST_F(UploadTest, TheTraceCodeMenuSendsTheKeyWithItsSwitch) {
    console.AddKeys("1k0kx");
    const std::int64_t startMs = clock.TickMs();
    EXPECT_EQ(TraceMenu(), 0);
    EXPECT_EQ(SystemPackets(),
              (std::vector<Bytes>{Packet(0x0C, {'1', '1'}), Packet(0x0C, {'0', '0'})}));
    EXPECT_GE(clock.TickMs() - startMs, 4000);
    const std::string shown = console.Output();
    EXPECT_EQ(Occurrences(shown, "***** Trace Code Menu *****"), 3);
    EXPECT_TRUE(Contains(shown,
                         "\nEnter Function :1\n\nEnabling Code, Please Wait...\n"
                         "\nCode Enabled.\n\nPress any key to continue"));
    EXPECT_TRUE(Contains(shown,
                         "\nEnter Function :0\n\nDisabling Code, Please Wait...\n"
                         "\nCode Disabled.\n"));
    driver_.SetWriteResult(kRefused);
    console.AddKeys("2");
    EXPECT_NE(TraceMenu(), 0);
    EXPECT_TRUE(Contains(console.Output(), "ERROR 11: Sending Trace Code to Security Module.\n"));
}

}  // namespace
}  // namespace lane::moxtel::test
