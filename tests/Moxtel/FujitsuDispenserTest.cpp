// The Fujitsu bill dispenser's items against the link rig: the data block bounded to its 512
// bytes, the texts of registers, cassettes, currencies and the thickness graph, each screen's
// requests and lines, the clearing of the counters, the test dispense and the menu's gate.
#include <array>

#include "Moxtel/Command_FujitsuTest.h"
#include "Moxtel/FujitsuDataBlock.h"
#include "Moxtel/FujitsuTexts.h"
#include "tests/Moxtel/ScriptedModule.h"

namespace lane::moxtel::test {
namespace {

constexpr std::uint8_t kPort5 = link::kCashPort;
const std::string kStatusFrame("D4\x60\x01\xFF\x00\x00\x01\x00\x1C", 10);
const std::string kLogFrame("D4\x60\x12\x01\x00\x1C", 7);

// The replies that carry `image` (its first `length` bytes) as a data block, 56 bytes a packet,
// then the end packet.
std::vector<std::string> BlockReplies(const std::vector<std::uint8_t>& image) {
    std::vector<std::string> replies;
    for (std::size_t at = 0; at < image.size(); at += 56) {
        std::string reply = "d4D";
        for (std::size_t i = at; i < image.size() && i < at + 56; ++i) {
            reply.push_back(static_cast<char>(image[i]));
        }
        replies.push_back(reply);
    }
    replies.push_back("d4X");
    return replies;
}

class FujitsuDispenserTest : public ModuleLinkRig {
  protected:
    FujitsuDispenserTest() {
        respond = module.Responder([this](const link::LinkPacket& packet) { Queue(packet); });
        module.Answer(kPort5, "S4", {"s4"});
        identity.version = 447;
    }
    int Run(int (*item)(UtilityRun&)) {
        int result = -1;
        Drive([&] { result = item(run); });
        return result;
    }
    std::vector<std::string> Requests(const std::vector<std::string>& data) {
        std::vector<std::string> keys;
        for (const std::string& d : data) {
            keys.push_back(ScriptedModule::Key(kPort5, d));
        }
        return keys;
    }

    ScriptedModule module;
};

TEST_F(FujitsuDispenserTest, TheBlockKeepsItsBytesAndDropsWhatRunsPast) {
    // Eleven packets of 56 bytes: 616 offered, 512 kept, the first 512 in order.
    std::vector<std::uint8_t> image(616);
    for (std::size_t i = 0; i < image.size(); ++i) {
        image[i] = static_cast<std::uint8_t>(i * 7);
    }
    FujitsuDataBlock block;
    for (const std::string& reply : BlockReplies(image)) {
        const bool ended = TakeFujitsuReply(block, PortData(kPort5, "\x01" + reply));
        EXPECT_EQ(ended, reply == "d4X");
    }
    ASSERT_EQ(block.length, kFujitsuBlockSize);
    for (std::size_t i = 0; i < kFujitsuBlockSize; ++i) {
        ASSERT_EQ(block.bytes[i], image[i]) << i;
    }
    // A packet that claims more than it holds adds only what it holds; one too short adds none.
    FujitsuDataBlock small;
    link::LinkPacket claimsMore = PortData(kPort5,
                                           "\x01"
                                           "d4Dab");
    claimsMore.DL = 255;  // more than a packet can carry
    EXPECT_FALSE(TakeFujitsuReply(small, claimsMore));
    EXPECT_EQ(small.length, claimsMore.data.size() - 4);
    EXPECT_FALSE(TakeFujitsuReply(small, PortData(kPort5,
                                                  "\x01"
                                                  "d4")));
    EXPECT_EQ(small.length, claimsMore.data.size() - 4);
    EXPECT_EQ(FujitsuCounter(small, 0, 2), ('a' << 8) | 'b');
    EXPECT_EQ(FujitsuCounter(small, 510, 4), 0u);  // past the block: zeros
}

TEST_F(FujitsuDispenserTest, TextsOfRegistersCassettesCurrenciesAndTheGraph) {
    EXPECT_EQ(FujitsuRegisterText(FujitsuRegister::Status, 0x26), "ALARM,INIBL,REJBL,");
    EXPECT_EQ(FujitsuRegisterText(FujitsuRegister::Status, 0), "All Clear");
    EXPECT_EQ(FujitsuRegisterText(FujitsuRegister::Error2, 0), "No Errors");
    EXPECT_EQ(FujitsuRegisterText(FujitsuRegister::Error3, 0x81), "LNGBL,ECST2");
    EXPECT_EQ(FujitsuRegisterText(FujitsuRegister::Sensor3, 0xC1), "BALM,????,THS");

    struct Cassette {
        std::uint8_t status;
        const char* text;
        char letter;
    };
    const Cassette cassettes[] = {
        {0x8C, "A Cassette, Bills Low", 'A'},
        {0x02, "I Cassette,", 'I'},
        {0x0A, "B Cassette,", 'B'},
        {0x00, "None", 0},
        {0x8F, "Unknown Cassette, Bills Low", 0},
    };
    for (const Cassette& c : cassettes) {
        EXPECT_EQ(FujitsuCassetteText(c.status), c.text) << int(c.status);
        EXPECT_EQ(FujitsuCassetteLetter(c.status), c.letter) << int(c.status);
    }

    const std::pair<const char*, const char*> currencies[] = {
        {"HUF", "Hungary"}, {"HRK", "Croatia"},     {"USD", "US"},   {"SEK", "Swedish"},
        {"SAR", "Saudi"},   {"GBP", "UK - Ponuds"}, {"EUR", "Euro"}, {"XYZ", "US"},
    };
    for (const auto& [code, name] : currencies) {
        EXPECT_STREQ(FujitsuCurrencyName(code[0], code[1]), name) << code;
    }

    const std::string normal = FujitsuThicknessGraphLine(231);
    ASSERT_EQ(normal.size(), 80u);
    EXPECT_EQ(normal[55], '*');
    EXPECT_EQ(normal.substr(53, 5), "..*..");
    EXPECT_EQ(normal[47], kFujitsuGraphBar);
    EXPECT_EQ(normal[63], kFujitsuGraphBar);
    EXPECT_EQ(normal.find_first_not_of(' '), 47u);
    const std::string low = FujitsuThicknessGraphLine(150);
    EXPECT_EQ(low[0], '*');
    EXPECT_EQ(low.substr(53, 5), ".....");
    EXPECT_EQ(FujitsuThicknessGraphLine(255)[79], '*');
}

TEST_F(FujitsuDispenserTest, StatusScreenShowsTheBlockAndRefreshesUntilX) {
    std::vector<std::uint8_t> status(64, 0);
    status[6] = 0x12;
    status[7] = 0x34;
    status[12] = 0x02;  // JAMER
    status[17] = 0x01;  // sensor 3: THS
    status[18] = 0xAB;
    status[20] = 0x26;
    status[21] = 0x8C;
    status[23] = 0x0F;
    status[25] = 231;
    const std::string date = "250317";  // year 25, month 03, day 17
    for (std::size_t i = 0; i < 6; ++i) {
        status[42 + i] = static_cast<std::uint8_t>(date[i]);
        status[48 + i] = static_cast<std::uint8_t>("F53.1A"[i]);
    }
    module.Answer(kPort5, "D5", {"b1", "d5HUF"});
    module.Answer(kPort5, "D6", {"d6\x07\x21"});
    // A reply of another kind between the data packets is passed over.
    std::vector<std::string> replies = BlockReplies(status);
    replies.insert(replies.begin() + 1, "d5XX");
    module.Answer(kPort5, "D4", replies);
    console.AddKeys("RX");
    EXPECT_EQ(Run(FujitsuStatusScreen), kFujitsuOk);
    EXPECT_EQ(module.Requests(), Requests({"S4", "D5", "D6", kStatusFrame, kStatusFrame}));
    const std::string shown = console.Output();
    const std::string lines[] = {
        "**** Fujitsu Bill Dispenser Status/Error ****\nOpening Port 5 Cash Devices\n",
        "\n" + std::string(79, '=') +
            "\nFirmware Version F53.1A,   Release Date: 03/17/2025"
            "  Currency Code:Hungary\n\n",
        "Cassette 1 Status:0C - A Cassette, Bills Low\nCassette 2 Status:00 - None\n"
        "Cassette 3 Status:0F - Unknown Cassette,\n\n",
        "Status Register  :26 - ALARM,INIBL,REJBL,\n \n",
        "Error Codes      :12-34\nLast Error Codes :07-21\n",
        "Error Register 1 :02 - JAMER,\nError Register 2 :00 - No Errors\n",
        "Sensor Register 3:01 - THS\nSensor Register 4:AB\nSensor Register 5:00\n \n",
        "Thickness Sensor 231 --->> 231 is Normal, Valid Range is 223 to 239\n\n\n"
        "R - Refresh, X - ExitR\n",
        "R - Refresh, X - ExitX\nExiting Fujitsu Testing.\n",
    };
    for (const std::string& line : lines) {
        EXPECT_TRUE(Contains(shown, line)) << line << "\n---\n" << shown;
    }
    EXPECT_EQ(Written().back(), Wire(kPort5, 3, ""));  // port 5 closed
    EXPECT_TRUE(Contains(CaptureNow(), "64 Bytes Read From Fujitsu Bill Dispenser"));

    // No currency reply: the screen ends before any data request, the port closed.
    module.Answer(kPort5, "D5", {});
    EXPECT_EQ(Run(FujitsuStatusScreen), kFujitsuAborted);
    EXPECT_TRUE(Contains(console.Output(),
                         "ERROR 30: Reading Data From Fujitsu Bill Dispenser.\n"
                         "ERROR 33: Fujitsu Bill Request Failed.\n"));
    EXPECT_EQ(Written().back(), Wire(kPort5, 3, ""));
}

TEST_F(FujitsuDispenserTest, LogScreenShowsEachCassettesCountersAndTheStoredMessage) {
    std::vector<std::uint8_t> log(600, 0);  // runs past the block: cut at 512
    const std::string message = "SERVICED 12/01";
    std::copy(message.begin(), message.end(), log.begin() + 40);
    log[80] = 0x00;  // cassette 1 picks: 70000
    log[81] = 0x01;
    log[82] = 0x11;
    log[83] = 0x70;
    log[112 + 3] = 5;      // cassette 2 picks
    log[144 + 26] = 0x01;  // cassette 3 jams: 300
    log[144 + 27] = 0x2C;
    log[112 + 10 + 1] = 9;  // cassette 2 thickness errors
    module.Answer(kPort5, "D4", BlockReplies(log));
    console.AddKeys("X");
    EXPECT_EQ(Run(FujitsuLogScreen), kFujitsuOk);
    EXPECT_EQ(module.Requests(), Requests({"S4", kLogFrame}));
    const std::string shown = console.Output();
    const char* lines[] = {
        "Total Number of               Cassette 1       Cassette 2      Cassette 3\n"
        "Pick Operations                  70000                5               0\n\n"
        "Length Long Errors                   0                0               0\n",
        "Thickness Errors                     0                9               0\n",
        "Jam Errors                           0                0             300\n\n"
        "Bill Dispenser Stored Message:SERVICED 12/01\n\nR - Refresh, X - ExitX\n",
    };
    for (const char* line : lines) {
        EXPECT_TRUE(Contains(shown, line)) << line << "\n---\n" << shown;
    }
    EXPECT_TRUE(Contains(CaptureNow(), "512 Bytes Read From Fujitsu Bill Dispenser"));

    // Synchronisation fails: its own text, and port 5 closed.
    module.Answer(kPort5, "S4", {});
    EXPECT_EQ(Run(FujitsuLogScreen), kFujitsuPortFailed);
    EXPECT_TRUE(Contains(console.Output(), "ERROR 1C: Sync port 5 Failed, Code = 8.6\n"));
    EXPECT_EQ(Written().back(), Wire(kPort5, 3, ""));
}

TEST_F(FujitsuDispenserTest, ClearTotalsSendsTheOptionAndAMessageCutToForty) {
    std::vector<std::uint8_t> log(100, 0);
    const std::string old = "OLD MESSAGE";
    std::copy(old.begin(), old.end(), log.begin() + 40);
    module.Answer(kPort5, "D4\x60\x12\x01", BlockReplies(log));
    module.Answer(kPort5, "D4\x60\x12\x29", {"d4X"});
    const std::string typed(95, 'm');  // past the line buffer as well
    // Option 1 and Y: cleared with the message's first 40 characters. Option 2 and N: nothing.
    // Option 4 and Y: no clear request, the block is waited for in vain. Then X.
    console.AddKeys("1Y" + typed + "\r2N4Yfour\rX");
    EXPECT_EQ(Run(FujitsuClearTotals), kFujitsuOk);
    const std::string clear = std::string("D4\x60\x12\x29\x01", 6) + std::string(40, 'm') + "\x1C";
    EXPECT_EQ(module.Requests(),
              Requests({"S4", kLogFrame, clear, kLogFrame, kLogFrame, kLogFrame}));
    const std::string shown = console.Output();
    EXPECT_TRUE(Contains(shown,
                         "Current Stored Bill Dispenser Message:OLD MESSAGE\n\n\n"
                         "Totals Clearing Options:\n\n"
                         " 1 - Clear Error Counters and Retry Counters Only\n"));
    EXPECT_TRUE(Contains(shown,
                         " X - Exit This Menu\n\n Enter Option :Are you sure you want to "
                         "clear the totals Y/N :Y\n\n\nEnter message (40 characters max) :"));
    EXPECT_TRUE(Contains(shown,
                         "Updating!\nERROR 30: Reading Data From Fujitsu Bill Dispenser.\n"
                         "ERROR 34: Update Failed!\n"));
    EXPECT_TRUE(Contains(shown, " Enter Option :Exiting Fujitsu Testing.\n"));
    EXPECT_EQ(Written().back(), Wire(kPort5, 3, ""));
}

TEST_F(FujitsuDispenserTest, TestDispenseAsksPerModeAndShowsTheResponse) {
    struct Case {
        const char* name;
        bool manufacturing;
        std::array<std::uint8_t, 3> cassettes;
        std::string keys;
        std::string command;  // empty: none is sent
        std::string response;
        int result;
        std::vector<std::string> shown;
    };
    const std::string head(
        "D38B\x1C"
        "1\x1C",
        7);
    const Case cases[] = {
        {"one cassette, 7 bills",
         false,
         {0x00, 0x8C, 0x00},
         "7\rX",
         head + "A007",
         std::string("d3\0\0\0A070", 10),
         kFujitsuOk,
         {"Cassettes found\nCassette 1: None\nCassette 2: A Cassette, Bills Low\n",
          "Enter number of bills to dispense (1-20) :7\n",
          "Bill Dispenser Response:\nNo Errors\nCassette A, 07 Bills Dispensed, 0 Bills Rejected\n"
          "R - Retry, X - ExitX\nExiting Fujitsu Testing.\n"}},
        {"two cassettes",
         false,
         {0x0C, 0x0A, 0x00},
         "",
         "",
         "",
         kFujitsuNoCassette,
         {"ERROR: Only 1 cassette must be inserted!\n"}},
        {"none",
         false,
         {0x00, 0x00, 0x00},
         "",
         "",
         "",
         kFujitsuNoCassette,
         {"ERROR: 1 cassette must be inserted!\n"}},
        {"too many bills",
         false,
         {0x09, 0x00, 0x00},
         "21\r",
         "",
         "",
         kFujitsuNoCassette,
         {"Invalid number of bills.\n"}},
        {"manufacturing",
         true,
         {0x0C, 0x0F, 0x0A},
         "3ZX",
         head + "A003",
         std::string("d3\x01\x02\x03"
                     "A021",
                     10),
         kFujitsuOk,
         {"Enter number of bills to dispense for cassette A :3\n", "Invalid Cassette ID\n",
          "Enter number of bills to dispense for cassette B :Z\nNone\n",
          "Error Codes: 01.02.03\nCassette A, 02 Bills Dispensed, 1 Bills Rejected\n"}},
    };
    for (const Case& c : cases) {
        std::vector<std::uint8_t> status(30, 0);
        std::copy(c.cassettes.begin(), c.cassettes.end(), status.begin() + 21);
        module.Answer(kPort5, "D4", BlockReplies(status));
        module.Answer(kPort5, "D3", {c.response});
        options.manufacturingMode = c.manufacturing;
        const std::size_t before = module.Requests().size();
        const std::size_t shownBefore = console.Output().size();
        console.AddKeys(c.keys);
        EXPECT_EQ(Run(FujitsuTestDispense), c.result) << c.name;
        std::vector<std::string> expected = Requests({"S4", kStatusFrame});
        if (!c.command.empty()) {
            expected.push_back(ScriptedModule::Key(kPort5, c.command));
        }
        EXPECT_EQ(
            std::vector<std::string>(module.Requests().begin() + before, module.Requests().end()),
            expected)
            << c.name;
        const std::string shown = console.Output().substr(shownBefore);
        for (const std::string& line : c.shown) {
            EXPECT_TRUE(Contains(shown, line)) << c.name << ": " << line << "\n---\n" << shown;
        }
        EXPECT_EQ(Written().back(), Wire(kPort5, 3, "")) << c.name;
    }
}

TEST_F(FujitsuDispenserTest, MenuGatesItsItemsByModuleVersionAndWaitsAfterAFailure) {
    // 4.04: every item refuses without touching the port; the key wait follows each.
    identity.version = 404;
    console.AddKeys("1k2k3k4k5kX");
    Drive([&] { FujitsuDispenserMenu(run); });
    EXPECT_TRUE(module.Requests().empty());
    const std::string shown = console.Output();
    EXPECT_TRUE(Contains(shown,
                         "\n**** Fujitsu Bill Dispenser Menu ****\n\n"
                         " 1 - Report Status/Error Data\n 2 - Report Log Data\n"
                         " 3 - Set Thickness Sensor\n 4 - Test Dispense\n"
                         " 5 - Clear Totals\n X - Exit This Menu\n\nEnter Function :1\n\n"
                         "Incorrect Security Module Version must be >= 4.05\n"
                         "\nPress any key to continue"));
    std::size_t refusals = 0;
    for (std::size_t at = shown.find("must be >= 4.05"); at != std::string::npos;
         at = shown.find("must be >= 4.05", at + 1)) {
        ++refusals;
    }
    EXPECT_EQ(refusals, 5u);
    EXPECT_EQ(console.KeyCalls().size(), 11u);  // no key read past the X
}

TEST_F(FujitsuDispenserTest, EachMenuKeyReachesItsFirstRequestAndTheEndOfInputBacksOut) {
    // What lanesim sees first (after the synchronisation) for each key; the items end at once
    // because no data comes, so the menu's key wait follows each.
    const std::pair<std::string, std::string> rows[] = {
        {"1", "D5"}, {"2", kLogFrame}, {"3", kStatusFrame}, {"4", kStatusFrame}, {"5", kLogFrame},
    };
    std::string keys;
    std::vector<std::string> expected;
    for (const auto& [key, first] : rows) {
        keys += key + "k";
        expected.push_back(ScriptedModule::Key(kPort5, "S4"));
        expected.push_back(ScriptedModule::Key(kPort5, first));
    }
    console.AddKeys(keys);  // then the input ends: the menu is left as by X
    Drive([&] { FujitsuDispenserMenu(run); });
    EXPECT_EQ(module.Requests(), expected);
    EXPECT_TRUE(console.InputEnded());
}

}  // namespace
}  // namespace lane::moxtel::test
