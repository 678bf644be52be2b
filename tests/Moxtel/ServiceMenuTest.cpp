// The service menus by module version: which items each menu lists, and whether a chosen item
// runs (its first request reaches the module) or is passed over. Input ends after the keys of
// each case, so every menu is also left by the end of input.
#include <algorithm>

#include "Moxtel/Command_UserMenu.h"
#include "tests/Moxtel/ScriptedModule.h"

namespace lane::moxtel::test {
namespace {

struct VersionCase {
    const char* name;
    unsigned version;
    const char* keys;     // from the main menu
    const char* line;     // the menu line of the item
    bool listed;          // whether the line is shown
    const char* request;  // a request the item's run sends first ('6' port, then the data)
    bool runs;
};

std::ostream& operator<<(std::ostream& out, const VersionCase& c) {
    return out << c.name;
}

class ServiceMenuVersionTest : public ModuleLinkRig,
                               public ::testing::WithParamInterface<VersionCase> {
  protected:
    ServiceMenuVersionTest() {
        respond = module.Responder([this](const link::LinkPacket& packet) { Queue(packet); });
        module.Answer(link::kCashPort, "S4", {"s4"});  // the cash machine syncs
        identity.versionText = "4.47 01/15/2019";
        identity.checksumText = "5A3C";
        identity.checksumStatus = '0';
        identity.model = "750";
    }
    ScriptedModule module;
};

TEST_P(ServiceMenuVersionTest, ListsAndRunsTheItemAsTheModuleVersionAllows) {
    const VersionCase& c = GetParam();
    identity.version = c.version;
    console.AddKeys(c.keys);
    Drive([&] { RunMainMenu(run); });
    EXPECT_TRUE(console.InputEnded());
    EXPECT_EQ(Contains(console.Output(), c.line), c.listed) << console.Output();
    bool sent = false;
    for (const std::string& request : module.Requests()) {
        sent = sent || request.rfind(c.request, 0) == 0;
    }
    EXPECT_EQ(sent, c.runs);
}

INSTANTIATE_TEST_SUITE_P(
    Versions, ServiceMenuVersionTest,
    ::testing::Values(
        // The safety switch and cash pocket items: listed above 3.35, run from 3.35.
        VersionCase{"SafetySwitchAt334", 334, "12", " 2 - Enable/Disable Conveyor", false, "6ZC",
                    false},
        VersionCase{"SafetySwitchAt335", 335, "12", " 2 - Enable/Disable Conveyor", false, "6ZC?",
                    true},
        VersionCase{"SafetySwitchAt336", 336, "12", " 2 - Enable/Disable Conveyor", true, "6ZC?",
                    true},
        VersionCase{"CashPocketAt335", 335, "13", " 3 - Enable/Disable Bill Dispenser", false,
                    "6ZD?", true},
        VersionCase{"BizerbaAt339", 339, "14", " 4 - Set Bizerba", false, "6ZE", false},
        VersionCase{"BizerbaAt340", 340, "14", " 4 - Set Bizerba", true, "6ZE?", true},
        VersionCase{"ProximityAt408", 408, "15", " 5 - Calibrate Proximity", false, "6ZP", false},
        VersionCase{"ProximityAt409", 409, "15", " 5 - Calibrate Proximity", true, "6ZP1", true},
        VersionCase{"HighWeightAt428", 428, "16", " 6 - Set Scale to High Weight", false, "6ZH",
                    false},
        VersionCase{"HighWeightAt429", 429, "16", " 6 - Set Scale to High Weight", true, "6ZH?",
                    true},
        VersionCase{"EasLaneLightAt300", 300, "17", " 7 - Set Top EAS Light", true, "6ZA?", true},
        // All three EAS lights: listed from 3.48 to 3.99 and from 4.39, run on every module.
        VersionCase{"AllEasAt347", 347, "18", " 8 - Set all 3 EAS", false, "6Z9?", true},
        VersionCase{"AllEasAt350", 350, "18", " 8 - Set all 3 EAS", true, "6Z9?", true},
        VersionCase{"AllEasAt400", 400, "18", " 8 - Set all 3 EAS", false, "6Z9?", true},
        VersionCase{"AllEasAt438", 438, "18", " 8 - Set all 3 EAS", false, "6Z9?", true},
        VersionCase{"AllEasAt439", 439, "18", " 8 - Set all 3 EAS", true, "6Z9?", true},
        // Main menu: the coin dispenser above 4.32; the carousel listed above 4.38 but chosen
        // earlier it runs and checks 4.29 itself.
        VersionCase{"CoinDispenserAt432", 432, "6", " 6 - Coin Dispenser", false, "5S4", false},
        VersionCase{"CoinDispenserAt433", 433, "6", " 6 - Coin Dispenser", true, "5S4", true},
        VersionCase{"FujitsuAt404", 404, "", " 3 - Fujitsu", false, "5", false},
        VersionCase{"FujitsuAt405", 405, "", " 3 - Fujitsu", true, "5", false},
        VersionCase{"CarouselAt428", 428, "7", " 7 - Carousel", false, "6SFD", false},
        VersionCase{"CarouselAt438", 438, "7", " 7 - Carousel", false, "6SFD", true},
        VersionCase{"CarouselAt439", 439, "7", " 7 - Carousel", true, "6SFD", true},
        // Bill acceptor bezel above 4.63; curtain saturation above 4.28.
        VersionCase{"BezelAt463", 463, "23", " 3 - Set bezel type", false, "5BF", false},
        VersionCase{"BezelAt464", 464, "23", " 3 - Set bezel type", true, "5BF", true},
        VersionCase{"CurtainBreakAt336", 336, "41", " 1 - Set Curtain Break", true, "6A5", true},
        VersionCase{"SaturationAt428", 428, "42", " 2 - Set Curtain Saturation", false, "6A9",
                    false},
        VersionCase{"SaturationAt429", 429, "42", " 2 - Set Curtain Saturation", true, "6A9", true},
        // The EAS controller: enable listed above 4.31 and run above 3.35; the service port
        // items above 4.45.
        VersionCase{"EasEnableAt335", 335, "53", " 3 - Enable Controller", false, "6X5", false},
        VersionCase{"EasEnableAt336", 336, "53", " 3 - Enable Controller", false, "6X5", true},
        VersionCase{"EasEnableAt432", 432, "53", " 3 - Enable Controller", true, "6X5", true},
        VersionCase{"EasServiceAt445", 445, "56", " 6 - Enable Controller using", false, "6X8",
                    true},
        VersionCase{"EasServiceAt446", 446, "56", " 6 - Enable Controller using", true, "6X8",
                    true},
        VersionCase{"EasStatusAt440", 440, "55", " 5 - Hardtag Detection", true, "6X4", true}),
    [](const ::testing::TestParamInfo<VersionCase>& each) { return std::string(each.param.name); });

}  // namespace
}  // namespace lane::moxtel::test

namespace lane::moxtel::test {
namespace {

class ServiceMenuScreenTest : public ServiceMenuVersionTest {};

// The menus built here, every item by keys: from a menu's title to the end of its item's result
// each screen fits a 25-line terminal, so the title is still on the screen at the key wait.
TEST_F(ServiceMenuScreenTest, EveryScreenKeepsItsTitleOnA25LineTerminal) {
    identity.version = 470;
    module.Answer(link::kServicePort, "X3", {std::string("x3\x05") + "1"});
    console.AddKeys(
        "12\rk3\rk4\rk5kk6k7k8kX"  // security module menu
        "22X3kX"                   // bill acceptor menu
        "41\rk2\rkX"               // curtain menu
        "5110\rk23k3k4k5k6k7kX");  // Sensormatic menu
    Drive([&] { RunMainMenu(run); });
    const std::string shown = console.Output();
    const std::string clear(25, '\n');
    int screens = 0;
    for (std::size_t at = shown.find(clear); at != std::string::npos;) {
        const std::size_t next = shown.find(clear, at + clear.size());
        const std::size_t end = next == std::string::npos ? shown.size() : next;
        const std::size_t title = shown.find("****", at);
        if (title < end && shown.compare(title, 18, "**** USB Utility M") != 0) {
            const auto lines = std::count(shown.begin() + static_cast<std::ptrdiff_t>(title),
                                          shown.begin() + static_cast<std::ptrdiff_t>(end), '\n');
            EXPECT_LE(lines, 24) << shown.substr(title, end - title);
            ++screens;
        }
        at = next;
    }
    EXPECT_GE(screens, 25);
}

}  // namespace
}  // namespace lane::moxtel::test
