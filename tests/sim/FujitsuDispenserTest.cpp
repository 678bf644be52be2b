// lanesim's Fujitsu bill dispenser: its scenario lines, the data blocks it sends through the
// module (sequence bytes, 56 bytes a packet, the end packet), the dispense that counts its picks,
// the clearing of its counters with a new message, and the record's notes.
#include "sim/ModuleFaceProtocol.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace lane::sim {
namespace {

ModulePacket Packet(const std::string& data) {
    ModulePacket packet;
    packet.DA = kModuleCashPort;
    packet.DC = kModulePortData;
    packet.data.assign(data.begin(), data.end());
    return packet;
}

// The block as the utility puts it together: the data packets' bytes after 'd' '4' 'D'.
std::vector<std::uint8_t> Block(const ModuleAnswer& answer, bool& ended) {
    std::vector<std::uint8_t> block;
    ended = false;
    for (const ModulePacket& packet : answer.responses) {
        if (packet.data.size() >= 4 && packet.data[1] == 'd' && packet.data[2] == '4') {
            if (packet.data[3] == 'X') {
                ended = true;
            } else {
                EXPECT_LE(packet.data.size(), kModuleUsbMaxData);
                block.insert(block.end(), packet.data.begin() + 4, packet.data.end());
            }
        }
    }
    return block;
}

std::uint32_t Counter(const std::vector<std::uint8_t>& block, std::size_t at) {
    return (std::uint32_t{block[at]} << 24) | (std::uint32_t{block[at + 1]} << 16) |
           (std::uint32_t{block[at + 2]} << 8) | block[at + 3];
}

const std::string kStatus("D4\x60\x01\xFF\x00\x00\x01\x00\x1C", 10);
const std::string kLog("D4\x60\x12\x01\x00\x1C", 7);

TEST(FujitsuDispenserTest, AnswersFromTheScenarioDispensesAndClearsItsCounters) {
    Scenario scenario;
    ScenarioError error;
    ASSERT_EQ(ParseScenario("fujitsu-dispenser currency HUF\n"
                            "fujitsu-dispenser last-errors 07 21\n"
                            "fujitsu-dispenser cassettes 8C 0A 00\n"
                            "fujitsu-dispenser thickness 231 150\n"
                            "fujitsu-dispenser firmware F60.2B\n"
                            "fujitsu-dispenser status 20 26\n"
                            "fujitsu-dispenser log 84 00 05   # cassette 1 long errors 5\n"
                            "fujitsu-dispenser message SERVICED 12/01\n",
                            scenario, error),
              kScenarioOk)
        << error.message;
    EXPECT_TRUE(scenario.usesModule);
    ModuleAnswerState state;
    state.fujitsuDispenser = FujitsuDispenser(scenario.fujitsuDispenser);
    ModuleIdentity identity;

    ModuleAnswer answer = AnswerPacket(Packet("D5"), identity, state, 1);
    ASSERT_EQ(answer.responses.size(), 2u);  // the noise, then the reply
    EXPECT_EQ(answer.responses[1].data, (std::vector<std::uint8_t>{2, 'd', '5', 'H', 'U', 'F'}));
    answer = AnswerPacket(Packet("D6"), identity, state);
    EXPECT_EQ(answer.responses[0].data, (std::vector<std::uint8_t>{3, 'd', '6', 0x07, 0x21}));

    // The status block: 512 bytes in ten packets and the end; the thickness values in turn.
    bool ended = false;
    answer = AnswerPacket(Packet(kStatus), identity, state);
    std::vector<std::uint8_t> status = Block(answer, ended);
    EXPECT_TRUE(ended);
    EXPECT_EQ(answer.responses.size(), 11u);
    ASSERT_EQ(status.size(), 512u);
    EXPECT_EQ(status[20], 0x26);
    EXPECT_EQ(status[21], 0x8C);
    EXPECT_EQ(status[25], 231);
    EXPECT_EQ(std::string(status.begin() + 48, status.begin() + 54), "F60.2B");
    EXPECT_EQ(std::string(status.begin() + 42, status.begin() + 48), "250317");
    EXPECT_EQ(Block(AnswerPacket(Packet(kStatus), identity, state), ended)[25], 150);
    EXPECT_EQ(Block(AnswerPacket(Packet(kStatus), identity, state), ended)[25], 231);

    // Seven bills from the A cassette (cassette 1), three from an H cassette it does not hold.
    const std::string head(
        "D38B\x1C"
        "1\x1C",
        7);
    answer = AnswerPacket(Packet(head + "A007" + "H003"), identity, state);
    ASSERT_EQ(answer.responses.size(), 1u);
    const std::vector<std::uint8_t>& reply = answer.responses[0].data;
    EXPECT_EQ(std::string(reply.begin() + 1, reply.end()), std::string("d3\x41\x00\x02"
                                                                       "A070H000",
                                                                       13));
    EXPECT_EQ(answer.notes, (std::vector<std::string>{"fujitsu dispensed 7 from cassette A",
                                                      "fujitsu dispensed 0 from cassette ? (H)"}));
    std::vector<std::uint8_t> log = Block(AnswerPacket(Packet(kLog), identity, state), ended);
    EXPECT_EQ(Counter(log, 80), 107u);  // 100 by default, and 7
    EXPECT_EQ(Counter(log, 84) >> 16, 5u);
    EXPECT_EQ(std::string(log.begin() + 40, log.begin() + 54), "SERVICED 12/01");

    // Option 1 clears errors and retries, keeps the picks; the new message is kept.
    const std::string message = "NEW MESSAGE" + std::string(29, ' ');
    answer = AnswerPacket(Packet(std::string("D4\x60\x12\x29\x01", 6) + message + "\x1C"), identity,
                          state);
    EXPECT_EQ(answer.notes,
              (std::vector<std::string>{"fujitsu counters cleared (option 1), message \"NEW "
                                        "MESSAGE\""}));
    log = Block(answer, ended);
    EXPECT_TRUE(ended);
    EXPECT_EQ(Counter(log, 80), 107u);
    EXPECT_EQ(Counter(log, 84), 0u);
    EXPECT_EQ(std::string(log.begin() + 40, log.begin() + 80), message);
    // Option 3 clears everything; option 4 nothing.
    answer = AnswerPacket(Packet(std::string("D4\x60\x12\x29\x04", 6) + message + "\x1C"), identity,
                          state);
    EXPECT_EQ(answer.notes,
              (std::vector<std::string>{"fujitsu counters clearing refused (option 4)"}));
    EXPECT_EQ(Counter(Block(answer, ended), 80), 107u);
    answer = AnswerPacket(Packet(std::string("D4\x60\x12\x29\x03", 6) + message + "\x1C"), identity,
                          state);
    EXPECT_EQ(Counter(Block(answer, ended), 80), 0u);
    EXPECT_EQ(Counter(Block(answer, ended), 112), 0u);
}

TEST(FujitsuDispenserTest, SendBytesAbsentAndBadLines) {
    Scenario scenario;
    ScenarioError error;
    ASSERT_EQ(ParseScenario("fujitsu-dispenser send-bytes 600\n", scenario, error), kScenarioOk);
    ModuleAnswerState state;
    state.fujitsuDispenser = FujitsuDispenser(scenario.fujitsuDispenser);
    bool ended = false;
    EXPECT_EQ(Block(AnswerPacket(Packet(kStatus), ModuleIdentity{}, state), ended).size(), 600u);

    ASSERT_EQ(ParseScenario("fujitsu-dispenser absent\n", scenario, error), kScenarioOk);
    state.fujitsuDispenser = FujitsuDispenser(scenario.fujitsuDispenser);
    EXPECT_TRUE(AnswerPacket(Packet(kStatus), ModuleIdentity{}, state).responses.empty());

    struct Bad {
        std::string text;
        int code;
    };
    const Bad bad[] = {
        {"fujitsu-dispenser log 500 00 00 00 00 00 00 00 00 00 00 00 00 00\n",
         kScenarioBadArguments},
        {"fujitsu-dispenser cassettes 0C 0A\n", kScenarioBadHex},
        {"fujitsu-dispenser thickness 256\n", kScenarioBadNumber},
        {"fujitsu-dispenser message " + std::string(41, 'm') + "\n", kScenarioBadArguments},
        {"fujitsu-dispenser released 25-3-1\n", kScenarioBadArguments},
        {"fujitsu-dispenser send-bytes 1025\n", kScenarioBadNumber},
        {"fujitsu-dispenser jam\n", kScenarioBadModule},
        {"repeat 2\nfujitsu-dispenser absent\nend\n", kScenarioBadModule},
    };
    for (const Bad& b : bad) {
        EXPECT_EQ(ParseScenario(b.text, scenario, error), b.code) << b.text;
        EXPECT_FALSE(error.message.empty()) << b.text;
    }
}

}  // namespace
}  // namespace lane::sim
