// Tests of the scenario lines of the security-module face: identity, steps, faults, and which
// faces a scenario uses.
#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "sim/Scenario.h"

namespace lane::sim {
namespace {

using Bytes = std::vector<std::uint8_t>;

Scenario Parsed(const std::string& text) {
    Scenario scenario;
    ScenarioError error;
    EXPECT_EQ(ParseScenario(text, scenario, error), kScenarioOk) << error.message;
    return scenario;
}

ScenarioError Refused(const std::string& text, int expectedCode) {
    Scenario scenario;
    ScenarioError error;
    EXPECT_EQ(ParseScenario(text, scenario, error), expectedCode) << text;
    return error;
}

TEST(ScenarioModuleTest, ReadsTheModuleIdentity) {
    const Scenario defaults = Parsed("delay 1\n");
    EXPECT_EQ(defaults.module.version, 447u);
    EXPECT_EQ(defaults.module.date, "01152019");
    EXPECT_EQ(defaults.module.checksum, "5A3C");
    EXPECT_TRUE(defaults.module.checksumPassed);
    EXPECT_EQ(defaults.module.model, "750");
    EXPECT_TRUE(defaults.usesPipe == false && defaults.usesModule == false);

    const Scenario scenario = Parsed(
        "module version 353 date 03/15/2019 checksum 1a2b failed\n"
        "MODULE model 7A5   # later lines change what they name\n");
    EXPECT_EQ(scenario.module.version, 353u);
    EXPECT_EQ(scenario.module.date, "03152019");
    EXPECT_EQ(scenario.module.checksum, "1A2B");
    EXPECT_FALSE(scenario.module.checksumPassed);
    EXPECT_EQ(scenario.module.model, "7A5");
    EXPECT_TRUE(scenario.usesModule);
    EXPECT_FALSE(scenario.usesPipe);
    EXPECT_TRUE(scenario.steps.empty());
}

TEST(ScenarioModuleTest, ReadsTheModuleSteps) {
    const Scenario scenario = Parsed(
        "module connect within 3000\n"
        "module expect 07 02 00 09\n"
        "monitor A3 01 A2 02\n"
        "fault checksum\n"
        "fault da 5 port 7\n"
        "fault no-answer count 3 port 6\n"
        "fault long 10\n"
        "module expect 0703000A within 0\n"
        "send A3 01\n");
    ASSERT_EQ(scenario.steps.size(), 9u);
    EXPECT_EQ(scenario.steps[0].kind, StepKind::ModuleConnect);
    EXPECT_EQ(scenario.steps[0].ms, 3000);
    EXPECT_EQ(scenario.steps[1].kind, StepKind::ModuleExpect);
    EXPECT_EQ(scenario.steps[1].bytes, (Bytes{0x07, 0x02, 0x00, 0x09}));
    EXPECT_EQ(scenario.steps[1].ms, kDefaultExpectTimeoutMs);
    EXPECT_EQ(scenario.steps[2].kind, StepKind::Monitor);
    EXPECT_EQ(scenario.steps[2].bytes, (Bytes{0xA3, 0x01, 0xA2, 0x02}));
    EXPECT_EQ(scenario.steps[3].kind, StepKind::Fault);
    EXPECT_EQ(scenario.steps[3].fault.kind, FaultKind::Checksum);
    EXPECT_EQ(scenario.steps[3].fault.port, kAnyPort);
    EXPECT_EQ(scenario.steps[3].fault.count, 1u);
    EXPECT_EQ(scenario.steps[4].fault.kind, FaultKind::Address);
    EXPECT_EQ(scenario.steps[4].fault.value, 5u);
    EXPECT_EQ(scenario.steps[4].fault.port, 7);
    EXPECT_EQ(scenario.steps[5].fault.kind, FaultKind::NoAnswer);
    EXPECT_EQ(scenario.steps[5].fault.count, 3u);
    EXPECT_EQ(scenario.steps[5].fault.port, 6);
    EXPECT_EQ(scenario.steps[6].fault.kind, FaultKind::Long);
    EXPECT_EQ(scenario.steps[6].fault.value, 10u);
    EXPECT_EQ(scenario.steps[7].ms, 0);
    EXPECT_EQ(scenario.steps[8].kind, StepKind::Send);
    EXPECT_TRUE(scenario.usesModule);
    EXPECT_TRUE(scenario.usesPipe);
}

TEST(ScenarioModuleTest, FaultsInRepeatBlocksAndTheirKinds) {
    const Scenario scenario = Parsed(
        "repeat 2\n"
        "  fault dc 9\n"
        "  fault dl 255\n"
        "  fault short 0\n"
        "  monitor A6 01\n"
        "end\n");
    ASSERT_EQ(scenario.steps.size(), 1u);
    const auto& body = scenario.steps[0].body;
    ASSERT_EQ(body.size(), 4u);
    EXPECT_EQ(body[0].fault.kind, FaultKind::Command);
    EXPECT_EQ(body[1].fault.kind, FaultKind::Length);
    EXPECT_EQ(body[1].fault.value, 255u);
    EXPECT_EQ(body[2].fault.kind, FaultKind::Short);
    EXPECT_EQ(body[2].fault.value, 0u);
}

TEST(ScenarioModuleTest, RefusesBadModuleLinesWithTheirLine) {
    EXPECT_EQ(Refused("delay 1\nmodule\n", kScenarioBadArguments).line, 2);
    EXPECT_EQ(Refused("module version\n", kScenarioBadArguments).message,
              "\"version\" needs a value");
    EXPECT_EQ(Refused("module version 10000\n", kScenarioBadModule).message,
              "bad version \"10000\" (0 to 9999, 447 is 4.47)");
    EXPECT_EQ(Refused("module date 3/15/2019\n", kScenarioBadModule).message,
              "bad date \"3/15/2019\" (MM/DD/YYYY, digits)");
    EXPECT_EQ(Refused("module checksum 12G4\n", kScenarioBadModule).message,
              "bad checksum \"12G4\" (four hex digits)");
    EXPECT_EQ(Refused("module model 7500\n", kScenarioBadModule).message,
              "bad model \"7500\" (three characters)");
    EXPECT_EQ(Refused("module colour red\n", kScenarioBadModule).message,
              "unknown module setting \"colour\"");
    EXPECT_EQ(Refused("repeat 2\nmodule version 447\nend\n", kScenarioBadModule).message,
              "the module's settings are given outside repeat blocks");
    EXPECT_EQ(Refused("module connect now\n", kScenarioBadArguments).message, "unexpected \"now\"");
    EXPECT_EQ(Refused("module expect\n", kScenarioBadArguments).message, "no bytes given");
    EXPECT_EQ(Refused("monitor\n", kScenarioBadArguments).message, "no bytes given");
    EXPECT_EQ(Refused("monitor A3 0\n", kScenarioBadHex).line, 1);
    EXPECT_EQ(Refused("fault\n", kScenarioBadArguments).line, 1);
    EXPECT_EQ(Refused("fault late\n", kScenarioBadModule).message, "unknown fault \"late\"");
    EXPECT_EQ(Refused("fault da\n", kScenarioBadNumber).message,
              "fault da takes a number from 0 to 255");
    EXPECT_EQ(Refused("fault dc 256\n", kScenarioBadNumber).line, 1);
    EXPECT_EQ(Refused("fault long 0\n", kScenarioBadNumber).message,
              "fault long takes a number from 1 to 4000");
    EXPECT_EQ(Refused("fault checksum port 8\n", kScenarioBadNumber).message,
              "\"port\" takes a port from 0 to 7");
    EXPECT_EQ(Refused("fault checksum count 0\n", kScenarioBadNumber).line, 1);
    EXPECT_EQ(Refused("fault checksum 3\n", kScenarioBadArguments).message, "unexpected \"3\"");
    EXPECT_EQ(Refused("fault checksum port\n", kScenarioBadNumber).line, 1);
}

TEST(ScenarioModuleTest, ReadsTheCashMachineRepliesAndUploadLines) {
    const Scenario defaults = Parsed("delay 1\n");
    EXPECT_EQ(defaults.module.ccuVersion, 130u);
    EXPECT_EQ(defaults.module.ccuDate, "07042021");
    EXPECT_EQ(defaults.replies.delayMs, 0);
    EXPECT_EQ(defaults.replies.noise, 0u);

    const Scenario scenario = Parsed(
        "module ccu 0131 date 12/25/2020\n"
        "module reply-delay 1500\n"
        "module noise 100\n"
        "module connect\n"
        "module expect-upload\n"
        "repeat 2\n"
        "  module expect-upload within 90000\n"
        "end\n"
        "module CCU 140   # a later line keeps the date\n");
    EXPECT_EQ(scenario.module.ccuVersion, 140u);
    EXPECT_EQ(scenario.module.ccuDate, "12252020");
    EXPECT_EQ(scenario.replies.delayMs, 1500);
    EXPECT_EQ(scenario.replies.noise, 100u);
    EXPECT_TRUE(scenario.usesModule);
    EXPECT_FALSE(scenario.usesPipe);
    ASSERT_EQ(scenario.steps.size(), 3u);
    EXPECT_EQ(scenario.steps[1].kind, StepKind::ModuleExpectUpload);
    EXPECT_EQ(scenario.steps[1].ms, kDefaultExpectTimeoutMs);
    ASSERT_EQ(scenario.steps[2].body.size(), 1u);
    EXPECT_EQ(scenario.steps[2].body[0].kind, StepKind::ModuleExpectUpload);
    EXPECT_EQ(scenario.steps[2].body[0].ms, 90000);
    // A settings-only module scenario serves the module alone.
    EXPECT_TRUE(Parsed("module noise 3\n").usesModule);
}

TEST(ScenarioModuleTest, RefusesBadCashReplyAndUploadLines) {
    EXPECT_EQ(Refused("module ccu\n", kScenarioBadModule).message,
              "\"module ccu\" takes a version from 0 to 9999 (130 or 0130 is 1.30), then "
              "optionally date MM/DD/YYYY");
    EXPECT_EQ(Refused("module ccu 1.30\n", kScenarioBadModule).line, 1);
    EXPECT_EQ(Refused("module ccu 10000\n", kScenarioBadModule).line, 1);
    EXPECT_EQ(Refused("module ccu 130 date\n", kScenarioBadArguments).message,
              "\"module ccu\" takes VERSION [date MM/DD/YYYY] only");
    EXPECT_EQ(Refused("module ccu 130 model 750\n", kScenarioBadArguments).line, 1);
    EXPECT_EQ(Refused("module ccu 130 date 7/4/2021\n", kScenarioBadModule).message,
              "bad date \"7/4/2021\" (MM/DD/YYYY, digits)");
    EXPECT_EQ(Refused("module reply-delay\n", kScenarioBadArguments).message,
              "\"module reply-delay\" takes one number: milliseconds");
    EXPECT_EQ(Refused("module reply-delay 86400001\n", kScenarioBadNumber).line, 1);
    EXPECT_EQ(Refused("module reply-delay -5\n", kScenarioBadNumber).line, 1);
    EXPECT_EQ(Refused("module noise 1001\n", kScenarioBadNumber).message,
              "\"module noise\" takes a count from 0 to 1000");
    EXPECT_EQ(Refused("module noise 1 2\n", kScenarioBadArguments).line, 1);
    EXPECT_EQ(Refused("repeat 2\nmodule noise 3\nend\n", kScenarioBadModule).line, 2);
    EXPECT_EQ(Refused("repeat 2\nmodule ccu 130\nend\n", kScenarioBadModule).line, 2);
    EXPECT_EQ(Refused("module expect-upload 5\n", kScenarioBadArguments).message,
              "unexpected \"5\"");
    EXPECT_EQ(Refused("module expect-upload within\n", kScenarioBadArguments).line, 1);
    EXPECT_EQ(Refused("module expect-upload within soon\n", kScenarioBadNumber).line, 1);
}

TEST(ScenarioModuleTest, TheShippedModuleScenarioReads) {
    std::ifstream in(std::string(LANE_SOURCE_DIR) + "/sim/scenarios/module.scn", std::ios::binary);
    ASSERT_TRUE(in);
    const std::string text{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    const Scenario scenario = Parsed(text);
    EXPECT_TRUE(scenario.usesModule);
    EXPECT_FALSE(scenario.usesPipe);
    EXPECT_EQ(scenario.holdMs, 60000);

    std::ifstream upload(std::string(LANE_SOURCE_DIR) + "/sim/scenarios/upload.scn",
                         std::ios::binary);
    ASSERT_TRUE(upload);
    const Scenario uploadScenario = Parsed(
        std::string{std::istreambuf_iterator<char>(upload), std::istreambuf_iterator<char>()});
    EXPECT_TRUE(uploadScenario.usesModule);
    ASSERT_EQ(uploadScenario.steps.size(), 2u);
    EXPECT_EQ(uploadScenario.steps[1].kind, StepKind::ModuleExpectUpload);
}

}  // namespace
}  // namespace lane::sim
