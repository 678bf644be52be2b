// The coin dispenser's exchanges against the link rig: the request bytes, what each reply fills
// in, the failures of each group, the configuration block bounded to its image, the menu items
// and the unattended SetCoinSpeed and ReportCoinDispenserStatus.
#include "Moxtel/Command_CoinDispenser.h"

#include "tests/Moxtel/ScriptedModule.h"

namespace lane::moxtel::test {
namespace {

constexpr std::uint8_t kPort5 = link::kCashPort;

// The 48 bytes of a block reply starting at `offset`: each byte its own position (mod 256).
std::string BlockReply(std::uint8_t offset) {
    std::string reply = "a7";
    reply.push_back(static_cast<char>(offset));
    for (std::size_t i = 0; i < kCoinBlockReplyBytes; ++i) {
        reply.push_back(static_cast<char>((offset + i) & 0xFF));
    }
    return reply;
}

class CoinDispenserTest : public ModuleLinkRig {
  protected:
    CoinDispenserTest() {
        respond = module.Responder([this](const link::LinkPacket& packet) { Queue(packet); });
        module.Answer(kPort5, "S4", {"s4"});
        identity.version = 452;
        identity.versionText = "04.52 01/15/2019";
    }
    int Call(const std::function<int(CCoinDispenser&)>& call) {
        int result = -1;
        Drive([&] { result = call(dispenser); });
        return result;
    }
    // The wire bytes of the last request the utility wrote that was not an acknowledgement.
    Bytes LastRequest() const {
        const std::vector<Bytes> written = Written();
        for (auto it = written.rbegin(); it != written.rend(); ++it) {
            if (!((*it)[0] == kPort5 && (*it)[3] == 'S' && (*it)[4] == '0')) {
                return *it;
            }
        }
        return {};
    }

    ScriptedModule module;
    SecurityModuleCommands commands{run};
    CCoinDispenser dispenser{run, commands};
};

TEST_F(CoinDispenserTest, EachRequestWritesItsBytesAndReadsItsReply) {
    struct Case {
        const char* name;
        std::function<int(CCoinDispenser&)> call;
        std::string request;  // data after DA, DC, DL
        std::string reply;    // after the sequence byte
        std::function<bool(const CoinDispenserInfo&)> check;
    };
    const Case cases[] = {
        {"status", [](auto& d) { return d.RequestStatus(); }, "A1", "a1\x10",
         [](const auto& i) { return i.statusBits == 0x10 && !i.unavailable; }},
        {"offline status", [](auto& d) { return d.RequestStatus(); }, "A1", "a1\x04",
         [](const auto& i) { return i.unavailable; }},
        {"firmware", [](auto& d) { return d.RequestFirmwareVersion(); }, "A3", "a3CX2.07",
         [](const auto& i) { return i.firmwareVersion == "CX2.07"; }},
        {"configuration", [](auto& d) { return d.RequestConfiguration(); }, "A4", "a4P SEK",
         [](const auto& i) { return i.configCode == 'P' && i.configText == "SEK"; }},
        {"model", [](auto& d) { return d.RequestModel(); }, "A5", "a5C2X5",
         [](const auto& i) {
             return i.productId == "C2X5" && i.model == CoinDispenserModel::Cx25;
         }},
        {"INI version", [](auto& d) { return d.RequestIniVersion(); }, "AC", "aCUS006",
         [](const auto& i) { return i.iniVersion == "US006"; }},
        {"bin status", [](auto& d) { return d.RequestBinStatus(); }, "AB", "aB\x09\x01",
         [](const auto& i) { return i.binBytes[0] == 9 && i.binBytes[1] == 1; }},
        {"set configuration", [](auto& d) { return d.SetConfiguration(']'); }, "A6]", "a6]",
         [](const auto&) { return true; }},
        {"EEPROM write", [](auto& d) { return d.WriteEeprom(89, 0x24); }, "A8\x59\x24", "a80",
         [](const auto&) { return true; }},
        {"speed", [](auto& d) { return d.SetDispenseSpeed(150); }, "AA\x96", "aA0",
         [](const auto&) { return true; }},
    };
    for (const Case& c : cases) {
        // Another device's reply and an unrelated coin dispenser reply come first.
        module.Answer(kPort5, c.request.substr(0, 2), {"b1", "a9", c.reply});
        EXPECT_EQ(Call(c.call), kCoinOk) << c.name;
        EXPECT_EQ(LastRequest(), Wire(kPort5, 6, c.request)) << c.name;
        EXPECT_TRUE(c.check(dispenser.Info())) << c.name;
    }
    // Every reply was acknowledged with its sequence byte: three per request.
    std::size_t acks = 0;
    for (const Bytes& written : Written()) {
        acks += written[0] == kPort5 && written[3] == 'S' && written[4] == '0' ? 1 : 0;
    }
    EXPECT_EQ(acks, 3 * std::size(cases));
}

TEST_F(CoinDispenserTest, FailuresAreShownWithTheirGroupsTexts) {
    struct Case {
        std::function<int(CCoinDispenser&)> call;
        int expected;
        const char* text;
    };
    // Nothing answers: each group's ERROR 40; a dispenser that answers '1' refuses the update.
    const Case noReply[] = {
        {[](auto& d) { return d.RequestStatus(); }, kCoinNoReply,
         "ERROR 40: Status Request Failed."},
        {[](auto& d) { return d.RequestBinStatus(); }, kCoinNoReply,
         "ERROR 40: Bin Status Request Failed."},
        {[](auto& d) { return d.SetDispenseSpeed(120); }, kCoinNoReply, "ERROR 40: Read Failed."},
    };
    for (const Case& c : noReply) {
        const std::int64_t start = clock.TickMs();
        EXPECT_EQ(Call(c.call), c.expected) << c.text;
        EXPECT_GE(clock.TickMs() - start, 25000) << c.text;  // a wait count of 250
        EXPECT_TRUE(Contains(console.Output(), std::string(c.text) + "\n")) << c.text;
    }
    EXPECT_TRUE(dispenser.Info().unavailable);

    module.Answer(kPort5, "A8", {"a81"});
    EXPECT_EQ(Call([](auto& d) { return d.WriteEeprom(12, 0); }), kCoinUpdateRefused);

    // A hundred replies that are not ours.
    const Case tooMany[] = {
        {[](auto& d) { return d.RequestModel(); }, kCoinTooManyPackets,
         "ERROR 42: Get Status Failed."},
        {[](auto& d) { return d.RequestBinStatus(); }, kCoinTooManyPackets,
         "ERROR 42: Get Bin Status Failed."},
        {[](auto& d) { return d.WriteEeprom(12, 1); }, kCoinTooManyPackets,
         "ERROR 42: Update Failed."},
    };
    for (const Case& c : tooMany) {
        for (int i = 0; i < 100; ++i) {
            Queue(PortData(kPort5, "\x01z9"));
        }
        EXPECT_EQ(Call(c.call), c.expected) << c.text;
        EXPECT_TRUE(Contains(console.Output(), std::string(c.text) + "\n")) << c.text;
    }

    driver.SetWriteResult(kWriteFailure);
    EXPECT_EQ(Call([](auto& d) { return d.RequestStatus(); }), kCoinWriteFailed);
    EXPECT_TRUE(Contains(console.Output(), "ERROR 11: Writing Security Module Data Failed.\n"));
}

TEST_F(CoinDispenserTest, TheBlockIsFilledFromFiveRepliesAndNeverPastItsImage) {
    // The first matching reply starts the block; the four after it are copied whatever they
    // say. One reaches past byte 251 (offset 240: 12 bytes fit), one starts past it.
    std::string offPort = BlockReply(96);
    offPort[1] = 'x';  // not 'a' '7': copied all the same
    std::string pastEnd = BlockReply(252);
    module.Answer(kPort5, "A7",
                  {"a1\x00", BlockReply(0), BlockReply(48), offPort, BlockReply(240), pastEnd});
    dispenser.Info().block.fill(0xEE);
    EXPECT_EQ(Call([](auto& d) { return d.ReadConfigurationBlock(); }), kCoinOk);
    const CoinDispenserBlock& block = dispenser.Info().block;
    for (std::size_t n = 0; n < 144; ++n) {
        EXPECT_EQ(block[n], n & 0xFF) << n;
    }
    for (std::size_t n = 144; n < 240; ++n) {
        EXPECT_EQ(block[n], 0) << n;  // cleared before the read, never sent
    }
    for (std::size_t n = 240; n < kCoinBlockSize; ++n) {
        EXPECT_EQ(block[n], n & 0xFF) << n;
    }

    // A short reply copies only what it holds.
    CoinDispenserBlock image{};
    link::LinkPacket shortReply = PortData(kPort5, std::string("\x01") + "a7" + "\x0A" + "xyz");
    EXPECT_EQ(CopyCoinBlockReply(image, shortReply), 3u);
    EXPECT_EQ(image[10], 'x');
    EXPECT_EQ(image[13], 0);
}

TEST_F(CoinDispenserTest, TextsOfStatusModelAndConfigurationCodes) {
    EXPECT_EQ(CoinStatusText(0x14), "Offline, Low Coins, ");
    EXPECT_EQ(CoinStatusText(0xE0), "Okay");
    EXPECT_EQ(CoinStatusText(0x1F), "Comm Error, Function Error, Offline, Busy, Low Coins, ");
    EXPECT_STREQ(CoinModelName('7'), "Invalid");
    EXPECT_EQ(CoinModelFromByte('7'), CoinDispenserModel::TFlex);

    struct Case {
        CoinDispenserModel model;
        std::uint8_t code;
        const char* line;
    };
    const Case lines[] = {
        {CoinDispenserModel::TFlex, 'P', "Cassette Config : Swedish = SEK"},
        {CoinDispenserModel::TFlex, 'Z', "Cassette Config : Invalid 5a = SEK"},
        {CoinDispenserModel::Cx25, 'e', "CX25 Bin Config : USA06 - USA = SEK"},
        {CoinDispenserModel::Cx25, ']', "CX25 Bin Config : Code = 5d = SEK"},
        {CoinDispenserModel::Hopper, 0x83, "CX Bin Config   : Croatia = SEK"},
        {CoinDispenserModel::Hopper, 'B', "CX Bin Config   : Invalid 42 = SEK"},
    };
    for (const Case& c : lines) {
        EXPECT_EQ(CoinConfigurationLine(c.model, c.code, "SEK"), c.line);
    }
    std::uint8_t code = 0;
    const char* line = nullptr;
    EXPECT_TRUE(CoinConfigurationForKey(CoinDispenserModel::TFlex, '7', code, line));
    EXPECT_EQ(code, 'P');
    EXPECT_FALSE(CoinConfigurationForKey(CoinDispenserModel::TFlex, '8', code, line));
    EXPECT_TRUE(CoinConfigurationForKey(CoinDispenserModel::Cx25, '2', code, line));
    EXPECT_EQ(code, ']');
    EXPECT_FALSE(CoinConfigurationForKey(CoinDispenserModel::Cx25, '9', code, line));
}

TEST_F(CoinDispenserTest, TheStatusScreenRechecksAnOfflineDispenserAndListsItsBlock) {
    module.Answer(kPort5, "A1", {"a1\x14"});
    Drive([&] { CoinDispenserStatusItem(dispenser); });
    std::string shown = console.Output();
    EXPECT_TRUE(Contains(shown,
                         "Current Status  :Offline, Low Coins, \n\nRe-Checking\n\n"
                         "Current Status  :Offline, Low Coins, \n"))
        << shown;
    EXPECT_FALSE(Contains(shown, "Firmware Version"));
    EXPECT_EQ(module.Requests(), (std::vector<std::string>{"5A1", "5A1"}));

    // Back on line: model, firmware and configuration, then the block's lines and the bins.
    module.Answer(kPort5, "A1", {"a1\x00"});
    module.Answer(kPort5, "A5", {"a5C2X5"});
    module.Answer(kPort5, "A3", {"a3CX2.07"});
    module.Answer(kPort5, "A4", {"a4e USD"});
    module.Answer(kPort5, "AB", {"aB\x09\x00"});
    dispenser.Info().iniVersion = "US006";
    CoinDispenserBlock& block = dispenser.Info().block;
    block[8] = 180;
    block[10] = 0x01;
    block[11] = 0x02;
    block[89] = 0x24;
    const std::string serial =
        "SN\x01"
        "42";
    std::copy(serial.begin(), serial.end(), block.begin() + 221);
    console.AddKeys("k");
    Drive([&] { CoinDispenserStatusItem(dispenser); });
    shown = console.Output().substr(shown.size());
    EXPECT_TRUE(Contains(shown,
                         "Current Status  :Okay\n"
                         "Dispenser Model : CX25/Hopper\n"
                         "Firmware Version: CX2.07\n"
                         "CX25 Bin Config : USA06 - USA = USD\n"
                         "INI Version     : US006\n"
                         "Coin Delay      : 180-ms\n"
                         "Even Depletion  : Disabled\n"
                         "Low Coin Signal : Enabled\n"
                         "BC Mode         : Enabled\n"
                         "Low Bin Status  : 1, 4, \n"
                         "Dispense below  : 258\n"
                         "Serial Number   : SN42\n"
                         "\n\nPress Any key to continue"))
        << shown;
}

TEST_F(CoinDispenserTest, OptionsAndSpeedAreWrittenWithTheirRangeChecks) {
    module.Answer(kPort5, "A8", {"a80"});
    module.Answer(kPort5, "AA", {"aA0"});
    dispenser.Info().block[89] = 0x20;
    console.AddKeys("Ek");
    Drive([&] { CoinDispenserOptionItem(dispenser, CoinDispenserOption::LowCoinSignal); });
    EXPECT_EQ(LastRequest(), Wire(kPort5, 6, "A8\x59\x24"));
    EXPECT_EQ(dispenser.Info().block[89], 0x24);
    EXPECT_TRUE(Contains(console.Output(), "Low Coin Alarm is Disabled\n"));
    EXPECT_TRUE(Contains(console.Output(), "Update Complete!\n\n"));
    // A refused write leaves the copy as the dispenser keeps it.
    module.Answer(kPort5, "A8", {"a81"});
    console.AddKeys("Dk");
    Drive([&] { CoinDispenserOptionItem(dispenser, CoinDispenserOption::LowCoinSignal); });
    EXPECT_EQ(LastRequest(), Wire(kPort5, 6, "A8\x59\x20"));
    EXPECT_EQ(dispenser.Info().block[89], 0x24);
    EXPECT_TRUE(Contains(console.Output(), "ERROR 44: Update to EEPROM Failed.\n"));
    module.Answer(kPort5, "A8", {"a80"});

    // The delay: 300 is taken as 44; 230 is too much for a hopper, not for a T-Flex.
    struct Case {
        const char* model;  // the model reply
        const char* typed;
        bool written;
    };
    const Case speeds[] = {
        {"a5C1X5", "300\r", false},
        {"a5C1X5", "230\r", false},
        {"a5T0FX", "230\r", true},
        {"a5T0FX", "99\r", false},
    };
    for (const Case& c : speeds) {
        module.Answer(kPort5, "A5", {c.model});
        const std::size_t before = module.Requests().size();
        const std::size_t shownBefore = console.Output().size();
        console.AddKeys(std::string(c.typed) + (c.written ? "k" : ""));
        Drive([&] { CoinDispenserSpeedItem(dispenser); });
        const bool written = module.Requests().size() > before + 1;
        EXPECT_EQ(written, c.written) << c.typed << c.model;
        const std::string shown = console.Output().substr(shownBefore);
        EXPECT_EQ(Contains(shown, "Invalid Range.\n"), !c.written) << c.typed;
        if (c.written) {
            EXPECT_EQ(LastRequest(), Wire(kPort5, 6, "AA\xE6"));
            EXPECT_EQ(dispenser.Info().block[8], 230);
        }
    }
}

TEST_F(CoinDispenserTest, TheConfigurationItemWritesTheCodeOfTheKeyForTheModel) {
    module.Answer(kPort5, "A4", {"a4B USD"});
    module.Answer(kPort5, "A6", {"a6P"});
    console.AddKeys("7k9k");
    Drive([&] { CoinDispenserConfigurationItem(dispenser); });
    Drive([&] { CoinDispenserConfigurationItem(dispenser); });
    EXPECT_EQ(module.Requests(), (std::vector<std::string>{"5A4", "5A6P", "5A4"}));
    const std::string shown = console.Output();
    EXPECT_TRUE(Contains(shown,
                         "**** Set Cassette/Bin Configuration ****\n\n"
                         "Cassette Config : USA = USD\n"
                         "\n\nConfigurations Codes\n\n"
                         "1 - USA\n2 - Canada\n3 - EURO\n4 - UK\n5 - Australia\n6 - Poland\n"
                         "7 - Sweden\nX - Exit\n\nEnter Code :7\n\nConfig Updated.\n"))
        << shown;
    EXPECT_TRUE(Contains(shown, "Enter Code :9\nInvalid Code!\n\n\nPress Any key to continue"));
}

TEST_F(CoinDispenserTest, TheMenuReadsTheDispenserFirstAndClosesThePortOnX) {
    module.Answer(kPort5, "A5", {"a5C2X5"});
    module.Answer(kPort5, "AC", {"aCUS006"});
    module.Answer(
        kPort5, "A7",
        {BlockReply(0), BlockReply(48), BlockReply(96), BlockReply(144), BlockReply(192)});
    console.AddKeys("X");
    const std::int64_t start = clock.TickMs();
    Drive([&] { CoinDispenserMenu(run); });
    EXPECT_GE(clock.TickMs() - start, 9000);
    EXPECT_EQ(module.Requests(), (std::vector<std::string>{"5S4", "5A5", "5AC", "5A7"}));
    const std::string shown = console.Output();
    EXPECT_TRUE(Contains(shown, "Dispenser INI Version :US006\n"));
    // Module 4.52 and a CX25: the speed and BC mode items are offered.
    EXPECT_TRUE(Contains(shown,
                         "5 - Set Coin Dispense Speed\n6 - Set Backwards Compatibility "
                         "Mode\nX - Exit\n\nEnter Function :X\n"))
        << shown;
    EXPECT_EQ(Written().back(), Wire(kPort5, 3, ""));
}

TEST_F(CoinDispenserTest, SetCoinSpeedWritesTheRunOptionsSpeed) {
    module.Answer(kPort5, "AA", {"aA0"});
    options.coinSpeed = 180;
    int result = -1;
    Drive([&] { result = Command_SetCoinSpeed(run); });
    EXPECT_EQ(result, 0);
    EXPECT_EQ(module.Requests(), (std::vector<std::string>{"5S4", "5AA\xB4"}));
    EXPECT_TRUE(Contains(console.Output(),
                         "Auto Update of Coin Dispense Speed, Value = 180\n"
                         "Opening Port 5 Cash Devices\n"));
    EXPECT_TRUE(Contains(console.Output(), "Update Complete!\n\n\n"));

    module.Answer(kPort5, "AA", {"aA1"});
    Drive([&] { result = Command_SetCoinSpeed(run); });
    EXPECT_EQ(result, kCoinUpdateRefused);
    EXPECT_TRUE(Contains(console.Output(), "ERROR 44: Update to EEPROM Failed!\n"));
    // Port 5 is closed after both.
    EXPECT_EQ(Written().back(), Wire(kPort5, 3, ""));
}

TEST_F(CoinDispenserTest, ReportCoinDispenserStatusWritesItsFile) {
    module.Answer(kPort5, "A5", {"a5T0FX"});
    module.Answer(
        kPort5, "A7",
        {BlockReply(0), BlockReply(48), BlockReply(96), BlockReply(144), BlockReply(192)});
    module.Answer(kPort5, "A1", {"a1\x00"});
    module.Answer(kPort5, "A3", {"a3TF1.23"});
    module.Answer(kPort5, "A4", {"a4P SEK"});
    int result = -1;
    const std::int64_t start = clock.TickMs();
    Drive([&] { result = Command_ReportCoinDispenserStatus(run); });
    EXPECT_EQ(result, 0);
    EXPECT_GE(clock.TickMs() - start, 9000);
    // Block bytes are their positions: delay 8, even depletion 12 (bit 0 clear), 89 = 0x59 (bit
    // 2 off), dispense below 10 * 256 + 11, serial 221 to 239 within ' ' to 'z'.
    // The run's date and time, then the dispenser's lines.
    const std::string report = ReadFile(root / "c/FirmwareUpdate/UtilityCD.txt");
    const std::string firstLine = report.substr(0, report.find('\n') + 1);
    EXPECT_TRUE(Contains(firstLine, "Run Date/Time   : 03/04/25  -  10:2")) << firstLine;
    EXPECT_EQ(report.substr(firstLine.size()),
              "SM Version      : 04.52 01/15/2019\n"
              "Dispenser Model : T-Flex\n"
              "Firmware Version: TF1.23\n"
              "Cassette Config : Swedish = SEK\n"
              "Coin Delay      : 8-ms\n"
              "Even Depletion  : Disabled\n"
              "Low Coin Signal : Disabled\n"
              "Dispense below  : 2571\n"
              "Serial Number   : \n"
              "END\n");

    // An old module is refused before anything is asked.
    identity.version = 438;
    const std::size_t before = Written().size();
    Drive([&] { result = Command_ReportCoinDispenserStatus(run); });
    EXPECT_NE(result, 0);
    EXPECT_EQ(Written().size(), before);
    EXPECT_TRUE(
        Contains(console.Output(), "Invalid Security Module Version, Must be 4.39 or later.\n"));
}

}  // namespace
}  // namespace lane::moxtel::test
