// The Fujitsu bill dispenser's scenario lines.
#include "sim/ScenarioFujitsu.h"

#include <string>

namespace lane::sim::parse {

namespace {

constexpr const char* kUsage =
    "\"fujitsu-dispenser\" takes currency XXX, last-errors HH HH, cassettes HH HH HH, "
    "thickness N..., firmware XXXXXX, released YYMMDD, status POS HH..., log POS HH..., "
    "message TEXT, send-bytes N or absent";
constexpr std::size_t kMostThicknessValues = 64;

bool Printable(std::string_view text) {
    for (const char c : text) {
        if (c < 0x20 || c > 0x7E) {
            return false;
        }
    }
    return true;
}

// Bytes in hex from tokens[first] on, each one byte.
int HexBytes(const Tokens& tokens, std::size_t first, LineParser& parser,
             std::vector<std::uint8_t>& bytes) {
    return parser.Bytes(tokens, first, tokens.size(), bytes);
}

// Hex bytes at a position of one of the blocks; they must fit.
int BlockBytes(const Tokens& tokens, LineParser& parser, FujitsuBlock& block) {
    std::int64_t position = 0;
    if (tokens.size() < 4 ||
        !ParseNumber(tokens[2], static_cast<std::int64_t>(kFujitsuBlockBytes) - 1, position)) {
        return parser.Fail(kScenarioBadArguments,
                           Quoted(tokens[1]) + " takes a position from 0 to 511 and hex bytes");
    }
    std::vector<std::uint8_t> bytes;
    const int rc = HexBytes(tokens, 3, parser, bytes);
    if (rc != kScenarioOk) {
        return rc;
    }
    if (static_cast<std::size_t>(position) + bytes.size() > kFujitsuBlockBytes) {
        return parser.Fail(kScenarioBadArguments, "the bytes run past the 512-byte block");
    }
    std::copy(bytes.begin(), bytes.end(), block.begin() + position);
    return kScenarioOk;
}

// Exactly `count` hex bytes from tokens[2] on.
int FixedBytes(const Tokens& tokens, LineParser& parser, std::size_t count, std::uint8_t* out) {
    std::vector<std::uint8_t> bytes;
    if (tokens.size() < 3) {
        return parser.Fail(kScenarioBadArguments,
                           Quoted(tokens[1]) + " takes " + std::to_string(count) + " hex bytes");
    }
    const int rc = HexBytes(tokens, 2, parser, bytes);
    if (rc != kScenarioOk) {
        return rc;
    }
    if (bytes.size() != count) {
        return parser.Fail(kScenarioBadHex,
                           Quoted(tokens[1]) + " takes " + std::to_string(count) + " hex bytes");
    }
    std::copy(bytes.begin(), bytes.end(), out);
    return kScenarioOk;
}

int ParseSetting(const Tokens& tokens, LineParser& parser, FujitsuDispenserSetup& setup) {
    const std::string_view what = tokens[1];
    if (SameWord(what, "absent")) {
        setup.present = false;
        return parser.NoArguments(tokens, 2, tokens.size());
    }
    if (SameWord(what, "currency")) {
        if (tokens.size() != 3 || tokens[2].size() != 3 || !Printable(tokens[2])) {
            return parser.Fail(kScenarioBadArguments, "\"currency\" takes three letters");
        }
        setup.currency = std::string(tokens[2]);
        return kScenarioOk;
    }
    if (SameWord(what, "last-errors")) {
        return FixedBytes(tokens, parser, 2, setup.lastErrors);
    }
    if (SameWord(what, "cassettes")) {
        return FixedBytes(tokens, parser, kFujitsuCassettes,
                          setup.status.data() + kFujitsuCassetteStatusAt);
    }
    if (SameWord(what, "status")) {
        return BlockBytes(tokens, parser, setup.status);
    }
    if (SameWord(what, "log")) {
        return BlockBytes(tokens, parser, setup.log);
    }
    if (SameWord(what, "thickness")) {
        if (tokens.size() < 3 || tokens.size() - 2 > kMostThicknessValues) {
            return parser.Fail(kScenarioBadArguments,
                               "\"thickness\" takes 1 to 64 values from 0 to 255");
        }
        setup.thickness.clear();
        for (std::size_t i = 2; i < tokens.size(); ++i) {
            std::int64_t value = 0;
            if (!ParseNumber(tokens[i], 255, value)) {
                return parser.Fail(kScenarioBadNumber,
                                   "bad thickness " + Quoted(tokens[i]) + " (0 to 255)");
            }
            setup.thickness.push_back(static_cast<std::uint8_t>(value));
        }
        setup.status[kFujitsuThicknessAt] = setup.thickness.front();
        return kScenarioOk;
    }
    if (SameWord(what, "firmware") || SameWord(what, "released")) {
        const bool firmware = SameWord(what, "firmware");
        const std::string_view text = tokens.size() == 3 ? tokens[2] : std::string_view{};
        bool right = text.size() == 6 && Printable(text);
        for (const char c : text) {
            right = right && (firmware || (c >= '0' && c <= '9'));
        }
        if (!right) {
            return parser.Fail(kScenarioBadArguments, firmware ? "\"firmware\" takes six characters"
                                                               : "\"released\" takes YYMMDD");
        }
        std::copy(text.begin(), text.end(),
                  setup.status.begin() + (firmware ? kFujitsuFirmwareAt : kFujitsuReleaseAt));
        return kScenarioOk;
    }
    if (SameWord(what, "message")) {
        std::string message;
        for (std::size_t i = 2; i < tokens.size(); ++i) {
            message += (i > 2 ? " " : "") + std::string(tokens[i]);
        }
        if (message.size() > kFujitsuMessageChars || !Printable(message)) {
            return parser.Fail(kScenarioBadArguments,
                               "\"message\" takes at most 40 printable characters");
        }
        message.resize(kFujitsuMessageChars, '\0');
        std::copy(message.begin(), message.end(), setup.log.begin() + kFujitsuMessageAt);
        return kScenarioOk;
    }
    if (SameWord(what, "send-bytes")) {
        std::int64_t bytes = 0;
        if (tokens.size() != 3 ||
            !ParseNumber(tokens[2], static_cast<std::int64_t>(kFujitsuMostSentBytes), bytes)) {
            return parser.Fail(kScenarioBadNumber, "\"send-bytes\" takes a count from 0 to 1024");
        }
        setup.sentBytes = static_cast<std::size_t>(bytes);
        return kScenarioOk;
    }
    return parser.Fail(kScenarioBadModule,
                       "unknown fujitsu-dispenser setting " + Quoted(what) + "; " + kUsage);
}

}  // namespace

bool ParseFujitsuDispenserLine(const Tokens& tokens, LineParser& parser, bool inBlock,
                               FujitsuDispenserSetup& setup, int& rc) {
    if (!SameWord(tokens[0], "fujitsu-dispenser")) {
        return false;
    }
    if (inBlock) {
        rc = parser.Fail(kScenarioBadModule,
                         "the Fujitsu dispenser's settings are given outside repeat blocks");
        return true;
    }
    if (tokens.size() < 2) {
        rc = parser.Fail(kScenarioBadArguments, kUsage);
        return true;
    }
    rc = ParseSetting(tokens, parser, setup);
    return true;
}

}  // namespace lane::sim::parse
