// Scenario lines of the scale stream and the other live tests' devices.
#include "sim/ScenarioLaneTests.h"

#include <string>

namespace lane::sim::parse {

namespace {

constexpr std::int64_t kMost16Bits = 65535;
constexpr std::int64_t kMostLimit = 255;
constexpr std::int64_t kMostReadings = 1000000;
constexpr std::int64_t kMostSeed = 4294967295;

// `scale reading W N [limit L] [unstable] [negative] [count C]`
int ParseReading(const Tokens& tokens, LineParser& parser, LaneTestSetup& setup) {
    const auto fail = [&] {
        return parser.Fail(kScenarioBadArguments,
                           "\"scale reading\" takes the weight and the noise (0 to 65535), then "
                           "limit L (0 to 255), unstable, negative, count C (1 to 1000000)");
    };
    std::int64_t weight = 0;
    std::int64_t noise = 0;
    if (tokens.size() < 4 || !ParseNumber(tokens[2], kMost16Bits, weight) ||
        !ParseNumber(tokens[3], kMost16Bits, noise)) {
        return fail();
    }
    ScaleStreamReading reading;
    reading.weight = static_cast<std::uint16_t>(weight);
    reading.noise = static_cast<std::uint16_t>(noise);
    std::int64_t count = 1;
    for (std::size_t i = 4; i < tokens.size(); ++i) {
        std::int64_t value = 0;
        if (SameWord(tokens[i], "unstable")) {
            reading.flags |= 0x01;
        } else if (SameWord(tokens[i], "negative")) {
            reading.flags |= 0x02;
        } else if (SameWord(tokens[i], "limit") && i + 1 < tokens.size() &&
                   ParseNumber(tokens[i + 1], kMostLimit, value)) {
            reading.stableLimit = static_cast<std::uint8_t>(value);
            ++i;
        } else if (SameWord(tokens[i], "count") && i + 1 < tokens.size() &&
                   ParseNumber(tokens[i + 1], kMostReadings, value) && value > 0) {
            count = value;
            ++i;
        } else {
            return fail();
        }
    }
    if (setup.readings.size() + static_cast<std::size_t>(count) >
        static_cast<std::size_t>(kMostReadings)) {
        return parser.Fail(kScenarioBadArguments, "a scale stream holds at most 1000000 readings");
    }
    setup.readings.insert(setup.readings.end(), static_cast<std::size_t>(count), reading);
    return kScenarioOk;
}

int ParseScale(const Tokens& tokens, LineParser& parser, LaneTestSetup& setup) {
    const std::string_view what = tokens.size() > 1 ? tokens[1] : "";
    if (SameWord(what, "reading")) {
        return ParseReading(tokens, parser, setup);
    }
    std::int64_t a = 0;
    std::int64_t b = 0;
    std::int64_t limit = setup.walkLimit;
    if (SameWord(what, "random")) {
        const bool withLimit = tokens.size() == 6 && SameWord(tokens[4], "limit") &&
                               ParseNumber(tokens[5], kMostLimit, limit);
        if ((tokens.size() != 4 && !withLimit) || !ParseNumber(tokens[2], kMostSeed, a) ||
            !ParseNumber(tokens[3], kMostReadings, b)) {
            return parser.Fail(kScenarioBadArguments,
                               "\"scale random\" takes a seed, a count of readings (0 to "
                               "1000000) and optionally limit L (0 to 255)");
        }
        setup.walkSeed = static_cast<std::uint32_t>(a);
        setup.walkCount = static_cast<std::uint32_t>(b);
        setup.walkLimit = static_cast<std::uint8_t>(limit);
        return kScenarioOk;
    }
    if (SameWord(what, "eu")) {
        if (tokens.size() != 3 || !ParseNumber(tokens[2], kMost16Bits, a)) {
            return parser.Fail(kScenarioBadArguments, "\"scale eu\" takes a value, 0 to 65535");
        }
        setup.euValue = static_cast<std::uint16_t>(a);
        return kScenarioOk;
    }
    return parser.Fail(kScenarioBadArguments, "\"scale\" takes reading, random or eu");
}

// Two words: the value's name and one of its choices, each giving its character.
bool Choice(std::string_view word, std::initializer_list<std::pair<const char*, char>> choices,
            char& value) {
    for (const auto& [name, character] : choices) {
        if (SameWord(word, name)) {
            value = character;
            return true;
        }
    }
    return false;
}

int ParseLaneTest(const Tokens& tokens, LineParser& parser, LaneTestSetup& setup) {
    const std::string_view what = tokens.size() > 1 ? tokens[1] : "";
    const auto switchState = {std::pair{"closed", '1'}, std::pair{"open", '0'}};
    if (SameWord(what, "switches") && tokens.size() == 4 &&
        Choice(tokens[2], switchState, setup.frontSwitch) &&
        Choice(tokens[3], switchState, setup.rearSwitch)) {
        return kScenarioOk;
    }
    if (SameWord(what, "cash-pocket") && tokens.size() == 3 &&
        Choice(tokens[2], {{"bill", '1'}, {"empty", '0'}}, setup.billInPocket)) {
        return kScenarioOk;
    }
    if (SameWord(what, "power") && tokens.size() == 3 &&
        Choice(tokens[2], {{"ac", '0'}, {"battery", '1'}, {"low", '2'}}, setup.power)) {
        return kScenarioOk;
    }
    char value = 0;
    if (SameWord(what, "button") && tokens.size() == 3 &&
        Choice(tokens[2], {{"green", 1}, {"red", 2}}, value)) {
        setup.events.emplace_back(kModuleButtonEvent, static_cast<std::uint8_t>(value));
        return kScenarioOk;
    }
    if (SameWord(what, "power-event") && tokens.size() == 3 &&
        Choice(tokens[2], {{"ac", '0'}, {"battery", '1'}, {"low", '2'}}, value)) {
        setup.events.emplace_back(kModulePowerEvent, static_cast<std::uint8_t>(value));
        return kScenarioOk;
    }
    return parser.Fail(kScenarioBadArguments,
                       "\"lane-test\" takes switches closed|open closed|open, cash-pocket "
                       "bill|empty, power ac|battery|low, button green|red or power-event "
                       "ac|battery|low");
}

}  // namespace

bool ParseLaneTestLine(const Tokens& tokens, LineParser& parser, bool inBlock, Scenario& scenario,
                       int& rc) {
    if (tokens.empty() || (!SameWord(tokens[0], "scale") && !SameWord(tokens[0], "lane-test"))) {
        return false;
    }
    if (inBlock) {
        rc = parser.Fail(kScenarioBadModule,
                         "the module's settings are given outside repeat blocks");
        return true;
    }
    rc = SameWord(tokens[0], "scale") ? ParseScale(tokens, parser, scenario.module.laneTests)
                                      : ParseLaneTest(tokens, parser, scenario.module.laneTests);
    return true;
}

}  // namespace lane::sim::parse
