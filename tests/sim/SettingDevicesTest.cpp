// lanesim's coin dispenser, cash counting buffers and lane settings: their scenario lines, the
// answers the module sends for them (with the cash port's sequence bytes and the noise before
// them) and the record's notes of what the utility changed.
#include "sim/ModuleFaceProtocol.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace lane::sim {
namespace {

ModulePacket Packet(std::uint8_t port, const std::string& data) {
    ModulePacket packet;
    packet.DA = port;
    packet.DC = kModulePortData;
    packet.data.assign(data.begin(), data.end());
    return packet;
}

std::string Text(const ModulePacket& packet) {
    return std::string(packet.data.begin(), packet.data.end());
}

Scenario Parsed(const std::string& text) {
    Scenario scenario;
    ScenarioError error;
    EXPECT_EQ(ParseScenario(text, scenario, error), kScenarioOk) << error.message;
    return scenario;
}

// A dump packet: sequence byte, 's' '6', its mark, the counts high byte first.
std::string Counts(char sequence, const std::string& mark, std::initializer_list<int> counts) {
    std::string data = std::string(1, sequence) + "s6" + mark;
    for (const int count : counts) {
        data.push_back(static_cast<char>(count >> 8));
        data.push_back(static_cast<char>(count & 0xFF));
    }
    return data;
}

struct Exchange {
    std::uint8_t port;
    std::string request;
    std::vector<std::string> replies;  // data of each packet sent back
    std::vector<std::string> notes;
};

TEST(SettingDevicesTest, TheDevicesAnswerFromTheScenarioAndKeepWhatIsWritten) {
    const Scenario scenario = Parsed(
        "module coin-dispenser model cx25\n"
        "module coin-dispenser pid C9X5\n"
        "module coin-dispenser firmware CX2.07\n"
        "module coin-dispenser config 65 USD\n"
        "module coin-dispenser ini US006\n"
        "module coin-dispenser status 14\n"
        "module coin-dispenser bins 09 01\n"
        "module coin-dispenser eeprom 88 AA BB\n"
        "module lane-setting Z C 44\n"
        "module lane-setting A 5 32\n"
        "module cash-buffers zeroed 010220250930\n"
        "module cash-buffers bill-dispenser 1 2 3 258\n");
    EXPECT_TRUE(scenario.usesModule);
    ModuleAnswerState state;
    std::string block;
    for (std::size_t i = 0; i < 48; ++i) {
        block.push_back(static_cast<char>(scenario.module.coinDispenser.block[48 + i]));
    }
    const Exchange exchanges[] = {
        {5,
         "A1",
         {"\x01"
          "a1\x14"},
         {}},
        {5,
         "A3",
         {"\x02"
          "a3CX2.07"},
         {}},
        {5,
         "A4",
         {"\x03"
          "a4e USD"},
         {}},
        {5,
         "A5",
         {"\x04"
          "a5C2X5"},
         {}},
        {5,
         "AC",
         {"\x05"
          "aCUS006"},
         {}},
        {5,
         "AB",
         {std::string("\x06"
                      "aB\x09\x01")},
         {}},
        {5,
         "A6]",
         {"\x07"
          "a6]"},
         {"coin dispenser configuration 5D"}},
        {5,
         "A8\x59\x24",
         {"\x08"
          "a80"},
         {"coin dispenser EEPROM 89 = 24"}},
        {5,
         std::string("A8\xFF\x01"),
         {"\x09"
          "a81"},
         {"coin dispenser EEPROM 255 refused"}},
        {5,
         "AA\x96",
         {"\x0A"
          "aA0"},
         {"coin dispenser speed 150"}},
        {6, "ZC?", {"zCD"}, {}},
        {6, "ZC2", {"zC2"}, {"lane setting ZC = 32"}},
        {6, "A5", {"a52"}, {}},
        {6, "A4,", {"a4,"}, {"curtain break window = 44"}},
        {6, "A5", {"a5,"}, {}},
        {6, "X23", {}, {"EAS type = 33"}},
        // The counts the scenario left at their defaults, and the bill dispenser's it set.
        {5,
         "S6",
         {"\x0B"
          "s6DT010220250930",
          Counts('\x0C', "BA", {1, 2, 3, 4, 5, 6, 7, 8, 9}), Counts('\x0D', "BD", {1, 2, 3, 258}),
          Counts('\x0E', "CA", {11, 12, 13, 14, 15, 16, 17, 18, 19}),
          Counts('\x0F', "CD", {300, 301, 302, 303, 304, 305, 306, 307, 308})},
         {}},
        {5,
         "S5120620261405",
         {"\x10"
          "s5"},
         {"cash buffers zeroed 120620261405"}},
        {5, "S0\x05", {}, {}},  // the utility's acknowledgement
    };
    for (const Exchange& e : exchanges) {
        const ModuleAnswer answer = AnswerPacket(Packet(e.port, e.request), scenario.module, state);
        std::vector<std::string> replies;
        for (const ModulePacket& packet : answer.responses) {
            EXPECT_EQ(packet.DA, e.port);
            replies.push_back(Text(packet));
        }
        EXPECT_EQ(replies, e.replies) << e.request;
        EXPECT_EQ(answer.notes, e.notes) << e.request;
    }
    // What was written stays: the block byte, the dispense delay, the configuration code.
    const CoinDispenserSetup& dispenser = state.settingDevices.coinDispenser.State();
    EXPECT_EQ(dispenser.block[89], 0x24);
    EXPECT_EQ(dispenser.block[8], 150);
    EXPECT_EQ(dispenser.configCode, ']');
    EXPECT_EQ(state.settingDevices.cashBuffers.State().lastZeroed, "120620261405");
}

TEST(SettingDevicesTest, TheBlockComesInFiveRepliesAfterTheNoise) {
    ModuleIdentity identity;
    identity.coinDispenser.block[200] = 0x5A;
    ModuleAnswerState state;
    const ModuleAnswer answer = AnswerPacket(Packet(5, "A7"), identity, state, 2);
    ASSERT_EQ(answer.responses.size(), 7u);
    EXPECT_EQ(Text(answer.responses[0]), "\x01~~");
    for (std::size_t part = 0; part < 5; ++part) {
        const std::string data = Text(answer.responses[2 + part]);
        ASSERT_EQ(data.size(), 52u);
        EXPECT_EQ(data.substr(1, 2), "a7");
        EXPECT_EQ(static_cast<std::uint8_t>(data[3]), part * 48);
    }
    EXPECT_EQ(static_cast<std::uint8_t>(Text(answer.responses[6])[4 + 200 - 192]), 0x5A);

    // An absent dispenser takes its requests and answers none; a refusing one answers '1'.
    identity.coinDispenser.present = false;
    ModuleAnswerState absent;
    EXPECT_TRUE(AnswerPacket(Packet(5, "A1"), identity, absent).responses.empty());
    identity.coinDispenser.present = true;
    identity.coinDispenser.refuseWrites = true;
    ModuleAnswerState refusing;
    EXPECT_EQ(Text(AnswerPacket(Packet(5, "AA\x96"), identity, refusing).responses.at(0)),
              "\x01"
              "aA1");
}

TEST(SettingDevicesTest, BadLinesAreRefusedWithTheirLine) {
    const char* bad[] = {
        "module coin-dispenser",
        "module coin-dispenser model z80",
        "module coin-dispenser pid ABC",
        "module coin-dispenser ini US06",
        "module coin-dispenser status 1G",
        "module coin-dispenser bins 01",
        "module coin-dispenser eeprom 250 01 02 03",
        "module coin-dispenser eeprom 252 01",
        "module coin-dispenser config E USD",
        "module coin-dispenser absent now",
        "module coin-dispenser colour red",
        "module lane-setting Z Q 31",
        "module lane-setting Z C 3",
        "module cash-buffers zeroed 0102202509",
        "module cash-buffers coin-acceptor 1 2 3",
        "module cash-buffers bill-dispenser 1 2 3 70000",
        "repeat 2\nmodule coin-dispenser absent\nend",
    };
    for (const char* text : bad) {
        Scenario scenario;
        ScenarioError error;
        EXPECT_NE(ParseScenario(std::string("delay 1\n") + text, scenario, error), kScenarioOk)
            << text;
        EXPECT_GE(error.line, 2) << text;
        EXPECT_FALSE(error.message.empty()) << text;
    }
}

}  // namespace
}  // namespace lane::sim
