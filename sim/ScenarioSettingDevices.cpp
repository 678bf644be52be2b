// Scenario lines (after "module") of the coin dispenser, the lane settings and the cash counting
// buffers.
#include "sim/ScenarioSettingDevices.h"

#include <string>

namespace lane::sim::parse {

namespace {

constexpr std::int64_t kMaxCount = 65535;
constexpr std::size_t kTextMost = 40;

bool IsPrintable(std::string_view text) {
    for (const char c : text) {
        if (c <= 0x20 || c >= 0x7F) {
            return false;
        }
    }
    return true;
}

// One byte in two hex digits.
bool HexByte(std::string_view token, std::uint8_t& byte) {
    if (token.size() != 2 || HexDigit(token[0]) < 0 || HexDigit(token[1]) < 0) {
        return false;
    }
    byte = static_cast<std::uint8_t>(HexDigit(token[0]) * 16 + HexDigit(token[1]));
    return true;
}

int Text(LineParser& parser, const Tokens& tokens, std::size_t length, std::string& text) {
    if (tokens.size() != 3 || !IsPrintable(tokens[2]) || tokens[2].size() > kTextMost ||
        (length != 0 && tokens[2].size() != length)) {
        return parser.Fail(kScenarioBadArguments,
                           "\"module coin-dispenser " + std::string(tokens[1]) +
                               "\" takes one text" +
                               (length != 0 ? " of " + std::to_string(length) + " characters"
                                            : " (printable, at most 40 characters)"));
    }
    text = std::string(tokens[2]);
    return kScenarioOk;
}

int ParseCoinDispenser(const Tokens& tokens, LineParser& parser, CoinDispenserSetup& setup) {
    if (tokens.size() < 2) {
        return parser.Fail(
            kScenarioBadArguments,
            "\"module coin-dispenser\" takes model, pid, firmware, config, ini, status, "
            "bins, eeprom, serial, refuse-writes or absent");
    }
    const std::string_view what = tokens[1];
    if (SameWord(what, "absent") || SameWord(what, "refuse-writes")) {
        if (tokens.size() != 2) {
            return parser.Fail(kScenarioBadArguments, Quoted(what) + " takes nothing more");
        }
        (SameWord(what, "absent") ? setup.present : setup.refuseWrites) =
            SameWord(what, "refuse-writes");
        return kScenarioOk;
    }
    if (SameWord(what, "model")) {
        const std::string_view name = tokens.size() == 3 ? tokens[2] : "";
        if (SameWord(name, "t-flex")) {
            setup.model = '0';
        } else if (SameWord(name, "hopper")) {
            setup.model = '1';
        } else if (SameWord(name, "cx25")) {
            setup.model = '2';
        } else {
            std::uint8_t byte = 0;
            if (!HexByte(name, byte)) {
                return parser.Fail(
                    kScenarioBadArguments,
                    "\"module coin-dispenser model\" takes t-flex, hopper, cx25 or the "
                    "model byte in two hex digits");
            }
            setup.model = byte;
        }
        return kScenarioOk;
    }
    if (SameWord(what, "pid")) {
        return Text(parser, tokens, 4, setup.productId);
    }
    if (SameWord(what, "firmware")) {
        return Text(parser, tokens, 0, setup.firmware);
    }
    if (SameWord(what, "ini")) {
        return Text(parser, tokens, 5, setup.iniVersion);
    }
    if (SameWord(what, "serial")) {
        std::string serial;
        const int rc = Text(parser, tokens, 0, serial);
        if (rc != kScenarioOk) {
            return rc;
        }
        for (std::size_t i = 221; i <= 239; ++i) {
            setup.block[i] =
                i - 221 < serial.size() ? static_cast<std::uint8_t>(serial[i - 221]) : 0;
        }
        return kScenarioOk;
    }
    if (SameWord(what, "config")) {
        std::uint8_t code = 0;
        if (tokens.size() != 4 || !HexByte(tokens[2], code) || !IsPrintable(tokens[3]) ||
            tokens[3].size() > kTextMost) {
            return parser.Fail(
                kScenarioBadArguments,
                "\"module coin-dispenser config\" takes the code in two hex digits and "
                "its text");
        }
        setup.configCode = code;
        setup.configText = std::string(tokens[3]);
        return kScenarioOk;
    }
    if (SameWord(what, "status")) {
        if (tokens.size() != 3 || !HexByte(tokens[2], setup.status)) {
            return parser.Fail(
                kScenarioBadArguments,
                "\"module coin-dispenser status\" takes the status bits in two hex digits");
        }
        return kScenarioOk;
    }
    if (SameWord(what, "bins")) {
        if (tokens.size() != 4 || !HexByte(tokens[2], setup.bins[0]) ||
            !HexByte(tokens[3], setup.bins[1])) {
            return parser.Fail(kScenarioBadArguments,
                               "\"module coin-dispenser bins\" takes two bytes in hex digits");
        }
        return kScenarioOk;
    }
    if (SameWord(what, "eeprom")) {
        std::int64_t offset = 0;
        if (tokens.size() < 4 || !ParseNumber(tokens[2], kCoinDispenserBlockSize - 1, offset)) {
            return parser.Fail(
                kScenarioBadArguments,
                "\"module coin-dispenser eeprom\" takes an offset from 0 to 251 and hex "
                "bytes");
        }
        std::vector<std::uint8_t> bytes;
        const int rc = parser.Bytes(tokens, 3, tokens.size(), bytes);
        if (rc != kScenarioOk) {
            return rc;
        }
        if (static_cast<std::size_t>(offset) + bytes.size() > kCoinDispenserBlockSize) {
            return parser.Fail(
                kScenarioBadArguments,
                "\"module coin-dispenser eeprom\" bytes run past the 252-byte block");
        }
        for (std::size_t i = 0; i < bytes.size(); ++i) {
            setup.block[static_cast<std::size_t>(offset) + i] = bytes[i];
        }
        return kScenarioOk;
    }
    return parser.Fail(kScenarioBadArguments, "unknown coin-dispenser setting " + Quoted(what));
}

// "module lane-setting LETTER CODE VALUE": a setting's value in two hex digits (curtain windows
// under their read codes A 5 and A 9, the EAS type under X 2).
int ParseLaneSetting(const Tokens& tokens, LineParser& parser, LaneSettingsSetup& setup) {
    std::uint8_t value = 0;
    if (tokens.size() != 4 || tokens[1].size() != 1 || tokens[2].size() != 1 ||
        !HexByte(tokens[3], value)) {
        return parser.Fail(
            kScenarioBadArguments,
            "\"module lane-setting\" takes a letter, a code and the value in two hex "
            "digits (module lane-setting Z C 45)");
    }
    const std::string key{tokens[1][0], tokens[2][0]};
    if (setup.values.find(key) == setup.values.end()) {
        return parser.Fail(kScenarioBadArguments,
                           "unknown lane setting " + Quoted(key) +
                               " (Z C, Z D, Z E, Z F, Z 9, Z B, A 5, A 9 or X 2)");
    }
    setup.values[key] = value;
    return kScenarioOk;
}

// "module cash-buffers zeroed MMDDYYYYHHMM" and "module cash-buffers DEVICE N...".
int ParseCashBuffers(const Tokens& tokens, LineParser& parser, CashBuffersSetup& setup) {
    static constexpr const char* kDevices[kCashBufferDevices] = {"bill-acceptor", "bill-dispenser",
                                                                 "coin-acceptor", "coin-dispenser"};
    if (tokens.size() == 3 && SameWord(tokens[1], "zeroed")) {
        std::int64_t ignored = 0;
        if (tokens[2].size() != 12 || !ParseNumber(tokens[2].substr(0, 6), 999999, ignored) ||
            !ParseNumber(tokens[2].substr(6), 999999, ignored)) {
            return parser.Fail(kScenarioBadArguments,
                               "\"module cash-buffers zeroed\" takes twelve digits MMDDYYYYHHMM");
        }
        setup.lastZeroed = std::string(tokens[2]);
        return kScenarioOk;
    }
    for (std::size_t device = 0; device < kCashBufferDevices; ++device) {
        if (tokens.size() < 2 || !SameWord(tokens[1], kDevices[device])) {
            continue;
        }
        if (tokens.size() != 2 + kCashBufferCounts[device]) {
            return parser.Fail(kScenarioBadArguments,
                               "\"module cash-buffers " + std::string(kDevices[device]) +
                                   "\" takes " + std::to_string(kCashBufferCounts[device]) +
                                   " counts");
        }
        for (std::size_t i = 0; i < kCashBufferCounts[device]; ++i) {
            std::int64_t count = 0;
            if (!ParseNumber(tokens[2 + i], kMaxCount, count)) {
                return parser.Fail(kScenarioBadNumber, "counts are 0 to 65535");
            }
            setup.counts[device][i] = static_cast<std::uint16_t>(count);
        }
        return kScenarioOk;
    }
    return parser.Fail(kScenarioBadArguments,
                       "\"module cash-buffers\" takes zeroed MMDDYYYYHHMM, or bill-acceptor, "
                       "bill-dispenser, coin-acceptor or coin-dispenser with their counts");
}

}  // namespace

bool ParseSettingDeviceLine(const Tokens& tokens, LineParser& parser, bool inBlock,
                            Scenario& scenario, int& rc) {
    if (tokens.size() < 2 || !SameWord(tokens[0], "module")) {
        return false;
    }
    const bool coin = SameWord(tokens[1], "coin-dispenser");
    const bool setting = SameWord(tokens[1], "lane-setting");
    const bool buffers = SameWord(tokens[1], "cash-buffers");
    if (!coin && !setting && !buffers) {
        return false;
    }
    if (inBlock) {
        rc = parser.Fail(kScenarioBadModule,
                         "the module's settings are given outside repeat blocks");
        return true;
    }
    // The device's words, from its name on.
    const Tokens device(tokens.begin() + 1, tokens.end());
    rc = coin      ? ParseCoinDispenser(device, parser, scenario.module.coinDispenser)
         : setting ? ParseLaneSetting(device, parser, scenario.module.laneSettings)
                   : ParseCashBuffers(device, parser, scenario.module.cashBuffers);
    return true;
}

}  // namespace lane::sim::parse
