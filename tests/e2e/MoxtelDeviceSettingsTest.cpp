// End to end: the real Moxtel runs the coin speed, the cash buffer zeroing, one lane setting of
// each kind and the hardware version report against lanesim's module, whose record shows every
// byte the utility sent and what the devices behind the module did with it.
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "platform/File.h"
#include "tests/e2e/EndToEnd.h"

namespace lane::e2e {
namespace {

constexpr std::int64_t kRunTimeoutMs = 60000;

// A USB wire packet in lanesim's hex form: DA, DC, DL, data, checksum.
std::string WireHex(std::uint8_t port, const std::string& data) {
    std::vector<std::uint8_t> bytes{port, 6, static_cast<std::uint8_t>(data.size())};
    bytes.insert(bytes.end(), data.begin(), data.end());
    unsigned sum = 0;
    for (const std::uint8_t byte : bytes) {
        sum += byte;
    }
    bytes.push_back(static_cast<std::uint8_t>(sum & 0xFF));
    std::string hex;
    for (const std::uint8_t byte : bytes) {
        char pair[4];
        std::snprintf(pair, sizeof pair, "%s%02X", hex.empty() ? "" : " ", byte);
        hex += pair;
    }
    return hex;
}

class MoxtelDeviceSettingsTest : public LaneTest {
  protected:
    MoxtelDeviceSettingsTest() { SetBoardType("USB_SECURITY_MODULE"); }

    // Runs Moxtel to its end; its exit code, with what it showed in `output`.
    int RunMoxtel(const std::vector<std::string>& arguments, std::string& output) {
        platform::ChildProcess moxtel;
        EXPECT_EQ(StartMoxtel(moxtel, arguments), 0u);
        moxtel.CloseInput();
        std::string line;
        output.clear();
        while (moxtel.ReadLine(line, kRunTimeoutMs) == 0) {
            output += line + "\n";
        }
        return ExitCode(moxtel);
    }

    // The text after `label` on its line of `output`.
    static std::string After(const std::string& output, const std::string& label) {
        const std::size_t at = output.find(label);
        if (at == std::string::npos) {
            return "";
        }
        const std::size_t from = at + label.size();
        return output.substr(from, output.find('\n', from) - from);
    }

    std::string Record() const { return testing::ReadWholeFile(root / "record.txt"); }
};

TEST_F(MoxtelDeviceSettingsTest, CoinSpeedCashBuffersAndLaneSettingsReachTheirDevices) {
    const std::string speed = WireHex(5, "AA\xB4");
    const std::string safetySwitch = WireHex(6, "ZC1");
    const std::string curtain = WireHex(6, "A4,");
    const std::string easLights = WireHex(6, "Z91");
    StartLanesim(
        "module version 447 date 01/15/2019 checksum 5A3C passed model 750\n"
        "module coin-dispenser model t-flex\n"
        "module lane-setting Z C 44\n"
        "module lane-setting A 5 32\n"
        "module connect within 30000\n"
        "module expect " +
        speed +
        " within 60000\n"
        "module expect 05 06 0E 53 35 within 60000\n"
        "module expect " +
        safetySwitch +
        " within 60000\n"
        "module expect " +
        curtain +
        " within 60000\n"
        "module expect " +
        easLights + " within 60000\n");
    std::string output;
    EXPECT_EQ(RunMoxtel({"-SetCoinSpeed", "180"}, output), 0) << output;
    EXPECT_NE(output.find("Update Complete!"), std::string::npos) << output;

    EXPECT_EQ(RunMoxtel({"-ZeroCashBuffers"}, output), 0) << output;
    EXPECT_NE(output.find("Cash Buffers have been Zeroed!"), std::string::npos) << output;
    // The date and time shown are the ones sent: MMDD20YYHHMM.
    const std::string date = After(output, "Date of Zeroing :");
    const std::string time = After(output, "Time of Zeroing :");
    ASSERT_EQ(date.size(), 8u) << output;
    ASSERT_EQ(time.size(), 8u) << output;
    const std::string stamp = date.substr(0, 2) + date.substr(3, 2) + "20" + date.substr(6, 2) +
                              time.substr(0, 2) + time.substr(3, 2);

    EXPECT_EQ(RunMoxtel({"-SetSafetySwitchEnable"}, output), 0) << output;
    EXPECT_NE(output.find("Current Status of Conveyor Safety Switch is Disabled\n\n"
                          "Current Status of Conveyor Safety Switch is Enabled Type 1"),
              std::string::npos)
        << output;
    EXPECT_EQ(RunMoxtel({"-SetCurtainBreakWindow", "300"}, output), 0) << output;
    EXPECT_NE(output.find("Current Curtain Break Window Value:50\n\n"
                          "Current Curtain Break Window Value:44"),
              std::string::npos)
        << output;
    EXPECT_EQ(RunMoxtel({"-SetEPSFlash"}, output), 0) << output;
    EXPECT_NE(output.find("All 3 EAS as Lane Light is Enabled"), std::string::npos) << output;
    EXPECT_EQ(ExitCode(lanesim), 0);

    const std::string summary = RecordSummary();
    for (const std::string& packet :
         {speed, WireHex(5, "S5" + stamp), safetySwitch, curtain, easLights}) {
        EXPECT_NE(summary.find(" " + packet + "\n"), std::string::npos) << packet << "\n"
                                                                        << summary;
    }
    const std::string record = Record();
    for (const std::string& note :
         {std::string("coin dispenser speed 180"), "cash buffers zeroed " + stamp,
          std::string("lane setting ZC = 31"), std::string("curtain break window = 44"),
          std::string("lane setting Z9 = 31")}) {
        EXPECT_NE(record.find(note), std::string::npos) << note;
    }
}

TEST_F(MoxtelDeviceSettingsTest, TheHardwareVersionReportGoesIntoItsFileUnlessItIsReadOnly) {
    StartLanesim(
        "module version 400 date 01/15/2019 checksum 5A3C passed model 750\n"
        "module coin-dispenser model cx25\n"
        "module coin-dispenser firmware CX2.07\n"
        "module connect within 30000\n"
        "module expect " +
        WireHex(5, "A3") + " within 60000\n");
    const auto file = root / "c/FirmwareUpdate/Hardware.ini";
    std::filesystem::create_directories(file.parent_path());
    std::ofstream(file) << "[Lane]\r\n";
    ASSERT_EQ(platform::SetFileAttributes(file.string(), platform::kFileAttributeReadOnly), 0u);
    std::string output;
    EXPECT_EQ(RunMoxtel({"-HardwareVersionRequest", "c:\\FirmwareUpdate\\Hardware.ini"}, output),
              0);
    EXPECT_NE(output.find("Error 1 with Config File c:\\FirmwareUpdate\\Hardware.ini"),
              std::string::npos)
        << output;
    EXPECT_EQ(testing::ReadWholeFile(file), "[Lane]\r\n");

    ASSERT_EQ(platform::SetFileAttributes(file.string(), platform::kFileAttributeNormal), 0u);
    EXPECT_EQ(RunMoxtel({"-HardwareVersionRequest", "c:\\FirmwareUpdate\\Hardware.ini"}, output),
              0);
    EXPECT_EQ(ExitCode(lanesim), 0);
    const std::string written = testing::ReadWholeFile(file);
    for (const char* line :
         {"SecurityModule_Description=Corlan Security Module\r\n",
          "SecurityModule_Version=04.00 01/15/2019 5A3C\r\n",
          "BillAcceptor_Description=SC Series Bill Acceptor\r\n", "CoinAcceptor_Type=CF9520\r\n",
          "BillDispenser_Description=Diebold Bill Dispenser\r\n", "BillDispenser_Type=MMD\r\n",
          "CoinDispenser_Description=CX25/Hopper Coin Dispenser\r\n", "CoinDispenser_Type=CX25\r\n",
          "CoinDispenser_Version=CX2.07\r\n"}) {
        EXPECT_NE(written.find(line), std::string::npos) << line << written;
    }
    // The requests that filled it: the coin dispenser's model and firmware version.
    const std::string summary = RecordSummary();
    EXPECT_NE(summary.find(" " + WireHex(5, "A5") + "\n"), std::string::npos) << summary;
    EXPECT_NE(summary.find(" " + WireHex(5, "A3") + "\n"), std::string::npos) << summary;
}

}  // namespace
}  // namespace lane::e2e
