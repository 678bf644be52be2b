// Tests of the scenario parser: the steps it builds and the faults it reports with their lines.
#include "sim/Scenario.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace lane::sim {
namespace {

using Bytes = std::vector<std::uint8_t>;

Scenario Parsed(const std::string& text) {
    Scenario scenario;
    ScenarioError error;
    EXPECT_EQ(ParseScenario(text, scenario, error), kScenarioOk) << error.message;
    return scenario;
}

ScenarioError Fault(const std::string& text, int expectedCode) {
    Scenario scenario;
    ScenarioError error;
    EXPECT_EQ(ParseScenario(text, scenario, error), expectedCode) << text;
    EXPECT_TRUE(scenario.steps.empty());
    return error;
}

TEST(ScenarioTest, AByteOrderMarkOpeningTheFileIsNotPartOfTheFirstCommand) {
    const Scenario scenario = Parsed("\xEF\xBB\xBFsend A3 01\r\n");
    ASSERT_EQ(scenario.steps.size(), 1u);
    EXPECT_EQ(scenario.steps[0].kind, StepKind::Send);
    EXPECT_EQ(Fault("send A3 01\n\xEF\xBB\xBFsend A3 01\n", kScenarioUnknownCommand).line, 2);
}

TEST(ScenarioTest, ReadsEveryStepKind) {
    const Scenario scenario = Parsed(
        "# the monitor starts\n"
        "connect within 5000\n"
        "expect 02 56 03 02 48 03\n"
        "\n"
        "   SEND a3 01   # lane light on\n"
        "send A301A202\n"
        "delay 250\r\n"
        "drop\n"
        "expect DEADBEEF FFFF within 0\n"
        "hold 2000\n");
    ASSERT_EQ(scenario.steps.size(), 7u);
    EXPECT_EQ(scenario.steps[0].kind, StepKind::Connect);
    EXPECT_EQ(scenario.steps[0].ms, 5000);
    EXPECT_EQ(scenario.steps[0].line, 2);
    EXPECT_EQ(scenario.steps[1].kind, StepKind::Expect);
    EXPECT_EQ(scenario.steps[1].bytes, (Bytes{0x02, 0x56, 0x03, 0x02, 0x48, 0x03}));
    EXPECT_EQ(scenario.steps[1].ms, kDefaultExpectTimeoutMs);
    EXPECT_EQ(scenario.steps[2].kind, StepKind::Send);
    EXPECT_EQ(scenario.steps[2].bytes, (Bytes{0xA3, 0x01}));
    EXPECT_EQ(scenario.steps[2].line, 5);
    EXPECT_EQ(scenario.steps[3].bytes, (Bytes{0xA3, 0x01, 0xA2, 0x02}));
    EXPECT_EQ(scenario.steps[4].kind, StepKind::Delay);
    EXPECT_EQ(scenario.steps[4].ms, 250);
    EXPECT_EQ(scenario.steps[5].kind, StepKind::Drop);
    EXPECT_EQ(scenario.steps[5].ms, kNoLimitMs);
    EXPECT_EQ(scenario.steps[6].bytes, (Bytes{0xDE, 0xAD, 0xBE, 0xEF, 0xFF, 0xFF}));
    EXPECT_EQ(scenario.steps[6].ms, 0);
    EXPECT_EQ(scenario.holdMs, 2000);
}

TEST(ScenarioTest, RepeatBlocksNest) {
    const Scenario scenario = Parsed(
        "repeat 3\n"
        "  send A5 01\n"
        "  repeat 2\n"
        "    delay 10\n"
        "  end\n"
        "end\n"
        "send A5 02\n");
    EXPECT_EQ(scenario.holdMs, kNoLimitMs);
    ASSERT_EQ(scenario.steps.size(), 2u);
    const Step& outer = scenario.steps[0];
    EXPECT_EQ(outer.kind, StepKind::Repeat);
    EXPECT_EQ(outer.count, 3u);
    ASSERT_EQ(outer.body.size(), 2u);
    EXPECT_EQ(outer.body[1].kind, StepKind::Repeat);
    EXPECT_EQ(outer.body[1].count, 2u);
    ASSERT_EQ(outer.body[1].body.size(), 1u);
    EXPECT_EQ(outer.body[1].body[0].ms, 10);
    EXPECT_EQ(scenario.steps[1].bytes, (Bytes{0xA5, 0x02}));

    EXPECT_TRUE(Parsed("").steps.empty());
    EXPECT_TRUE(Parsed("# nothing\n\n   \n").steps.empty());
}

TEST(ScenarioTest, FaultsNameTheirLine) {
    struct Case {
        const char* text;
        int code;
        int line;
    };
    const Case cases[] = {
        {"send A3 01\nsned A3 01\n", kScenarioUnknownCommand, 2},
        {"send\n", kScenarioBadArguments, 1},
        {"\n\nsend A3 1\n", kScenarioBadHex, 3},
        {"send A3 0G\n", kScenarioBadHex, 1},
        {"send 0xA3\n", kScenarioBadHex, 1},
        {"expect within 100\n", kScenarioBadArguments, 1},
        {"expect 02 within\n", kScenarioBadArguments, 1},
        {"expect 02 within 10 03\n", kScenarioBadArguments, 1},
        {"connect now\n", kScenarioBadArguments, 1},
        {"drop within -5\n", kScenarioBadNumber, 1},
        {"delay\n", kScenarioBadArguments, 1},
        {"delay 1.5\n", kScenarioBadNumber, 1},
        {"delay 86400001\n", kScenarioBadNumber, 1},
        {"delay 99999999999999999999999\n", kScenarioBadNumber, 1},
        {"repeat 0\nend\n", kScenarioBadNumber, 1},
        {"repeat 1000001\nend\n", kScenarioBadNumber, 1},
        {"send A3 01\nend\n", kScenarioBadBlock, 2},
        {"send A3 01\nrepeat 2\nsend A3 01\n", kScenarioBadBlock, 2},
        {"repeat 2\nend now\n", kScenarioBadArguments, 2},
        {"hold 10\nhold 20\n", kScenarioBadHold, 2},
        {"repeat 2\nhold 10\nend\n", kScenarioBadHold, 2},
        {"hold\n", kScenarioBadArguments, 1},
    };
    for (const Case& c : cases) {
        const ScenarioError error = Fault(c.text, c.code);
        EXPECT_EQ(error.line, c.line) << c.text;
        EXPECT_FALSE(error.message.empty()) << c.text;
    }
    EXPECT_EQ(Fault("sned A3 01\n", kScenarioUnknownCommand).message, "unknown command \"sned\"");
}

TEST(ScenarioTest, LimitsHoldAgainstHostileFiles) {
    std::string nested;
    for (int depth = 0; depth < kMaxRepeatDepth; ++depth) {
        nested += "repeat 2\n";
    }
    std::string closing;
    for (int depth = 0; depth < kMaxRepeatDepth; ++depth) {
        closing += "end\n";
    }
    EXPECT_EQ(Parsed(nested + closing).steps.size(), 1u);
    EXPECT_EQ(Fault(nested + "repeat 2\n" + closing + "end\n", kScenarioBadBlock).line,
              kMaxRepeatDepth + 1);

    std::string packet = "send";
    for (std::size_t i = 0; i < kMaxPacketBytes; ++i) {
        packet += " 5A";
    }
    EXPECT_EQ(Parsed(packet).steps[0].bytes.size(), kMaxPacketBytes);
    Fault(packet + "5A\n", kScenarioBadHex);

    // Control characters in a command are not echoed into the message.
    const ScenarioError error = Fault(std::string("s\x01\x1bnd 01\n"), kScenarioUnknownCommand);
    EXPECT_EQ(error.message, "unknown command \"s??nd\"");
}

}  // namespace
}  // namespace lane::sim
