// lanesim's devices of the utility's live tests: the scale stream (scripted and as a seeded
// random walk), the EU value, the conveyors, cash pocket, power with its button events, coupon
// box and lights, through the module's answers; and their scenario lines.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "sim/LaneTestDevices.h"
#include "sim/ModuleFaceProtocol.h"

namespace lane::sim {
namespace {

ModulePacket Request(const std::string& data) {
    ModulePacket packet;
    packet.DA = kModuleServicePort;
    packet.DC = kModulePortData;
    packet.data.assign(data.begin(), data.end());
    return packet;
}

// Each packet as port, DC and data text.
std::vector<std::string> Sent(const ModuleAnswer& answer) {
    std::vector<std::string> sent;
    for (const ModulePacket& packet : answer.responses) {
        sent.push_back(std::to_string(packet.DA) + ":" + std::to_string(packet.DC) + ":" +
                       std::string(packet.data.begin(), packet.data.end()));
    }
    return sent;
}

TEST(LaneTestDevicesTest, EachRequestIsAnsweredFromTheScenario) {
    Scenario scenario;
    ScenarioError error;
    ASSERT_EQ(ParseScenario("scale reading 291 4 limit 20\n"
                            "scale reading 18 45 unstable negative count 2\n"
                            "scale eu 2000\n"
                            "lane-test switches closed open\n"
                            "lane-test cash-pocket bill\n"
                            "lane-test power battery\n"
                            "lane-test button green\n"
                            "lane-test button red\n"
                            "lane-test power-event ac\n",
                            scenario, error),
              kScenarioOk)
        << error.message;
    EXPECT_TRUE(scenario.usesModule);
    const struct {
        std::string request;
        std::vector<std::string> sent;
        std::vector<std::string> notes;
    } exchanges[] = {
        {"SG", {"6:6:sG\x07\xD0"}, {}},
        {"S5", {}, {"scale stream off"}},
        {"S7",
         {std::string("6:6:s7\x00\x01\x23\x00\x04\x14", 12),
          std::string("6:6:s7\x03\x00\x12\x00\x2D\x14", 12),
          std::string("6:6:s7\x03\x00\x12\x00\x2D\x14", 12)},
         {"scale stream on (3 readings)"}},
        {"S8", {}, {"scale stream end"}},
        {"CS", {"6:6:cS10"}, {}},
        {"C4", {"6:6:c4"}, {"conveyor rear forward"}},
        {"ZDS", {"6:6:zDS1"}, {}},
        {"ZDL1", {"6:6:zDL1"}, {"cash pocket light on"}},
        {"ZDB0", {"6:6:zDB0"}, {"cash pocket buzzer off"}},
        {"ZP", {"6:6:zP1", "0:13:\x01", "0:13:\x02", "0:14:0"}, {}},
        {"PE", {"6:6:pE2"}, {"coupon box enabled without LED"}},
        {"PS", {"6:6:pS2"}, {}},
        {"PV", {"6:6:pV\x80\x90\x70\x20\x30\x10"}, {}},
        {"L02", {"6:6:l02"}, {"lane light flashing"}},
        {"L41", {"6:6:l41"}, {"bottom EAS light on"}},
        // Not theirs: lights past the fifth, other setting requests.
        {"L51", {}, {}},
        {"ZD?", {"6:6:zDD"}, {}},
    };
    ModuleAnswerState state;
    for (const auto& exchange : exchanges) {
        const ModuleAnswer answer =
            AnswerPacket(Request(exchange.request), scenario.module, state, 0);
        EXPECT_EQ(Sent(answer), exchange.sent) << exchange.request;
        EXPECT_EQ(answer.notes, exchange.notes) << exchange.request;
    }
    // With noise, each reply but the stream's readings comes after the unrelated packets.
    EXPECT_EQ(Sent(AnswerPacket(Request("CS"), scenario.module, state, 2)),
              (std::vector<std::string>{"6:6:~~", "6:6:~~", "6:6:cS10"}));
    EXPECT_EQ(AnswerPacket(Request("S7"), scenario.module, state, 2).responses.size(), 3u);
}

TEST(LaneTestDevicesTest, TheRandomWalkIsFixedByItsSeed) {
    const std::vector<ScaleStreamReading> walk = ScaleRandomWalk(7, 5000, 20);
    ASSERT_EQ(walk.size(), 5000u);
    const std::vector<ScaleStreamReading> again = ScaleRandomWalk(7, 5000, 20);
    const std::vector<ScaleStreamReading> other = ScaleRandomWalk(8, 5000, 20);
    bool differs = false;
    bool spike = false;
    for (std::size_t i = 0; i < walk.size(); ++i) {
        EXPECT_EQ(ScaleReadingData(walk[i]), ScaleReadingData(again[i])) << i;
        differs = differs || ScaleReadingData(walk[i]) != ScaleReadingData(other[i]);
        EXPECT_EQ((walk[i].flags & 0x01) != 0, walk[i].noise > 20) << i;
        spike = spike || walk[i].noise > 100;
    }
    EXPECT_TRUE(differs);
    EXPECT_TRUE(spike);
    // The walk starts at 1000 and wanders by at most 30 a reading.
    EXPECT_LE(walk[0].weight, 1030);
    EXPECT_GE(walk[0].weight, 970);

    Scenario scenario;
    ScenarioError error;
    ASSERT_EQ(ParseScenario("scale random 7 5000 limit 20\nscale reading 1 2\n", scenario, error),
              kScenarioOk)
        << error.message;
    ModuleAnswerState state;
    const ModuleAnswer answer = AnswerPacket(Request("S7"), scenario.module, state, 0);
    ASSERT_EQ(answer.responses.size(), 5001u);  // the scripted reading first
    EXPECT_EQ(std::string(answer.responses[1].data.begin(), answer.responses[1].data.end()),
              ScaleReadingData(walk[0]));
}

TEST(LaneTestDevicesTest, BadLinesAreRefusedWithTheirLine) {
    for (const std::string text :
         {"scale reading 1\n", "scale reading 65536 1\n", "scale reading 1 2 limit 256\n",
          "scale reading 1 2 count 0\n", "scale reading 1 2 wobbly\n", "scale random 1\n",
          "scale eu 70000\n", "scale\n", "lane-test switches closed\n", "lane-test power mains\n",
          "lane-test button blue\n", "repeat 2\nscale eu 5\nend\n"}) {
        Scenario scenario;
        ScenarioError error;
        EXPECT_NE(ParseScenario(text, scenario, error), kScenarioOk) << text;
        EXPECT_GE(error.line, 1) << text;
    }
}

}  // namespace
}  // namespace lane::sim
