// Lane events in scenarios: each event's frames, as one send step, and the faults of bad events.
#include "sim/LaneEvents.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "common/HexText.h"
#include "sim/Scenario.h"

namespace lane::sim {
namespace {

std::string Hex(const std::vector<std::uint8_t>& bytes) {
    std::string text;
    AppendHexBytes(text, bytes.data(), bytes.size(), 100000);
    return text;
}

struct EventCase {
    const char* line;
    const char* frames;
};

TEST(LaneEventsTest, EachEventIsOneSendOfTheModulesFrames) {
    const std::vector<EventCase> cases = {
        {"bill stacked 20",
         "A9 02 07 02 0B 04 00 28 00 00 A9 01 02 33 00 A9 02 07 02 0B 11 00 28 00 00 "},
        {"bill stacked 1",
         "A9 02 07 02 0B 04 00 08 00 00 A9 01 02 33 00 A9 02 07 02 0B 11 00 08 00 00 "},
        {"Bill Stacked 100",
         "A9 02 07 02 0B 04 00 38 00 00 A9 01 02 33 00 A9 02 07 02 0B 11 00 38 00 00 "},
        {"bill rejected", "A9 02 07 02 0B 01 02 00 00 00 "},
        {"bill returned",
         "A9 02 07 02 0B 04 00 00 00 00 A9 01 02 33 01 A9 02 07 02 0B 41 00 00 00 00 "},
        {"bill jam", "A9 02 07 02 0B 00 04 00 00 00 "},
        {"bill unjam", "A9 02 07 02 0B 01 00 00 00 00 "},
        {"bill stacker-full", "A9 02 07 02 0B 00 08 00 00 00 "},
        {"coin 25", "A8 02 02 43 04 A8 02 03 78 31 0C "},
        {"coin 2", "A8 02 02 43 21 A8 02 03 78 31 29 "},
        {"coin 200", "A8 02 02 43 23 A8 02 03 78 31 2B "},
        {"transaction start", "A8 01 01 32 "},
        {"transaction end  # the customer paid", "A8 01 01 33 "},
    };
    for (const EventCase& c : cases) {
        Scenario scenario;
        ScenarioError error;
        ASSERT_EQ(ParseScenario(c.line, scenario, error), kScenarioOk) << c.line << error.message;
        ASSERT_EQ(scenario.steps.size(), 1u) << c.line;
        EXPECT_EQ(scenario.steps[0].kind, StepKind::Send) << c.line;
        EXPECT_EQ(Hex(scenario.steps[0].bytes), c.frames) << c.line;
        EXPECT_TRUE(scenario.usesPipe) << c.line;
    }
}

TEST(LaneEventsTest, BadEventsAreFaultsOfTheirLine) {
    for (const char* line :
         {"bill stacked 3", "bill stacked", "bill stacked 20 20", "bill jam now", "bill",
          "bill eaten", "coin", "coin 3", "coin 25 25", "transaction", "transaction begin"}) {
        Scenario scenario;
        ScenarioError error;
        const std::string text = std::string("send A3 01\n") + line + "\n";
        EXPECT_EQ(ParseScenario(text, scenario, error), kScenarioBadArguments) << line;
        EXPECT_EQ(error.line, 2) << line;
        EXPECT_NE(error.message.find("bill stacked 1|2|5|10|20|50|100"), std::string::npos);
    }
}

TEST(LaneEventsTest, EventsRepeatInsideBlocks) {
    Scenario scenario;
    ScenarioError error;
    ASSERT_EQ(
        ParseScenario("repeat 3\n transaction start\n bill stacked 5\n transaction end\nend\n",
                      scenario, error),
        kScenarioOk);
    ASSERT_EQ(scenario.steps.size(), 1u);
    EXPECT_EQ(scenario.steps[0].count, 3u);
    ASSERT_EQ(scenario.steps[0].body.size(), 3u);
    EXPECT_EQ(Hex(scenario.steps[0].body[2].bytes), "A8 01 01 33 ");
}

}  // namespace
}  // namespace lane::sim
