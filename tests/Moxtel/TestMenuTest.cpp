// The Test menu against the link rig: its items by module version, and one walk through every
// item by keys that checks each item's requests and what it shows.
#include "Moxtel/Command_TestMenu.h"
#include "tests/Moxtel/ScriptedModule.h"

namespace lane::moxtel::test {
namespace {

constexpr std::uint8_t kPort6 = link::kServicePort;

class TestMenuRig : public ModuleLinkRig {
  protected:
    TestMenuRig() {
        const auto answer =
            module.Responder([this](const link::LinkPacket& packet) { Queue(packet); });
        respond = [this, answer](const Bytes& written) {
            answer(written);
            // The buttons are pressed and the power fails once the power state was read.
            if (written == Wire(kPort6, link::TMCB_DC_PORT_DATA, "ZP")) {
                for (const auto& [command, value] : {std::pair{link::TMCB_DC_RESET_BUTTON, 1},
                                                     {link::TMCB_DC_RESET_BUTTON, 2},
                                                     {link::TMCB_DC_POWER_COMMAND, '1'}}) {
                    link::LinkPacket event;
                    event.DA = link::TMCB_PORT_SYSTEM_PORT;
                    event.DC = command;
                    event.DL = 1;
                    event.data[0] = static_cast<std::uint8_t>(value);
                    Queue(event);
                }
            }
        };
    }
    ScriptedModule module;
};

TEST_F(TestMenuRig, ItemsAreListedAndRunByModuleVersion) {
    const struct {
        unsigned version;
        bool switches;
        bool scale;
    } cases[] = {{334, false, false}, {335, true, false}, {438, true, false}, {439, true, true}};
    for (const auto& c : cases) {
        identity.version = c.version;
        const std::size_t before = module.Requests().size();
        const std::size_t shownBefore = console.Output().size();
        // A gated item does nothing: no request, no key wait, the menu comes back.
        console.AddKeys(std::string(c.switches ? "" : "12") + (c.scale ? "" : "5") + "X");
        Drive([&] { TestMenu(run); });
        const std::string shown = console.Output().substr(shownBefore);
        EXPECT_EQ(Contains(shown,
                           " 1 - Conveyor Safety Switches\n"
                           " 2 - Bill Dispenser Cash Pocket Lights/Sensors\n"),
                  c.switches)
            << c.version;
        EXPECT_EQ(Contains(shown, " 4 - Red/Green Button & UPS Test\n 5 - Scale Testing\n"),
                  c.scale)
            << c.version;
        EXPECT_TRUE(Contains(shown, "\n**** Test Menu ****\n\n")) << c.version;
        EXPECT_TRUE(Contains(shown,
                             " 6 - Lane Light / EAS Lights Test\n X - Exit This Menu\n"
                             "Enter Command:"))
            << c.version;
        EXPECT_EQ(module.Requests().size(), before) << c.version;
        EXPECT_FALSE(Contains(shown, "Press any key to continue")) << c.version;
    }
}

TEST_F(TestMenuRig, EveryItemSendsItsRequestsAndShowsTheAnswers) {
    identity.version = 447;
    module.Answer(kPort6, "CS", {"cS10"});
    for (const char* drive : {"C3", "C4", "C6"}) {
        module.Answer(kPort6, drive, {std::string("c") + drive[1]});
    }
    module.Answer(kPort6, "ZDS", {"zDS1"});
    module.Answer(kPort6, "ZDL", {"zDL0"});
    module.Answer(kPort6, "ZDB", {"zDB1"});
    module.Answer(kPort6, "PS", {"pS1"});
    module.Answer(kPort6, "PV", {std::string("pV\x80\x90\x70\x20\x30\x10")});
    module.Answer(kPort6, "ZP", {"zP0"});
    module.Answer(kPort6, "L01", {"l01"});
    module.Answer(kPort6, "L02", {"l02"});
    module.Answer(kPort6, "L21", {"l21"});
    module.Answer(kPort6, "SG", {"sG\x07\xD0"});
    console.AddKeys(std::string("14X ") +  // conveyors: rear forward, leave, key wait
                    "21 3 4 X" +           // cash pocket: sensor, light off, buzzer on
                    "3SVX " +              // coupon box: status, LED values
                    "4  " +                // buttons and power until a key, key wait
                    "6002X " +             // lights: lane light on, flashing, top EAS on
                    "51 X 2x\rX" +         // scale display (nothing streams), analysis left
                    "X");
    Drive([&] { TestMenu(run); });
    EXPECT_EQ(module.Requests(),
              (std::vector<std::string>{"6C4", "6CS", "6C3", "6C6", "6ZDS", "6ZDL0", "6ZDB1", "6PS",
                                        "6PV", "6ZP", "6L01", "6L02", "6L21", "6S5", "6S7", "6S5",
                                        "6S8", "6SG"}));
    const std::string shown = console.Output();
    for (const char* text :
         {"Rear Conveyor Forward\nFront Safety Switch Closed   Rear Safety Switch Open  \r",
          "Cash Pocket Sensor: Bill Detected\n", "Cash Pocket Light Off\n",
          "Cash Pocket Buzzer On\n", "Coupon Box Enabled\n",
          "Top    LED Array  Value 128  Max 144  Min 112\n"
          "Bottom LED Array  Value  32  Max  48  Min  16\n",
          "Power: AC Power OK\n",
          "Green Button Pressed\nRed Button Pressed\n"
          "Power: On UPS Battery\n",
          "Lane Light On\n", "Lane Light Flashing\n", "Top EAS Light On\n",
          "**** Scale Test Menu ****\n\n 1 - Display/Capture Scale Values\n"
          " 2 - Analyze Scale Data\n X - Exit This Menu\n\nEnter Command :"}) {
        EXPECT_TRUE(Contains(shown, text)) << text << "\n---\n" << shown;
    }
    // Each port-6 item closed the port it opened.
    std::size_t opened = 0;
    std::size_t closed = 0;
    for (const Bytes& written : Written()) {
        opened += written == Wire(kPort6, link::TMCB_DC_OPEN_PORT, "") ? 1 : 0;
        closed += written == Wire(kPort6, link::TMCB_DC_CLOSE_PORT, "") ? 1 : 0;
    }
    EXPECT_EQ(opened, closed);
    EXPECT_EQ(opened, 9u);
}

TEST_F(TestMenuRig, TheEndOfInputBacksOutOfEveryItemAndMenu) {
    identity.version = 447;
    module.Answer(kPort6, "CS", {"cS10"});
    for (const std::string keys : {"1", "2", "3", "4", "51", "52", "6"}) {
        console.AddKeys(keys);  // then the input ends
        Drive([&] { TestMenu(run); });
    }
    EXPECT_TRUE(console.InputEnded());
}

}  // namespace
}  // namespace lane::moxtel::test
