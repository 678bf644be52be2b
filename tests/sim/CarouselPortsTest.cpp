// lanesim's E-Box and UPS: the scenario lines that set them up, the replies each request gets
// (with the check digit, the faults and the split), and the module's answer on ports 4, 3 and 6.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "sim/CarouselPorts.h"
#include "sim/ModuleFaceProtocol.h"
#include "sim/Scenario.h"

namespace lane::sim {
namespace {

using Strings = std::vector<std::string>;

CarouselPortsSetup ParsedSetup(const std::string& text) {
    Scenario scenario;
    ScenarioError error;
    EXPECT_EQ(ParseScenario(text, scenario, error), kScenarioOk) << error.message;
    EXPECT_TRUE(scenario.usesModule);
    return scenario.carousel;
}

TEST(CarouselPortsTest, ScenarioLinesSetTheEBoxAndTheUps) {
    const CarouselPortsSetup setup = ParsedSetup(
        "ebox options .266412\n"
        "EBOX version EB-3.00\n"
        "ebox max-weight 00200\n"
        "ebox load-cells 3\n"
        "ebox serials 11111 22222\n"
        "ebox weight 54.2 unstable\n"
        "ebox split 2\n"
        "ebox error R 3\n"
        "ebox silent W count 2\n"
        "ups connect XY\n"
        "ups sensitivity H\n"
        "ups silent\n");
    EXPECT_EQ(setup.ebox.options, ".266412");
    EXPECT_EQ(setup.ebox.version, "EB-3.00");
    EXPECT_EQ(setup.ebox.maxWeight, "00200");
    EXPECT_EQ(setup.ebox.loadCells, '3');
    EXPECT_EQ(setup.ebox.serials, (Strings{"11111", "22222"}));
    EXPECT_EQ(setup.ebox.weightHundredths, 5420u);
    EXPECT_TRUE(setup.ebox.unstable);
    EXPECT_EQ(setup.ebox.split, 2u);
    ASSERT_EQ(setup.ebox.faults.size(), 2u);
    EXPECT_EQ(setup.ebox.faults[0].code, '3');
    EXPECT_EQ(setup.ebox.faults[1].code, '\0');
    EXPECT_EQ(setup.ebox.faults[1].count, 2u);
    EXPECT_EQ(setup.ups.connectReply, "XY");
    EXPECT_EQ(setup.ups.sensitivity, 'H');
    EXPECT_TRUE(setup.ups.silent);

    for (const char* bad :
         {"ebox options 123456", "ebox weight 1000", "ebox weight 5.123", "ebox split 0",
          "ebox split 61", "ebox serials 1234", "ebox serials 1 2 3 4 5 6 7", "ebox load-cells 10",
          "ebox error R", "ebox silent W count 0", "ebox colour red", "ebox", "ups sensitivity HM",
          "ups loud 1", "repeat 2\nebox split 3\nend"}) {
        Scenario scenario;
        ScenarioError error;
        EXPECT_NE(ParseScenario(bad, scenario, error), kScenarioOk) << bad;
        EXPECT_FALSE(error.message.empty()) << bad;
    }
}

TEST(CarouselPortsTest, TheEBoxAnswersEachRequestAsALine) {
    EBoxSetup setup;
    setup.weightHundredths = 5425;
    setup.faults = {EBoxFault{'Z', '2', 1}, EBoxFault{'I', '\0', 1}};
    CarouselEBox ebox(setup);
    const struct {
        const char* request;
        Strings packets;
        Strings notes;
    } cases[] = {
        {"W", {"\r 054.25LB\n"}, {}},
        {"R", {"\rR\n"}, {"ebox reset"}},
        {"Z", {"\rErr 2\n"}, {"ebox answered Z with Err 2"}},
        {"Z", {"\rZ\n"}, {"ebox zeroed"}},
        {"I", {}, {"ebox did not answer I"}},
        {"I", {"\rEB-2.10\n"}, {}},
        {"C", {"\r12345 23456 34567 45678 00000 00000 \n"}, {}},
        {"\rS\n", {"\r00150\n"}, {}},
        {"\rU\n", {"\rLCNT4\n"}, {}},
        {"\rO\n", {"\r1366512\n"}, {}},
        {"\rO12665226\n", {"\rO\n"}, {"ebox options 1266522"}},
        {"\rO\n", {"\r1266522\n"}, {}},
        {"\rO12665221\n", {"\rErr 1\n"}, {"ebox refused O12665221 (check digit 1, expected 6)"}},
        {"\rF200008\n", {"\rF\n"}, {"ebox calibration started"}},
        {"\rL054254\n", {"\r05425\n", "\rC\n"}, {"ebox calibrated with 05425"}},
        {"\rDEFAULT\n", {"\rD\n"}, {"ebox factory defaults"}},
        {"\rO\n", {"\r1366512\n"}, {}},
        {"Q", {}, {"ebox ignored Q"}},
        {"\rO", {}, {"ebox ignored \\rO"}},
    };
    for (const auto& c : cases) {
        const DeviceAnswer answer = ebox.Answer(c.request);
        EXPECT_EQ(answer.packets, c.packets) << c.request;
        EXPECT_EQ(answer.notes, c.notes) << c.request;
    }

    setup.faults.clear();
    setup.split = 3;
    EXPECT_EQ(CarouselEBox(setup).Answer("\rO\n").packets, (Strings{"\r13", "665", "12\n"}));

    UpsSetup upsSetup;
    UpsDevice ups(upsSetup);
    EXPECT_EQ(ups.Answer("Y").packets, (Strings{"S", "M", "\n"}));
    EXPECT_EQ(ups.Answer("s").packets, (Strings{"M", " ", "S", "E", "N", "S", "\n"}));
    EXPECT_TRUE(ups.Answer("+").packets.empty());
    upsSetup.silent = true;
    EXPECT_EQ(UpsDevice(upsSetup).Answer("Y").notes, Strings{"ups did not answer Y"});
}

TEST(CarouselPortsTest, TheModuleHandsPorts4And3ToTheDevicesAndTakesTheControlRequests) {
    ModuleAnswerState state;
    state.carousel = CarouselPorts(ParsedSetup("ebox split 5\n"));
    const ModuleIdentity identity;
    const auto answer = [&](std::uint8_t port, const std::string& data) {
        ModulePacket packet;
        packet.DA = port;
        packet.DC = kModulePortData;
        packet.data.assign(data.begin(), data.end());
        return AnswerPacket(packet, identity, state);
    };
    const ModuleAnswer ebox = answer(4, "\rO\n");
    ASSERT_EQ(ebox.responses.size(), 2u);
    EXPECT_EQ(ebox.responses[0].DA, 4);
    EXPECT_EQ(ebox.responses[0].DC, kModulePortData);
    EXPECT_EQ(std::string(ebox.responses[1].data.begin(), ebox.responses[1].data.end()), "512\n");
    const ModuleAnswer ups = answer(3, "Y");
    ASSERT_EQ(ups.responses.size(), 3u);
    EXPECT_EQ(ups.responses[2].DA, 3);
    EXPECT_EQ(ups.notes, Strings{"ups connected"});
    const ModuleAnswer polling = answer(6, "SFD");
    EXPECT_TRUE(polling.responses.empty());
    EXPECT_EQ(polling.notes, Strings{"ebox polling off"});
    EXPECT_EQ(answer(6, "SH ").notes, Strings{"ebox default override on"});
    // The module's own requests keep their answers.
    EXPECT_EQ(answer(6, "Z5").responses.size(), 1u);
    EXPECT_TRUE(answer(6, "SX?").notes.empty());
}

}  // namespace
}  // namespace lane::sim
