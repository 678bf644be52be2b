// The scenario lines of the carousel E-Box and the UPS: their settings and faults.
#include "sim/ScenarioCarousel.h"

#include <string>

namespace lane::sim::parse {

namespace {

constexpr std::int64_t kMaxSplit = 60;
constexpr std::int64_t kMaxCount = 1'000'000;
constexpr std::int64_t kMaxWholeWeight = 999;

bool Printable(std::string_view text) {
    for (const char c : text) {
        if (c <= 0x20 || c >= 0x7F) {
            return false;
        }
    }
    return true;
}

bool Digits(std::string_view text) {
    for (const char c : text) {
        if (c < '0' || c > '9') {
            return false;
        }
    }
    return !text.empty();
}

// "54", "54.2" or "54.25" as hundredths.
bool ParseWeight(std::string_view token, std::uint32_t& hundredths) {
    const std::size_t dot = token.find('.');
    const std::string_view whole = token.substr(0, dot);
    const std::string_view fraction = dot == std::string_view::npos ? "" : token.substr(dot + 1);
    std::int64_t pounds = 0;
    if (!ParseNumber(whole, kMaxWholeWeight, pounds) || fraction.size() > 2 ||
        (dot != std::string_view::npos && !Digits(fraction))) {
        return false;
    }
    std::uint32_t cents = 0;
    for (std::size_t i = 0; i < 2; ++i) {
        cents =
            cents * 10 + (i < fraction.size() ? static_cast<std::uint32_t>(fraction[i] - '0') : 0);
    }
    hundredths = static_cast<std::uint32_t>(pounds) * 100 + cents;
    return true;
}

// "ebox error LETTER CODE [count N]" and "ebox silent LETTER [count N]".
int ParseFault(const Tokens& tokens, LineParser& parser, EBoxSetup& ebox) {
    const bool error = SameWord(tokens[1], "error");
    const std::size_t countAt = error ? 4 : 3;
    if (tokens.size() < countAt || tokens[2].size() != 1 || !Printable(tokens[2]) ||
        (error && (tokens[3].size() != 1 || !Printable(tokens[3])))) {
        return parser.Fail(kScenarioBadArguments,
                           error ? "\"ebox error\" takes a request letter and a code character, "
                                   "then optionally count N"
                                 : "\"ebox silent\" takes a request letter, then optionally "
                                   "count N");
    }
    EBoxFault fault;
    fault.letter = tokens[2][0];
    fault.code = error ? tokens[3][0] : '\0';
    if (tokens.size() > countAt) {
        std::int64_t count = 0;
        if (tokens.size() != countAt + 2 || !SameWord(tokens[countAt], "count") ||
            !ParseNumber(tokens[countAt + 1], kMaxCount, count) || count < 1) {
            return parser.Fail(kScenarioBadNumber,
                               "\"count\" takes a number from 1 to " + std::to_string(kMaxCount));
        }
        fault.count = static_cast<std::uint32_t>(count);
    }
    ebox.faults.push_back(fault);
    return kScenarioOk;
}

int ParseSerials(const Tokens& tokens, LineParser& parser, EBoxSetup& ebox) {
    if (tokens.size() < 3 || tokens.size() > 2 + kEBoxSerialSlots) {
        return parser.Fail(kScenarioBadArguments, "\"ebox serials\" takes one to six numbers");
    }
    ebox.serials.clear();
    for (std::size_t t = 2; t < tokens.size(); ++t) {
        if (tokens[t].size() != kEBoxSerialLength || !Printable(tokens[t])) {
            return parser.Fail(kScenarioBadArguments,
                               "bad serial number " + Quoted(tokens[t]) + " (five characters)");
        }
        ebox.serials.emplace_back(tokens[t]);
    }
    return kScenarioOk;
}

int ParseEBox(const Tokens& tokens, LineParser& parser, EBoxSetup& ebox) {
    const std::string_view setting = tokens.size() > 1 ? tokens[1] : "";
    if (SameWord(setting, "error") || SameWord(setting, "silent")) {
        return ParseFault(tokens, parser, ebox);
    }
    if (SameWord(setting, "serials")) {
        return ParseSerials(tokens, parser, ebox);
    }
    const std::string_view value = tokens.size() > 2 ? tokens[2] : "";
    const bool unstable =
        tokens.size() == 4 && SameWord(setting, "weight") && SameWord(tokens[3], "unstable");
    if (tokens.size() != 3 && !unstable) {
        return parser.Fail(kScenarioBadArguments,
                           "\"ebox\" takes options XXXXXXX, version TEXT, max-weight DDDDD, "
                           "load-cells N, serials S..., weight W [unstable], split N, "
                           "error L C [count N] or silent L [count N]");
    }
    std::int64_t number = 0;
    if (SameWord(setting, "options")) {
        if (value.size() != kEBoxOptionsLength || !Printable(value)) {
            return parser.Fail(kScenarioBadArguments,
                               "bad options " + Quoted(value) + " (seven characters)");
        }
        ebox.options = std::string(value);
    } else if (SameWord(setting, "version")) {
        if (value.size() > kMaxEBoxTextLength || !Printable(value)) {
            return parser.Fail(kScenarioBadArguments, "bad version " + Quoted(value));
        }
        ebox.version = std::string(value);
    } else if (SameWord(setting, "max-weight")) {
        if (value.size() != 5 || !Digits(value)) {
            return parser.Fail(kScenarioBadArguments,
                               "bad max-weight " + Quoted(value) + " (five digits)");
        }
        ebox.maxWeight = std::string(value);
    } else if (SameWord(setting, "load-cells")) {
        if (value.size() != 1 || !Digits(value)) {
            return parser.Fail(kScenarioBadNumber, "\"ebox load-cells\" takes one digit");
        }
        ebox.loadCells = value[0];
    } else if (SameWord(setting, "weight")) {
        if (!ParseWeight(value, ebox.weightHundredths)) {
            return parser.Fail(kScenarioBadNumber,
                               "bad weight " + Quoted(value) + " (0 to 999.99 pounds)");
        }
        ebox.unstable = unstable;
    } else if (SameWord(setting, "split")) {
        if (!ParseNumber(value, kMaxSplit, number) || number < 1) {
            return parser.Fail(kScenarioBadNumber, "\"ebox split\" takes a number from 1 to 60");
        }
        ebox.split = static_cast<std::size_t>(number);
    } else {
        return parser.Fail(kScenarioBadModule, "unknown ebox setting " + Quoted(setting));
    }
    return kScenarioOk;
}

int ParseUps(const Tokens& tokens, LineParser& parser, UpsSetup& ups) {
    const std::string_view setting = tokens.size() > 1 ? tokens[1] : "";
    if (SameWord(setting, "silent") && tokens.size() == 2) {
        ups.silent = true;
        return kScenarioOk;
    }
    if (tokens.size() != 3) {
        return parser.Fail(kScenarioBadArguments,
                           "\"ups\" takes connect TEXT, sensitivity C or silent");
    }
    const std::string_view value = tokens[2];
    if (SameWord(setting, "connect")) {
        if (value.size() > kMaxUpsReplyLength || !Printable(value)) {
            return parser.Fail(kScenarioBadArguments, "bad connect reply " + Quoted(value));
        }
        ups.connectReply = std::string(value);
        return kScenarioOk;
    }
    if (SameWord(setting, "sensitivity")) {
        if (value.size() != 1 || !Printable(value)) {
            return parser.Fail(kScenarioBadArguments,
                               "\"ups sensitivity\" takes one character (H, M, L)");
        }
        ups.sensitivity = value[0];
        return kScenarioOk;
    }
    return parser.Fail(kScenarioBadModule, "unknown ups setting " + Quoted(setting));
}

}  // namespace

bool ParseCarouselLine(const Tokens& tokens, LineParser& parser, bool inBlock, Scenario& scenario,
                       int& rc) {
    const bool ebox = SameWord(tokens[0], "ebox");
    if (!ebox && !SameWord(tokens[0], "ups")) {
        return false;
    }
    if (inBlock) {
        rc = parser.Fail(kScenarioBadModule,
                         "the E-Box's and the UPS's settings are given outside repeat blocks");
        return true;
    }
    rc = ebox ? ParseEBox(tokens, parser, scenario.carousel.ebox)
              : ParseUps(tokens, parser, scenario.carousel.ups);
    return true;
}

}  // namespace lane::sim::parse
