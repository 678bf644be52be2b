// The device setting commands against the link rig: the lane settings family (values by module
// version, the operator's answers, the version gate), the curtain window, the EAS lights through
// the dispatch, the cash counting buffers and the hardware version report.
#include <filesystem>
#include <fstream>

#include "Moxtel/CommandDispatch.h"
#include "Moxtel/Command_CashCounting.h"
#include "Moxtel/Command_HardwareVersionRequest.h"
#include "Moxtel/Command_SetSensors.h"
#include "Moxtel/DeviceSettingCommands.h"
#include "Moxtel/PortRequest.h"
#include "platform/File.h"
#include "platform/IniFile.h"
#include "tests/Moxtel/ScriptedModule.h"

namespace lane::moxtel::test {
namespace {

constexpr std::uint8_t kPort5 = link::kCashPort;
constexpr std::uint8_t kPort6 = link::kServicePort;

class DeviceSettingsTest : public ModuleLinkRig {
  protected:
    explicit DeviceSettingsTest(const std::string& board = "USB_SECURITY_MODULE")
        : ModuleLinkRig(board) {
        respond = module.Responder([this](const link::LinkPacket& packet) { Queue(packet); });
        module.Answer(kPort5, "S4", {"s4"});
        identity.version = 447;
        identity.versionText = "04.47 01/15/2019";
        identity.checksumText = "5A3C";
        identity.checksumStatus = '0';
    }
    int Run(const std::function<int(UtilityRun&)>& handler) {
        int result = -1;
        Drive([&] { result = handler(run); });
        return result;
    }
    // The console output since the last call.
    std::string Shown() {
        const std::string all = console.Output();
        std::string fresh = all.substr(shownSoFar_);
        shownSoFar_ = all.size();
        return fresh;
    }

    ScriptedModule module;

  private:
    std::size_t shownSoFar_ = 0;
};

TEST_F(DeviceSettingsTest, EachSettingReadsWritesItsValueAndShowsTheAnswer) {
    struct Case {
        SensorSetting setting;
        unsigned version;
        int optionSetting;
        std::string readReply;
        std::string written;  // the write request's data
        const char* before;
        const char* after;
    };
    const Case cases[] = {
        // Modules below 4.05 know only E and D: type 2 disables.
        {SensorSetting::SafetySwitch, 404, 2, "zCE", "ZCD",
         "Current Status of Conveyor Safety Switch is Enabled Type 1",
         "Current Status of Conveyor Safety Switch is Disabled"},
        {SensorSetting::SafetySwitch, 405, 2, "zC1", "ZC2",
         "Current Status of Conveyor Safety Switch is Enabled Type 1",
         "Current Status of Conveyor Safety Switch is Enabled Type 2"},
        {SensorSetting::BDSensor, 447, 1, "zDD", "ZDE",
         "Current Status of BD Cash Pocket Sensor is Disabled",
         "Current Status of BD Cash Pocket Sensor is Enabled"},
        {SensorSetting::BizerbaScale, 250, 0, "zE1", "ZE0",
         "Current Status of Bizerba Scale Interface is Enabled",
         "Current Status of Bizerba Scale Interface is Disabled"},
        {SensorSetting::Flatpack, 447, 1, "zF0", "ZF1",
         "Current Status of Flatpack Sensor is Disabled",
         "Current Status of Flatpack Sensor is Enabled"},
    };
    for (const Case& c : cases) {
        identity.version = c.version;
        options.setting = c.optionSetting;
        const std::string read = c.written.substr(0, 2) + "?";
        module.Answer(kPort6, read, {c.readReply});
        module.Answer(kPort6, c.written, {"z" + c.written.substr(1)});
        const std::size_t before = module.Requests().size();
        EXPECT_EQ(Run([&](UtilityRun& r) { return SetSensorItem(r, c.setting, false); }), 0)
            << c.written;
        EXPECT_EQ(
            std::vector<std::string>(module.Requests().begin() + before, module.Requests().end()),
            (std::vector<std::string>{"6" + read, "6" + c.written}));
        const std::string shown = Shown();
        EXPECT_TRUE(Contains(shown, std::string(c.before) + "\n\n" + c.after + "\n")) << shown;
        EXPECT_EQ(Written().back(), Wire(kPort6, 3, "")) << c.written;  // port 6 closed
    }
}

TEST_F(DeviceSettingsTest, TheOperatorsAnswerAndTheVersionGate) {
    module.Answer(kPort6, "ZC?", {"zC0"});
    module.Answer(kPort6, "ZC2", {"zC2"});
    identity.version = 405;
    console.AddKeys("2\r");
    EXPECT_EQ(
        Run([](UtilityRun& r) { return SetSensorItem(r, SensorSetting::SafetySwitch, true); }), 0);
    std::string shown = Shown();
    EXPECT_TRUE(
        Contains(shown,
                 "Enter 0-Disable,1-Enable(Mechanical), 2-Enable(Opto) Conveyor Safety "
                 "Switches:2\n\nCurrent Status of Conveyor Safety Switch is Enabled Type 2"))
        << shown;
    EXPECT_TRUE(Contains(CaptureNow(), "Entered Answer : 2\n"));

    // An empty answer changes nothing.
    console.AddKeys("\r");
    const std::size_t before = module.Requests().size();
    EXPECT_EQ(
        Run([](UtilityRun& r) { return SetSensorItem(r, SensorSetting::SafetySwitch, true); }), 0);
    EXPECT_EQ(module.Requests().size(), before + 1);  // the read only
    EXPECT_TRUE(Contains(Shown(), "No Change!\n"));

    // Too old a module: nothing asked.
    identity.version = 334;
    EXPECT_NE(Run(Command_SetSafetySwitch), 0);
    EXPECT_EQ(module.Requests().size(), before + 1);
    EXPECT_TRUE(Contains(Shown(), "ERROR 1E: Security Module Version Must be >= 3.35\n"));

    // A flatpack sensor that does not answer its first read.
    identity.version = 447;
    const std::int64_t start = clock.TickMs();
    EXPECT_NE(Run(Command_SetFlatpack), 0);
    EXPECT_GE(clock.TickMs() - start, 1000);
    shown = Shown();
    EXPECT_TRUE(Contains(shown,
                         "Security Module Version 04.47 01/15/2019\n"
                         "USB Security Module Checksum 5A3C PASSED!\n"))
        << shown;
    EXPECT_TRUE(Contains(shown, "ERROR 13: USB Security Module.\n"));
}

TEST_F(DeviceSettingsTest, TheCurtainWindowIsOneByteAndReadAgainAfterTheWrite) {
    module.Answer(kPort6, "A5", {"a5\x32"});
    module.Answer(kPort6, "A4", {"a4,"});
    options.curtainBreakWindow = 300;
    EXPECT_EQ(Run(Command_SetCurtainBreakWindow), 0);
    EXPECT_EQ(module.Requests(), (std::vector<std::string>{"6A5", "6A4,", "6A5"}));
    EXPECT_TRUE(Contains(Shown(),
                         "Current Curtain Break Window Value:50\n\n"
                         "Current Curtain Break Window Value:50\n"));
    EXPECT_TRUE(Contains(CaptureNow(), "Value = 44\n"));
}

TEST_F(DeviceSettingsTest, EpsllFlashSetsBothLightsThroughTheDispatch) {
    module.Answer(kPort6, "Z9?", {"z90"});
    module.Answer(kPort6, "Z91", {"z91"});
    module.Answer(kPort6, "ZB?", {"zB7"});
    module.Answer(kPort6, "ZB1", {"zB1"});
    UtilityParts parts;
    AddDeviceSettingCommands(parts.commands);
    options.commandName = kCommandEPSLLFlash;
    int exitCode = -1;
    Drive([&] { exitCode = DispatchCommand(run, parts); });
    EXPECT_EQ(exitCode, 0);
    EXPECT_EQ(module.Requests(), (std::vector<std::string>{"6Z9?", "6Z91", "6ZB?", "6ZB1"}));
    const std::string shown = Shown();
    EXPECT_TRUE(Contains(shown,
                         "\n\nCurrent Status:\nAll 3 EAS as Lane Light is Disabled\n\n"
                         "\nAll 3 EAS as Lane Light is Enabled\n\n"))
        << shown;
    EXPECT_TRUE(Contains(shown, "Invalid Setting!\n\n\nTop EAS as Lane Light is Enabled\n\n"));

    // A module that does not answer: the command still ends with 0.
    options.commandName = kCommandSetBizerbaScale;
    Drive([&] { exitCode = DispatchCommand(run, parts); });
    EXPECT_EQ(exitCode, 0);
    EXPECT_TRUE(Contains(Shown(), "ERROR 10: Get Security Module Bizerba Scale Status Failed.\n"));
}

TEST_F(DeviceSettingsTest, CashBuffersAreZeroedWithTheDateAndDumpedWithTheirCounts) {
    EXPECT_EQ(ZeroingStamp("12/06/26", "14:05:33"), "120620261405");

    module.Answer(kPort5, "S5", {"s5"});
    options.commandName = kCommandZeroCashBuffers;
    EXPECT_EQ(Run(Command_CashCounting), 0);
    EXPECT_EQ(module.Requests().back(), "5S5030420251020");
    EXPECT_TRUE(Contains(Shown(), "USB Security Module Zero Cash Counting Buffers\n"));
    EXPECT_TRUE(Contains(console.Output(), "Date of Zeroing :03/04/25\nTime of Zeroing :10:20:"));
    EXPECT_TRUE(Contains(console.Output(), "Cash Buffers have been Zeroed!\n"));

    const auto counts = [](const std::string& mark, std::initializer_list<int> values) {
        std::string data = "s6" + mark;
        for (const int value : values) {
            data.push_back(static_cast<char>(value >> 8));
            data.push_back(static_cast<char>(value & 0xFF));
        }
        return data;
    };
    // A reply without the date mark comes first and is passed over.
    module.Answer(kPort5, "S6",
                  {"s6XX", "s6DT120620261405", counts("BA", {1, 2, 3, 4, 5, 6, 7, 8, 9}),
                   counts("BD", {10, 20, 30, 40}), counts("CA", {256, 0, 0, 0, 0, 0, 0, 0, 1}),
                   counts("CD", {65535})});
    options.commandName = kCommandDumpCashBuffers;
    EXPECT_EQ(Run(Command_CashCounting), 0);
    EXPECT_TRUE(Contains(Shown(),
                         "Date and Time of Last Zeroing\n120620261405\n"
                         "Bill Acceptor Data:\n1,2,3,4,5,6,7,8,9\n"
                         "Bill Dispenser Data:\n10,20,30,40\n"
                         "Coin Acceptor Data:\n256,0,0,0,0,0,0,0,1\n"
                         "Coin Dispenser Data:\n65535,0,0,0,0,0,0,0,0\n"
                         "Cash Buffers have been Dumped!\n"));

    // Nothing answers the zeroing.
    module.Answer(kPort5, "S5", {});
    options.commandName = kCommandZeroCashBuffers;
    EXPECT_EQ(Run(Command_CashCounting), kPortNoReply);
    EXPECT_TRUE(Contains(Shown(), "ERROR 10: Zero Cash Buffers Failed.\n"));
}

class TmcbDeviceSettingsTest : public DeviceSettingsTest {
  protected:
    TmcbDeviceSettingsTest() : DeviceSettingsTest("TMCB_SECURITY_MODULE") {}
};

TEST_F(TmcbDeviceSettingsTest, TheUsbOnlyItemsRefuseAnotherBoard) {
    options.commandName = kCommandZeroCashBuffers;
    EXPECT_NE(Run(Command_CashCounting), 0);
    EXPECT_NE(Run(Command_SetFlatpack), 0);
    EXPECT_NE(Run(Command_SetSafetySwitch), 0);
    EXPECT_EQ(Shown(),
              "ERROR 1D: System is not USB!\n"
              "ERROR 1D: System is not USB.\n"
              "ERROR 1D: System is not USB!\n");
    EXPECT_TRUE(Written().empty());
}

class HardwareVersionRequestTest : public DeviceSettingsTest {
  protected:
    HardwareVersionRequestTest() {
        options.hardwareVersionFile = "c:\\FirmwareUpdate\\Hardware.ini";
        file = root / "c/FirmwareUpdate/Hardware.ini";
        std::ofstream(file) << "[Lane]\r\nNumber=4\r\n";
    }
    std::string Key(const std::string& key) {
        std::string value;
        return platform::FindIniValue(ReadFile(file), kHardwareVersionSection, key, value)
                   ? value
                   : "<none>";
    }
    std::filesystem::path file;
};

TEST_F(HardwareVersionRequestTest, EveryDeviceIsWrittenIntoTheFile) {
    module.Answer(kPort5, "BB", {"bB123"});
    module.Answer(kPort5, "BC", {"bC456"});
    module.Answer(kPort5, "B4", {std::string("b1\x01\x02\x03\x04\x60\x1f\x05", 9)});
    module.Answer(kPort5, "BA", {"bAUSD"});
    std::string fujitsu(56, '0');
    fujitsu.replace(42, 12, "261206F53V12");
    module.Answer(kPort5, "D4", {"d4D" + fujitsu, "d4X"});
    module.Answer(kPort5, "A5", {"a5C2X5"});
    module.Answer(kPort5, "A3", {"a3CX2.07"});
    EXPECT_EQ(Run(Command_HardwareVersionRequest), 0);
    const std::pair<const char*, const char*> keys[] = {
        {"SecurityModule_Description", "Corlan Security Module"},
        {"SecurityModule_Manufacturer", "Quarnel"},
        {"SecurityModule_Type", "USB"},
        {"SecurityModule_Version", "04.47 01/15/2019 5A3C"},
        {"BillAcceptor_Description", "SC Series Bill Acceptor"},
        {"BillAcceptor_Type", "LE3900"},
        {"BillAcceptor_Version", "123-456"},
        {"CoinAcceptor_Type", "CF9520"},
        {"CoinAcceptor_Version", "N/A"},
        {"BillDispenser_Description", "Fujitsu Bill Dispenser"},
        {"BillDispenser_Type", "F53"},
        {"BillDispenser_Version", "F53V12 12/06/2026"},
        {"CoinDispenser_Description", "CX25/Hopper Coin Dispenser"},
        {"CoinDispenser_Manufacturer", "Telequip"},
        {"CoinDispenser_Type", "CX25"},
        {"CoinDispenser_Version", "CX2.07"},
    };
    for (const auto& [key, value] : keys) {
        EXPECT_EQ(Key(key), value) << key;
    }
    EXPECT_TRUE(Contains(ReadFile(file), "[Lane]\r\nNumber=4\r\n"));
    EXPECT_EQ(SecurityModuleDescription(399), "Dessow Security Module");
    EXPECT_EQ(SecurityModuleDescription(250), "KEL700 Security Module");
    EXPECT_EQ(SecurityModuleDescription(150), "Not Reported Security Module");
}

TEST_F(HardwareVersionRequestTest, AReadOnlyOrMissingFileOrANewerModuleGetsNothing) {
    ASSERT_EQ(platform::SetFileAttributes(file.string(), platform::kFileAttributeReadOnly), 0u);
    EXPECT_NE(Run(Command_HardwareVersionRequest), 0);
    ASSERT_EQ(platform::SetFileAttributes(file.string(), platform::kFileAttributeNormal), 0u);
    options.hardwareVersionFile = "c:\\FirmwareUpdate\\Missing.ini";
    EXPECT_NE(Run(Command_HardwareVersionRequest), 0);
    EXPECT_EQ(Shown(),
              "Error 1 with Config File c:\\FirmwareUpdate\\Hardware.ini\n"
              "Error -1 with Config File c:\\FirmwareUpdate\\Missing.ini\n");
    options.hardwareVersionFile = "c:\\FirmwareUpdate\\Hardware.ini";
    identity.version = 500;
    EXPECT_EQ(Run(Command_HardwareVersionRequest), 0);
    EXPECT_EQ(ReadFile(file), "[Lane]\r\nNumber=4\r\n");
    EXPECT_TRUE(Written().empty());
}

}  // namespace
}  // namespace lane::moxtel::test
