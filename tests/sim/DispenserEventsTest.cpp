// The dispensers' lane events: each event's frames, and the faults of bad events.
#include "sim/DispenserEvents.h"

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

TEST(DispenserEventsTest, EachEventIsOneSendOfTheModulesFrames) {
    const struct {
        const char* line;
        const char* frames;
    } cases[] = {
        {"dispense 20x2 5x1",
         "AB 01 10 02 33 30 42 1C 30 1C 42 30 30 31 1C 44 30 30 32 "
         "AB 02 16 02 33 30 42 1C 32 42 30 30 31 30 30 30 1C 34 44 30 30 32 30 30 30 "},
        {"Dispense 1X120",
         "AB 01 0B 02 33 30 42 1C 30 1C 41 31 32 30 AB 02 0D 02 33 30 42 1C 31 41 31 32 30 30 30 "
         "30 "},
        {"bill-dispenser jam 2", "AB 02 07 02 33 30 42 3E 32 36 "},
        {"bill-dispenser jam 6", "AB 02 07 02 33 30 42 3E 33 30 "},
        {"bill-dispenser unjam", "AB 02 05 02 33 30 42 1C "},
        {"bill-dispenser low 4", "AB 02 0C 02 33 30 61 00 00 1C 41 42 43 64 03 "},
        {"bill-dispenser refilled", "AB 02 0C 02 33 30 34 31 31 1C 41 42 43 44 03 "},
        {"bill-dispenser offline", "AB 03 01 "},
        {"bill-dispenser online", "AB 03 00 "},
        {"cassette removed 3", "AB 02 0C 02 33 30 61 08 00 1C 41 42 40 44 03 "},
        {"cassette replaced 3", "AB 02 0C 02 33 30 61 00 00 1C 41 42 43 44 03 "},
        {"coins dispensed", "AA 02 03 3F 31 20 "},
        {"coins dispensed 75", "AA 01 03 32 37 35 AA 02 03 3F 31 20 "},
        {"coin-dispenser low", "AA 02 03 3F 31 10 "},
        {"coin-dispenser ready", "AA 02 03 3F 31 00 "},
        {"coin-dispenser offline", "AA 02 03 3F 31 04 "},
        {"cash-pocket light on", "AE 01 "},
        {"cash-pocket buzzer on", "AE 02 "},
        {"cash-pocket bill", "AE 03 "},
        {"cash-pocket no-bill", "AE 04 "},
        {"Cash-Pocket Complete", "AE 05 "},
    };
    for (const auto& c : cases) {
        Scenario scenario;
        ScenarioError error;
        ASSERT_EQ(ParseScenario(c.line, scenario, error), kScenarioOk) << c.line << error.message;
        ASSERT_EQ(scenario.steps.size(), 1u) << c.line;
        EXPECT_EQ(scenario.steps[0].kind, StepKind::Send) << c.line;
        EXPECT_EQ(Hex(scenario.steps[0].bytes), c.frames) << c.line;
    }
}

TEST(DispenserEventsTest, BadEventsAreFaultsOfTheirLine) {
    for (const char* line : {"dispense",
                             "dispense 3x1",
                             "dispense 20x0",
                             "dispense 20x1000",
                             "dispense 20x2 20x1",
                             "dispense 20",
                             "dispense 20x",
                             "dispense 1x1 5x1 10x1 20x1 1x1",
                             "bill-dispenser",
                             "bill-dispenser jam 7",
                             "bill-dispenser jam",
                             "bill-dispenser jam 0",
                             "bill-dispenser low 5",
                             "bill-dispenser unjam 2",
                             "cassette removed 5",
                             "cassette gone 1",
                             "cassette removed",
                             "coins dispensed 100",
                             "coins",
                             "coins given",
                             "coin-dispenser empty",
                             "coin-dispenser low now",
                             "cash-pocket light off",
                             "cash-pocket"}) {
        Scenario scenario;
        ScenarioError error;
        const std::string text = std::string("send A3 01\n") + line + "\n";
        EXPECT_EQ(ParseScenario(text, scenario, error), kScenarioBadArguments) << line;
        EXPECT_EQ(error.line, 2) << line;
        EXPECT_NE(error.message.find("bill-dispenser jam 1..6"), std::string::npos) << line;
    }
}

}  // namespace
}  // namespace lane::sim
