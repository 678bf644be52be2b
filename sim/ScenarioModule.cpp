// The scenario lines of lanesim's security-module face: the module's identity, the module
// steps (connect, expect), the remote-monitor stream and the faults.
#include <cstddef>
#include <string>

#include "sim/ScenarioText.h"

namespace lane::sim::parse {

namespace {

constexpr std::int64_t kMaxByteValue = 255;
constexpr std::size_t kModelLength = 3;
constexpr std::size_t kChecksumLength = 4;

bool IsDigits(std::string_view text) {
    for (const char c : text) {
        if (c < '0' || c > '9') {
            return false;
        }
    }
    return true;
}

// "MM/DD/YYYY" to "MMDDYYYY"; false when the text is not digits in that shape.
bool ParseDate(std::string_view token, std::string& date) {
    if (token.size() != 10 || token[2] != '/' || token[5] != '/') {
        return false;
    }
    const std::string_view month = token.substr(0, 2);
    const std::string_view day = token.substr(3, 2);
    const std::string_view year = token.substr(6, 4);
    if (!IsDigits(month) || !IsDigits(day) || !IsDigits(year)) {
        return false;
    }
    date = std::string(month) + std::string(day) + std::string(year);
    return true;
}

bool ParseChecksum(std::string_view token, std::string& checksum) {
    if (token.size() != kChecksumLength) {
        return false;
    }
    checksum.clear();
    for (const char c : token) {
        if (HexDigit(c) < 0) {
            return false;
        }
        checksum += (c >= 'a' && c <= 'f') ? static_cast<char>(c - 'a' + 'A') : c;
    }
    return true;
}

bool ParseModel(std::string_view token, std::string& model) {
    if (token.size() != kModelLength) {
        return false;
    }
    for (const char c : token) {
        if (c <= 0x20 || c >= 0x7F) {
            return false;
        }
    }
    model = std::string(token);
    return true;
}

// "module version N date MM/DD/YYYY checksum HHHH [passed|failed] model XXX", any of them.
int ParseIdentity(const Tokens& tokens, LineParser& parser, ModuleIdentity& identity) {
    if (tokens.size() < 2) {
        return parser.Fail(kScenarioBadArguments,
                           "\"module\" takes connect, expect, expect-upload, ccu, reply-delay, "
                           "noise, or settings: version N, date MM/DD/YYYY, checksum HHHH "
                           "[passed|failed], model XXX");
    }
    std::size_t t = 1;
    while (t < tokens.size()) {
        const std::string_view setting = tokens[t];
        if (t + 1 >= tokens.size()) {
            return parser.Fail(kScenarioBadArguments, Quoted(setting) + " needs a value");
        }
        const std::string_view value = tokens[t + 1];
        t += 2;
        if (SameWord(setting, "version")) {
            std::int64_t version = 0;
            if (!ParseNumber(value, kMaxModuleVersion, version)) {
                return parser.Fail(kScenarioBadModule,
                                   "bad version " + Quoted(value) + " (0 to 9999, 447 is 4.47)");
            }
            identity.version = static_cast<std::uint32_t>(version);
        } else if (SameWord(setting, "date")) {
            if (!ParseDate(value, identity.date)) {
                return parser.Fail(kScenarioBadModule,
                                   "bad date " + Quoted(value) + " (MM/DD/YYYY, digits)");
            }
        } else if (SameWord(setting, "checksum")) {
            if (!ParseChecksum(value, identity.checksum)) {
                return parser.Fail(kScenarioBadModule,
                                   "bad checksum " + Quoted(value) + " (four hex digits)");
            }
            if (t < tokens.size() &&
                (SameWord(tokens[t], "passed") || SameWord(tokens[t], "failed"))) {
                identity.checksumPassed = SameWord(tokens[t], "passed");
                ++t;
            }
        } else if (SameWord(setting, "model")) {
            if (!ParseModel(value, identity.model)) {
                return parser.Fail(kScenarioBadModule,
                                   "bad model " + Quoted(value) + " (three characters)");
            }
        } else {
            return parser.Fail(kScenarioBadModule, "unknown module setting " + Quoted(setting));
        }
    }
    return kScenarioOk;
}

struct FaultName {
    const char* word;
    FaultKind kind;
    bool takesValue;
    std::int64_t maximum;
};

constexpr FaultName kFaultNames[] = {
    {"checksum", FaultKind::Checksum, false, 0},
    {"da", FaultKind::Address, true, kMaxByteValue},
    {"dc", FaultKind::Command, true, kMaxByteValue},
    {"dl", FaultKind::Length, true, kMaxByteValue},
    {"short", FaultKind::Short, true, static_cast<std::int64_t>(kMaxPacketBytes)},
    {"long", FaultKind::Long, true, kMaxLongFaultBytes},
    {"no-answer", FaultKind::NoAnswer, false, 0},
};

// "fault KIND [VALUE] [port P] [count N]".
int ParseFault(const Tokens& tokens, LineParser& parser, ModuleFault& fault) {
    if (tokens.size() < 2) {
        return parser.Fail(kScenarioBadArguments,
                           "\"fault\" takes a kind: checksum, da N, dc N, dl N, short N, long N "
                           "or no-answer");
    }
    const FaultName* name = nullptr;
    for (const FaultName& candidate : kFaultNames) {
        if (SameWord(tokens[1], candidate.word)) {
            name = &candidate;
        }
    }
    if (name == nullptr) {
        return parser.Fail(kScenarioBadModule, "unknown fault " + Quoted(tokens[1]));
    }
    fault = ModuleFault{};
    fault.kind = name->kind;
    std::size_t t = 2;
    if (name->takesValue) {
        std::int64_t value = 0;
        if (t >= tokens.size() || !ParseNumber(tokens[t], name->maximum, value) ||
            (name->kind == FaultKind::Long && value < 1)) {
            return parser.Fail(kScenarioBadNumber, "fault " + std::string(name->word) +
                                                       " takes a number from " +
                                                       (name->kind == FaultKind::Long ? "1" : "0") +
                                                       " to " + std::to_string(name->maximum));
        }
        fault.value = static_cast<std::uint32_t>(value);
        ++t;
    }
    while (t < tokens.size()) {
        const std::string_view modifier = tokens[t];
        std::int64_t value = 0;
        if (SameWord(modifier, "port")) {
            if (t + 1 >= tokens.size() || !ParseNumber(tokens[t + 1], kMaxModulePort, value)) {
                return parser.Fail(kScenarioBadNumber, "\"port\" takes a port from 0 to 7");
            }
            fault.port = static_cast<int>(value);
        } else if (SameWord(modifier, "count")) {
            if (t + 1 >= tokens.size() || !ParseNumber(tokens[t + 1], kMaxFaultCount, value) ||
                value < 1) {
                return parser.Fail(kScenarioBadNumber, "\"count\" takes a number from 1 to " +
                                                           std::to_string(kMaxFaultCount));
            }
            fault.count = static_cast<std::uint32_t>(value);
        } else {
            return parser.Fail(kScenarioBadArguments, "unexpected " + Quoted(modifier));
        }
        t += 2;
    }
    return kScenarioOk;
}

// "module ccu VERSION [date MM/DD/YYYY]": what the cash port's CCU version request reads.
int ParseCcu(const Tokens& tokens, LineParser& parser, ModuleIdentity& identity) {
    std::int64_t version = 0;
    if (tokens.size() < 3 || !ParseNumber(tokens[2], kMaxModuleVersion, version)) {
        return parser.Fail(kScenarioBadModule,
                           "\"module ccu\" takes a version from 0 to 9999 (130 or 0130 is 1.30), "
                           "then optionally date MM/DD/YYYY");
    }
    std::string date = identity.ccuDate;
    if (tokens.size() > 3) {
        if (tokens.size() != 5 || !SameWord(tokens[3], "date")) {
            return parser.Fail(kScenarioBadArguments,
                               "\"module ccu\" takes VERSION [date MM/DD/YYYY] only");
        }
        if (!ParseDate(tokens[4], date)) {
            return parser.Fail(kScenarioBadModule,
                               "bad date " + Quoted(tokens[4]) + " (MM/DD/YYYY, digits)");
        }
    }
    identity.ccuVersion = static_cast<std::uint32_t>(version);
    identity.ccuDate = date;
    return kScenarioOk;
}

// "module reply-delay MS" and "module noise N".
int ParseReplies(const Tokens& tokens, LineParser& parser, ModuleReplies& replies) {
    const bool delay = SameWord(tokens[1], "reply-delay");
    if (tokens.size() != 3) {
        return parser.Fail(kScenarioBadArguments, delay
                                                      ? "\"module reply-delay\" takes one number: "
                                                        "milliseconds"
                                                      : "\"module noise\" takes one count");
    }
    if (delay) {
        return parser.Milliseconds(tokens[2], replies.delayMs);
    }
    std::int64_t noise = 0;
    if (!ParseNumber(tokens[2], kMaxModuleNoise, noise)) {
        return parser.Fail(kScenarioBadNumber, "\"module noise\" takes a count from 0 to " +
                                                   std::to_string(kMaxModuleNoise));
    }
    replies.noise = static_cast<std::uint32_t>(noise);
    return kScenarioOk;
}

int ParseModuleCommand(const Tokens& tokens, LineParser& parser, bool inBlock, Scenario& scenario,
                       Step& step, bool& isStep) {
    if (tokens.size() >= 2 && SameWord(tokens[1], "expect-upload")) {
        isStep = true;
        step.kind = StepKind::ModuleExpectUpload;
        step.ms = kDefaultExpectTimeoutMs;
        std::size_t end = 0;
        const int rc = parser.Within(tokens, 2, end, step.ms);
        return rc != kScenarioOk ? rc : parser.NoArguments(tokens, 2, end);
    }
    if (tokens.size() >= 2 && SameWord(tokens[1], "connect")) {
        isStep = true;
        step.kind = StepKind::ModuleConnect;
        step.ms = kNoLimitMs;
        std::size_t end = 0;
        const int rc = parser.Within(tokens, 2, end, step.ms);
        return rc != kScenarioOk ? rc : parser.NoArguments(tokens, 2, end);
    }
    if (tokens.size() >= 2 && SameWord(tokens[1], "expect")) {
        isStep = true;
        step.kind = StepKind::ModuleExpect;
        step.ms = kDefaultExpectTimeoutMs;
        std::size_t end = 0;
        const int rc = parser.Within(tokens, 2, end, step.ms);
        return rc != kScenarioOk ? rc : parser.Bytes(tokens, 2, end, step.bytes);
    }
    if (inBlock) {
        return parser.Fail(kScenarioBadModule,
                           "the module's settings are given outside repeat blocks");
    }
    if (tokens.size() >= 2 && SameWord(tokens[1], "ccu")) {
        return ParseCcu(tokens, parser, scenario.module);
    }
    if (tokens.size() >= 2 &&
        (SameWord(tokens[1], "reply-delay") || SameWord(tokens[1], "noise"))) {
        return ParseReplies(tokens, parser, scenario.replies);
    }
    return ParseIdentity(tokens, parser, scenario.module);
}

}  // namespace

bool ParseModuleLine(const Tokens& tokens, LineParser& parser, bool inBlock, Scenario& scenario,
                     Step& step, bool& isStep, int& rc) {
    const std::string_view command = tokens[0];
    isStep = false;
    if (SameWord(command, "module")) {
        rc = ParseModuleCommand(tokens, parser, inBlock, scenario, step, isStep);
        return true;
    }
    if (SameWord(command, "monitor")) {
        isStep = true;
        step.kind = StepKind::Monitor;
        rc = parser.Bytes(tokens, 1, tokens.size(), step.bytes);
        return true;
    }
    if (SameWord(command, "fault")) {
        isStep = true;
        step.kind = StepKind::Fault;
        rc = ParseFault(tokens, parser, step.fault);
        return true;
    }
    return false;
}

}  // namespace lane::sim::parse
