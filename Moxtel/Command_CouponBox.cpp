// The coupon box test: 'P' and a key ('O' enable, 'E' enable without LEDs, 'C' disable, 'S'
// status, 'V' LED values); every reply is 'p' and the key, then its data.
#include "Moxtel/Command_CouponBox.h"

#include <cctype>
#include <cstdio>
#include <string>

#include "Moxtel/Command_LaneTests.h"
#include "Moxtel/PortRequest.h"
#include "Moxtel/securitymodule_commands.h"

namespace lane::moxtel {

namespace {

constexpr const char* kModule = "Command_CouponBox";
constexpr int kEscape = 27;

void Show(UtilityRun& run, const std::string& text) {
    run.log.LogMessage(kLogShow, kCategoryCommand, kModule, __LINE__, "%s", text.c_str());
}

std::string StatusText(std::uint8_t state) {
    switch (state) {
        case '0':
            return "Coupon Box Disabled";
        case '1':
            return "Coupon Box Enabled";
        case '2':
            return "Coupon Box Enabled, LED Off";
        default:
            return "Coupon Box Status Unknown";
    }
}

// One LED array's line: value, maximum and minimum from wire byte `first` on.
std::string LedLine(const char* name, const link::LinkPacket& reply, std::size_t first) {
    char text[96];
    std::snprintf(text, sizeof text, "%s LED Array  Value %3u  Max %3u  Min %3u", name,
                  static_cast<unsigned>(PacketByte(reply, first)),
                  static_cast<unsigned>(PacketByte(reply, first + 1)),
                  static_cast<unsigned>(PacketByte(reply, first + 2)));
    return text;
}

void ShowReply(UtilityRun& run, int key, const link::LinkPacket& reply) {
    switch (key) {
        case 'O':
        case 'E':
        case 'C':
        case 'S':
            Show(run, StatusText(PacketByte(reply, 5)));
            break;
        case 'V':
            Show(run, LedLine("Top   ", reply, 5));
            Show(run, LedLine("Bottom", reply, 8));
            break;
        default:
            break;
    }
}

}  // namespace

void CouponBoxTest(UtilityRun& run) {
    SecurityModuleCommands commands(run);
    commands.ClearScreen();
    Show(run, "**** Coupon Box Test ****\n");
    if (commands.OpenPort6() != 0) {
        Show(run, "ERROR 1B: Can not open port 6.");
        return;
    }
    const std::string keys =
        "O - Enable Box, C - Disable, S - Status, V - LED Values, E - Enable Box no LED, X = "
        "Exit\n";
    run.console.Write(keys);
    for (;;) {
        const int key = std::toupper(run.console.GetKey() & 0xFF);
        if (key == 'X' || key == kEscape || run.console.InputEnded()) {
            break;
        }
        if (key != 'O' && key != 'C' && key != 'S' && key != 'V' && key != 'E') {
            continue;
        }
        link::LinkPacket reply;
        if (LaneTestRequest(run, commands, std::string{'P', static_cast<char>(key)}, 'p',
                            static_cast<std::uint8_t>(key), "Coupon Box", reply) == 0) {
            ShowReply(run, key, reply);
        }
        run.console.Write(keys);
    }
    static_cast<void>(commands.ClosePort6());
}

}  // namespace lane::moxtel
