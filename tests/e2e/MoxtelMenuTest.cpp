// The utility's service menus driven through standard input against lanesim: the way from the
// main menu to the trace code menu, and a walk through every menu with the first request of each
// item as the module gets it.
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "tests/e2e/EndToEnd.h"

namespace lane::e2e {
namespace {

class MoxtelMenuTest : public LaneTest {};

TEST_F(MoxtelMenuTest, KeysOnStandardInputWalkToTheTraceCodeMenuAndDisableTracing) {
    SetBoardType("USB_SECURITY_MODULE");
    StartLanesim(
        "module version 447 date 01/15/2019 checksum 5A3C passed model 750\n"
        "module connect within 20000\n"
        "module expect 00 0C 02 30 30 6E within 20000\n");
    platform::ChildProcess moxtel;
    ASSERT_EQ(StartMoxtel(moxtel, {}), 0u);
    // Main menu 1, security module menu 9, trace code 0, a key after it, then out of every menu.
    ASSERT_EQ(moxtel.WriteInput("190kXXX"), 0u);
    moxtel.CloseInput();
    std::vector<std::string> lines;
    ReadUntil(moxtel, "\x01never printed\x01", &lines);
    EXPECT_EQ(ExitCode(moxtel), 0);
    std::string shown;
    for (const std::string& line : lines) {
        shown += line + "\n";
    }
    EXPECT_NE(shown.find("**** USB Utility Main Menu ****"), std::string::npos) << shown;
    EXPECT_NE(shown.find(" 9 - Enable/Disable Tracing Code."), std::string::npos);
    EXPECT_NE(shown.find("***** Trace Code Menu *****"), std::string::npos);
    EXPECT_NE(shown.find("Disabling Code, Please Wait..."), std::string::npos);
    EXPECT_NE(shown.find("Code Disabled."), std::string::npos);
    // The trace code packet reached the module's system port, and lanesim ended cleanly.
    EXPECT_EQ(ExitCode(lanesim), 0);
    EXPECT_NE(RecordSummary().find("00 0C 02 30 30 6E"), std::string::npos);
}

}  // namespace
}  // namespace lane::e2e

namespace lane::e2e {
namespace {

// One step of the walk: the keys typed (from the main menu back to it, or on in the menu the row
// before left open), and the first request of the item they run as the module receives it (a
// port-data packet on `port` unless `command` says otherwise).
struct WalkRow {
    const char* what;
    const char* keys;
    std::uint8_t port;
    std::string data;
    std::uint8_t command = 6;  // port data
};

// The USB wire form of a port-data packet, as the record and `module expect` spell it.
std::string WireHex(const WalkRow& row) {
    std::vector<std::uint8_t> bytes{row.port, row.command,
                                    static_cast<std::uint8_t>(row.data.size())};
    const std::string& data = row.data;
    bytes.insert(bytes.end(), data.begin(), data.end());
    unsigned sum = 0;
    for (const std::uint8_t byte : bytes) {
        sum += byte;
    }
    bytes.push_back(static_cast<std::uint8_t>(sum & 0xFFu));
    std::string hex;
    for (const std::uint8_t byte : bytes) {
        char two[4];
        std::snprintf(two, sizeof two, "%02X ", static_cast<unsigned>(byte));
        hex += two;
    }
    hex.pop_back();
    return hex;
}

const std::vector<WalkRow>& WalkRows() {
    static const std::vector<WalkRow> rows = {
        {"safety switches", "12\rkX", 6, "ZC?"},
        {"cash pocket sensor", "13\rkX", 6, "ZD?"},
        {"Bizerba interface", "14\rkX", 6, "ZE?"},
        {"proximity calibration", "15kkX", 6, "ZP1"},
        {"high weight capacity", "16kX", 6, "ZH?"},
        {"EAS light as lane light", "17kX", 6, "ZA?"},
        {"all 3 EAS lights", "18kX", 6, "Z9?"},
        {"trace code", "190kXX", 0, "00", 0x0C},
        {"bill acceptor status", "22XX", 5, "B1"},
        {"bezel type", "23kX", 5, "BF"},
        {"curtain break window", "41\rkX", 6, "A5"},
        {"curtain saturation window", "42\rkX", 6, "A9"},
        {"EAS light on time", "5110\rkX", 6, std::string{'X', '1', 10}},
        {"EAS controller type", "523kX", 6, "X23"},
        {"EAS enable", "53kX", 6, "X5"},
        {"EAS disable", "54kX", 6, "X6"},
        {"hardtag status", "55kX", 6, "X4"},
        {"EAS enable through the service port", "56kX", 6, "X8"},
        {"EAS disable through the service port", "57kX", 6, "X7"},
        // One visit of the coin dispenser menu (it waits for the dispenser's configuration).
        {"coin dispenser status", "61k", 5, "A1"},
        {"coin dispenser configuration", "2Xk", 5, "A4"},
        {"coin dispense speed", "5\rX", 5, "A5"},
        {"carousel config options", "71k", 4, "I"},
        {"carousel reset", "2k", 4, "R"},
        {"carousel zero", "3k", 4, "Z"},
        {"E-Box factory defaults", "4DYk", 4, "\rDEFAULT\n"},
        {"filter mode", "66k", 4, "\rO\n"},
        {"weight rounding", "74kX", 4, "\rO\n"},
        {"UPS connect", "8k", 3, "Y"},
        {"UPS config options", "1kX", 3, "s"},
        {"conveyor safety switches test", "T14X ", 6, "C4"},
        {"cash pocket test", "21 X", 6, "ZDS"},
        {"coupon box test", "3SX ", 6, "PS"},
        {"red/green button and UPS test", "4  ", 6, "ZP"},
        {"scale display", "51 X ", 6, "S5"},
        {"scale noise analysis", "2x\rX", 6, "SG"},
        {"lane light test", "60X ", 6, "L01"},
        {"Fujitsu status and error data", "X31X", 5, "D5"},
        {"Fujitsu log data", "2X", 5, std::string{'D', '4', 0x60, 0x12, 0x01, 0x00, 0x1C}},
        {"Fujitsu thickness sensor", "3XX", 5,
         std::string{'D', '4', 0x60, 0x01, '\xFF', 0x00, 0x00, 0x01, 0x00, 0x1C}},
    };
    return rows;
}

// Every menu by keys on standard input: each row's item runs and its first request reaches the
// module in the order typed; then the input ends and the run leaves every menu with exit code 0.
TEST_F(MoxtelMenuTest, KeysWalkEveryMenuAndEachItemsFirstRequestReachesTheModule) {
    SetBoardType("USB_SECURITY_MODULE");
    std::string scenario =
        "module version 470 date 01/15/2019 checksum 5A3C passed model 750\n"
        "module coin-dispenser model t-flex\n"
        "module connect within 30000\n";
    std::string keys;
    for (const WalkRow& row : WalkRows()) {
        scenario += "module expect " + WireHex(row) + " within 60000\n";
        keys += row.keys;
    }
    StartLanesim(scenario);
    platform::ChildProcess moxtel;
    ASSERT_EQ(StartMoxtel(moxtel, {}), 0u);
    ASSERT_EQ(moxtel.WriteInput(keys), 0u);
    moxtel.CloseInput();
    std::vector<std::string> lines;
    ReadUntil(moxtel, "\x01never printed\x01", &lines, 120000);
    EXPECT_EQ(ExitCode(moxtel), 0);
    std::string shown;
    for (const std::string& line : lines) {
        shown += line + "\n";
    }
    // lanesim met every expected request in order (or it ends with a timeout's exit code).
    EXPECT_EQ(ExitCode(lanesim), 0) << shown;
    const std::string record = RecordSummary();
    std::size_t at = 0;
    for (const WalkRow& row : WalkRows()) {
        at = record.find(WireHex(row), at);
        ASSERT_NE(at, std::string::npos) << row.what << "\n" << record;
    }
    for (const char* title :
         {"**** Security Module Menu ****", "**** Bill Acceptor Menu ****",
          "**** Curtain Menu ****", "**** Sensormatic Menu ****",
          "Proximity Sensor Calibration Passed.", "EAS as Lane Light is Enabled",
          "Controller Enabled", "Controller Disabled"}) {
        EXPECT_NE(shown.find(title), std::string::npos) << title << "\n" << shown;
    }
}

}  // namespace
}  // namespace lane::e2e

namespace lane::e2e {
namespace {

// Unattended without a command: the main menu is drawn once and the run ends without reading a
// key (standard input stays open, so a key read would never return).
TEST_F(MoxtelMenuTest, SuppressedAcknowledgeDrawsTheMainMenuOnceAndEnds) {
    SetBoardType("USB_SECURITY_MODULE");
    StartLanesim(
        "module version 447 date 01/15/2019 checksum 5A3C passed model 750\n"
        "module connect within 20000\n"
        "module expect 06 06 02 5A 35 9D within 20000\n");
    platform::ChildProcess moxtel;
    ASSERT_EQ(StartMoxtel(moxtel, {"-SuppressAcknowledgeResults", "-ManufacturingMode"}), 0u);
    std::vector<std::string> lines;
    ReadUntil(moxtel, "\x01never printed\x01", &lines);
    EXPECT_EQ(ExitCode(moxtel), 0);
    int menus = 0;
    for (const std::string& line : lines) {
        menus += line.find("**** USB Utility Main Menu ****") != std::string::npos ? 1 : 0;
    }
    EXPECT_EQ(menus, 1);
    EXPECT_EQ(ExitCode(lanesim), 0);
}

}  // namespace
}  // namespace lane::e2e
