// Live tests on the service port: requests 'C' (conveyors and their safety switches), 'Z' 'D'
// (cash pocket sensor, light 'L' and buzzer 'B'), 'Z' 'P' (power state) and 'L' (lights); the
// system port's button (DC 13) and power (DC 14) events.
#include "Moxtel/Command_LaneTests.h"

#include <cctype>
#include <string>

#include "Moxtel/PortRequest.h"
#include "link/LinkConfig.h"

namespace lane::moxtel {

namespace {

constexpr const char* kModule = "Command_LaneTests";
constexpr int kEscape = 27;

void Show(UtilityRun& run, const std::string& text) {
    run.log.LogMessage(kLogShow, kCategoryCommand, kModule, __LINE__, "%s", text.c_str());
}

bool OpenServicePort(UtilityRun& run, SecurityModuleCommands& commands) {
    if (commands.OpenPort6() == 0) {
        return true;
    }
    Show(run, "ERROR 1B: Can not open port 6.");
    return false;
}

int PolledKey(UtilityRun& run) {
    if (!run.console.KeyWaiting()) {
        return 0;
    }
    return std::toupper(run.console.GetKey() & 0xFF);
}

bool LeavesTest(UtilityRun& run, int key) {
    return key == 'X' || key == kEscape || run.console.InputEnded();
}

const char* SwitchText(std::uint8_t state) {
    return state == '1' ? "Closed" : state == '0' ? "Open  " : "Unknown";
}

// ---- Conveyor safety switches ---------------------------------------------------------------

// Keys 1 to 6 and what they make the conveyors do.
constexpr const char* kConveyorActions[] = {"Front Conveyor Forward", "Front Conveyor Reverse",
                                            "Front Conveyor Stop",    "Rear Conveyor Forward",
                                            "Rear Conveyor Reverse",  "Rear Conveyor Stop"};

}  // namespace

int LaneTestRequest(UtilityRun& run, SecurityModuleCommands& commands, const std::string& data,
                    std::uint8_t letter, std::uint8_t code, const char* what,
                    link::LinkPacket& reply) {
    const int result = PortRequest(commands, run, link::kServicePort, data, letter, code,
                                   kLaneTestWaitCount, reply);
    if (result == kPortWriteFailed) {
        Show(run, "ERROR 11: Writing Security Module Data Failed.");
    } else if (result == kPortNoReply) {
        Show(run, std::string("ERROR 10: ") + what + " did not respond.");
    } else if (result == kPortTooManyPackets) {
        Show(run, std::string("ERROR 12: ") + what + " did not respond.");
    }
    return result;
}

void ConveyorSafetySwitchTest(UtilityRun& run) {
    SecurityModuleCommands commands(run);
    commands.ClearScreen();
    Show(run, "**** Conveyor Safety Switches Test ****\n");
    if (!OpenServicePort(run, commands)) {
        return;
    }
    run.console.Write(
        "1 - Front Conveyor Forward, 2 - Front Conveyor Reverse, 3 - Front Conveyor Stop\n"
        "4 - Rear Conveyor Forward,  5 - Rear Conveyor Reverse,  6 - Rear Conveyor Stop\n"
        "X - Exit Test\n\n");
    std::string shown;
    for (;;) {
        const int key = PolledKey(run);
        if (LeavesTest(run, key)) {
            break;
        }
        link::LinkPacket reply;
        if (key >= '1' && key <= '6') {
            run.console.Write(std::string("\n") + kConveyorActions[key - '1'] + "\n");
            if (LaneTestRequest(run, commands, std::string{'C', static_cast<char>(key)}, 'c',
                                static_cast<std::uint8_t>(key), "Conveyor", reply) != 0) {
                break;
            }
        }
        if (LaneTestRequest(run, commands, "CS", 'c', 'S', "Conveyor", reply) != 0) {
            break;
        }
        const std::string line = std::string("Front Safety Switch ") +
                                 SwitchText(PacketByte(reply, 5)) + "   Rear Safety Switch " +
                                 SwitchText(PacketByte(reply, 6)) + "\r";
        if (line != shown) {
            run.console.Write(line);  // rewritten in place only when a switch changed
            shown = line;
        }
    }
    // Leave both belts standing.
    link::LinkPacket reply;
    static_cast<void>(LaneTestRequest(run, commands, "C3", 'c', '3', "Conveyor", reply));
    static_cast<void>(LaneTestRequest(run, commands, "C6", 'c', '6', "Conveyor", reply));
    run.console.Write("\n");
    static_cast<void>(commands.ClosePort6());
}

// ---- Cash pocket ----------------------------------------------------------------------------

namespace {

void CashPocketItem(UtilityRun& run, SecurityModuleCommands& commands, int choice) {
    link::LinkPacket reply;
    if (choice == '1') {
        if (LaneTestRequest(run, commands, "ZDS", 'z', 'D', "Cash Pocket", reply) == 0) {
            Show(run, PacketByte(reply, 6) == '1' ? "Cash Pocket Sensor: Bill Detected"
                                                  : "Cash Pocket Sensor: No Bill Detected");
        }
        return;
    }
    const bool light = choice == '2' || choice == '3';
    const char on = choice == '2' || choice == '4' ? '1' : '0';
    const std::string request{'Z', 'D', light ? 'L' : 'B', on};
    if (LaneTestRequest(run, commands, request, 'z', 'D', "Cash Pocket", reply) != 0) {
        return;
    }
    const bool isOn = PacketByte(reply, 6) == '1';
    Show(run,
         std::string(light ? "Cash Pocket Light " : "Cash Pocket Buzzer ") + (isOn ? "On" : "Off"));
}

}  // namespace

void CashPocketTest(UtilityRun& run) {
    SecurityModuleCommands commands(run);
    for (;;) {
        commands.ClearScreen();
        run.console.Write(
            "\n**** Bill Dispenser Cash Pocket Test ****\n\n 1 - Sensor Status\n 2 - Light On\n"
            " 3 - Light Off\n 4 - Buzzer On\n 5 - Buzzer Off\n X - Exit This Menu\nEnter "
            "Command:");
        const int choice =
            run.options.acknowledgeResults ? std::toupper(run.console.GetKey() & 0xFF) : 'X';
        run.console.Write(std::string(1, static_cast<char>(choice)) + "\n\n");
        if (choice == 'X' || run.console.InputEnded()) {
            return;
        }
        if (choice < '1' || choice > '5') {
            continue;
        }
        if (!OpenServicePort(run, commands)) {
            commands.WaitForKey();
            continue;
        }
        CashPocketItem(run, commands, choice);
        static_cast<void>(commands.ClosePort6());
        commands.WaitForKey();
    }
}

// ---- Buttons and UPS ------------------------------------------------------------------------

namespace {

const char* PowerText(std::uint8_t state) {
    switch (state) {
        case '0':
            return "Power: AC Power OK";
        case '1':
            return "Power: On UPS Battery";
        case '2':
            return "Power: UPS Battery Low";
        default:
            return "Power: Unknown";
    }
}

}  // namespace

void ButtonAndUpsTest(UtilityRun& run) {
    SecurityModuleCommands commands(run);
    commands.ClearScreen();
    Show(run, "**** Red/Green Button & UPS Test ****\n");
    if (!OpenServicePort(run, commands)) {
        return;
    }
    link::LinkPacket reply;
    if (LaneTestRequest(run, commands, "ZP", 'z', 'P', "Power Status", reply) == 0) {
        Show(run, PowerText(PacketByte(reply, 5)));
    }
    run.console.Write("Press the buttons; press any key to end the test.\n\n");
    for (;;) {
        link::LinkPacket packet;
        // Events are taken as they come; the keys are looked at once none is waiting.
        if (run.link.ReadPacketFromSecurityModule(packet, 1)) {
            if (packet.DA != link::TMCB_PORT_SYSTEM_PORT || packet.DL == 0) {
                continue;
            }
            if (packet.DC == link::TMCB_DC_RESET_BUTTON) {
                if (packet.data[0] == 1) {
                    Show(run, "Green Button Pressed");
                } else if (packet.data[0] == 2) {
                    Show(run, "Red Button Pressed");
                }
            } else if (packet.DC == link::TMCB_DC_POWER_COMMAND) {
                Show(run, PowerText(packet.data[0]));
            }
            continue;
        }
        if (run.console.KeyWaiting()) {
            static_cast<void>(run.console.GetKey());
            break;
        }
    }
    static_cast<void>(commands.ClosePort6());
}

// ---- Lights ---------------------------------------------------------------------------------

namespace {

constexpr const char* kLightNames[kTestLights] = {"Lane Light", "Yellow Light", "Top EAS Light",
                                                  "Middle EAS Light", "Bottom EAS Light"};

const char* LightStateText(std::uint8_t state) {
    return state == '1' ? "On" : state == '2' ? "Flashing" : "Off";
}

}  // namespace

void LaneLightTest(UtilityRun& run) {
    SecurityModuleCommands commands(run);
    commands.ClearScreen();
    Show(run, "**** Lane Light / EAS Lights Test ****\n");
    if (!OpenServicePort(run, commands)) {
        return;
    }
    std::string keys;
    for (int light = 0; light < kTestLights; ++light) {
        keys += std::to_string(light) + " - " + kLightNames[light] + "\n";
    }
    run.console.Write(keys +
                      "Each key switches its light Off, On, Flashing in turn.\nX - Exit "
                      "Test\n\n");
    char states[kTestLights] = {'0', '0', '0', '0', '0'};
    for (;;) {
        const int key = std::toupper(run.console.GetKey() & 0xFF);
        if (LeavesTest(run, key)) {
            break;
        }
        if (key < '0' || key >= '0' + kTestLights) {
            continue;
        }
        const int light = key - '0';
        const char next = static_cast<char>('0' + (states[light] - '0' + 1) % 3);
        link::LinkPacket reply;
        if (LaneTestRequest(run, commands, std::string{'L', static_cast<char>(key), next}, 'l',
                            static_cast<std::uint8_t>(key), "Lights", reply) != 0) {
            continue;
        }
        states[light] = static_cast<char>(PacketByte(reply, 5));
        Show(run, std::string(kLightNames[light]) + " " + LightStateText(PacketByte(reply, 5)));
    }
    static_cast<void>(commands.ClosePort6());
}

}  // namespace lane::moxtel
