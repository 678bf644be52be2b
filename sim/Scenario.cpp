// Parser of lanesim scenario texts: one "<command> <args...>" per line, '#' comments.
#include "sim/Scenario.h"

#include <string>
#include <utility>

namespace lane::sim {

namespace {

constexpr std::size_t kMaxQuotedLength = 32;

using Tokens = std::vector<std::string_view>;

bool IsBlank(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\f' || c == '\v';
}

char LowerAscii(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

bool SameWord(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) {
        return false;
    }
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (LowerAscii(a[i]) != LowerAscii(b[i])) {
            return false;
        }
    }
    return true;
}

// A token as messages show it: printable characters only, shortened when long.
std::string Quoted(std::string_view token) {
    std::string text = "\"";
    for (std::size_t i = 0; i < token.size() && i < kMaxQuotedLength; ++i) {
        const char c = token[i];
        text += (c >= 0x20 && c < 0x7F) ? c : '?';
    }
    if (token.size() > kMaxQuotedLength) {
        text += "...";
    }
    return text + "\"";
}

Tokens Split(std::string_view line) {
    Tokens tokens;
    std::size_t i = 0;
    while (i < line.size()) {
        while (i < line.size() && IsBlank(line[i])) {
            ++i;
        }
        if (i >= line.size() || line[i] == '#') {
            break;
        }
        const std::size_t start = i;
        while (i < line.size() && !IsBlank(line[i]) && line[i] != '#') {
            ++i;
        }
        tokens.push_back(line.substr(start, i - start));
    }
    return tokens;
}

int HexDigit(char c) {
    if (c >= '0' && c <= '9') {
        return c - '0';
    }
    const char lower = LowerAscii(c);
    if (lower >= 'a' && lower <= 'f') {
        return lower - 'a' + 10;
    }
    return -1;
}

// Reads whole decimal numbers from 0 to `maximum`.
bool ParseNumber(std::string_view token, std::int64_t maximum, std::int64_t& value) {
    if (token.empty()) {
        return false;
    }
    value = 0;
    for (const char c : token) {
        if (c < '0' || c > '9') {
            return false;
        }
        value = value * 10 + (c - '0');
        if (value > maximum) {
            return false;
        }
    }
    return true;
}

class LineParser {
  public:
    LineParser(int line, ScenarioError& error) : line_(line), error_(error) {}

    int Fail(int code, std::string message) {
        error_.line = line_;
        error_.message = std::move(message);
        return code;
    }

    // Hex bytes: each token is one or more pairs of hex digits ("A3", "A301").
    int Bytes(const Tokens& tokens, std::size_t first, std::size_t end,
              std::vector<std::uint8_t>& bytes) {
        for (std::size_t t = first; t < end; ++t) {
            const std::string_view token = tokens[t];
            if (token.size() % 2 != 0) {
                return Fail(kScenarioBadHex, "bad hex bytes " + Quoted(token) +
                                                 " (pairs of hex digits, as in A3 or A301)");
            }
            for (std::size_t i = 0; i < token.size(); i += 2) {
                const int high = HexDigit(token[i]);
                const int low = HexDigit(token[i + 1]);
                if (high < 0 || low < 0) {
                    return Fail(kScenarioBadHex, "bad hex bytes " + Quoted(token) +
                                                     " (pairs of hex digits, as in A3 or A301)");
                }
                if (bytes.size() >= kMaxPacketBytes) {
                    return Fail(kScenarioBadHex,
                                "more than " + std::to_string(kMaxPacketBytes) + " bytes");
                }
                bytes.push_back(static_cast<std::uint8_t>(high * 16 + low));
            }
        }
        if (bytes.empty()) {
            return Fail(kScenarioBadArguments, "no bytes given");
        }
        return kScenarioOk;
    }

    int Milliseconds(std::string_view token, std::int64_t& ms) {
        if (!ParseNumber(token, kMaxScenarioMs, ms)) {
            return Fail(kScenarioBadNumber, "bad milliseconds " + Quoted(token) + " (0 to " +
                                                std::to_string(kMaxScenarioMs) + ")");
        }
        return kScenarioOk;
    }

    // An optional trailing "within <ms>" from `first` on; `end` is set to where it starts.
    int Within(const Tokens& tokens, std::size_t first, std::size_t& end, std::int64_t& ms) {
        end = tokens.size();
        for (std::size_t t = first; t < tokens.size(); ++t) {
            if (!SameWord(tokens[t], "within")) {
                continue;
            }
            if (t + 2 != tokens.size()) {
                return Fail(kScenarioBadArguments, "\"within\" takes one number, at the end");
            }
            end = t;
            return Milliseconds(tokens[t + 1], ms);
        }
        return kScenarioOk;
    }

    // Nothing may stand from `first` up to `end`.
    int NoArguments(const Tokens& tokens, std::size_t first, std::size_t end) {
        if (end > first) {
            return Fail(kScenarioBadArguments, "unexpected " + Quoted(tokens[first]));
        }
        return kScenarioOk;
    }

  private:
    int line_;
    ScenarioError& error_;
};

// The scenario being built: the top-level steps and the open repeat blocks.
class Builder {
  public:
    explicit Builder(Scenario& scenario) : scenario_(scenario) { bodies_.emplace_back(); }

    std::vector<Step>& Current() { return bodies_.back(); }
    bool InBlock() const { return !open_.empty(); }
    int Depth() const { return static_cast<int>(open_.size()); }
    int OpenLine() const { return open_.back().line; }

    void Open(Step repeat) {
        open_.push_back(std::move(repeat));
        bodies_.emplace_back();
    }
    void CloseBlock() {
        Step repeat = std::move(open_.back());
        open_.pop_back();
        repeat.body = std::move(bodies_.back());
        bodies_.pop_back();
        bodies_.back().push_back(std::move(repeat));
    }
    void Finish() { scenario_.steps = std::move(bodies_.front()); }
    bool HoldSeen() const { return holdSeen_; }
    void SetHold(std::int64_t holdMs) {
        scenario_.holdMs = holdMs;
        holdSeen_ = true;
    }

  private:
    Scenario& scenario_;
    bool holdSeen_ = false;
    std::vector<Step> open_;
    std::vector<std::vector<Step>> bodies_;
};

// Steps that go into the current block: send, expect, connect, drop, delay.
int ParseStep(const Tokens& tokens, LineParser& parser, Step& step) {
    const std::string_view command = tokens[0];
    if (SameWord(command, "send")) {
        step.kind = StepKind::Send;
        return parser.Bytes(tokens, 1, tokens.size(), step.bytes);
    }
    if (SameWord(command, "expect")) {
        step.kind = StepKind::Expect;
        step.ms = kDefaultExpectTimeoutMs;
        std::size_t end = 0;
        const int rc = parser.Within(tokens, 1, end, step.ms);
        return rc != kScenarioOk ? rc : parser.Bytes(tokens, 1, end, step.bytes);
    }
    if (SameWord(command, "connect") || SameWord(command, "drop")) {
        step.kind = SameWord(command, "connect") ? StepKind::Connect : StepKind::Drop;
        step.ms = kNoLimitMs;
        std::size_t end = 0;
        const int rc = parser.Within(tokens, 1, end, step.ms);
        return rc != kScenarioOk ? rc : parser.NoArguments(tokens, 1, end);
    }
    if (SameWord(command, "delay")) {
        step.kind = StepKind::Delay;
        if (tokens.size() != 2) {
            return parser.Fail(kScenarioBadArguments, "\"delay\" takes one number: milliseconds");
        }
        return parser.Milliseconds(tokens[1], step.ms);
    }
    return parser.Fail(kScenarioUnknownCommand, "unknown command " + Quoted(command));
}

// Lines that shape the scenario: repeat, end, hold. False when the line is none of them.
bool ParseStructure(const Tokens& tokens, LineParser& parser, Builder& builder, Step& step,
                    int& rc) {
    const std::string_view command = tokens[0];
    if (SameWord(command, "repeat")) {
        std::int64_t count = 0;
        if (tokens.size() != 2 || !ParseNumber(tokens[1], kMaxRepeatCount, count) || count < 1) {
            rc = parser.Fail(kScenarioBadNumber, "\"repeat\" takes one count from 1 to " +
                                                     std::to_string(kMaxRepeatCount));
        } else if (builder.Depth() >= kMaxRepeatDepth) {
            rc = parser.Fail(kScenarioBadBlock, "repeat blocks nest at most " +
                                                    std::to_string(kMaxRepeatDepth) + " deep");
        } else {
            step.kind = StepKind::Repeat;
            step.count = static_cast<std::uint32_t>(count);
            builder.Open(std::move(step));
            rc = kScenarioOk;
        }
        return true;
    }
    if (SameWord(command, "end")) {
        if (!builder.InBlock()) {
            rc = parser.Fail(kScenarioBadBlock, "\"end\" without \"repeat\"");
            return true;
        }
        rc = parser.NoArguments(tokens, 1, tokens.size());
        if (rc == kScenarioOk) {
            builder.CloseBlock();
        }
        return true;
    }
    if (SameWord(command, "hold")) {
        if (builder.InBlock() || builder.HoldSeen()) {
            rc = parser.Fail(kScenarioBadHold, "\"hold\" is given once, outside repeat blocks");
        } else if (tokens.size() != 2) {
            rc = parser.Fail(kScenarioBadArguments, "\"hold\" takes one number: milliseconds");
        } else {
            std::int64_t holdMs = 0;
            rc = parser.Milliseconds(tokens[1], holdMs);
            if (rc == kScenarioOk) {
                builder.SetHold(holdMs);
            }
        }
        return true;
    }
    return false;
}

int ParseLine(const Tokens& tokens, int line, Builder& builder, ScenarioError& error) {
    LineParser parser(line, error);
    Step step;
    step.line = line;
    int rc = kScenarioOk;
    if (ParseStructure(tokens, parser, builder, step, rc)) {
        return rc;
    }
    rc = ParseStep(tokens, parser, step);
    if (rc == kScenarioOk) {
        builder.Current().push_back(std::move(step));
    }
    return rc;
}

}  // namespace

int ParseScenario(std::string_view text, Scenario& scenario, ScenarioError& error) {
    scenario = Scenario{};
    error = ScenarioError{};
    Builder builder(scenario);
    int line = 0;
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = text.find('\n', start);
        if (end == std::string_view::npos) {
            end = text.size();
        }
        ++line;
        const Tokens tokens = Split(text.substr(start, end - start));
        start = end + 1;
        if (tokens.empty()) {
            continue;
        }
        const int rc = ParseLine(tokens, line, builder, error);
        if (rc != kScenarioOk) {
            scenario = Scenario{};
            return rc;
        }
    }
    if (builder.InBlock()) {
        error.line = builder.OpenLine();
        error.message = "\"repeat\" has no \"end\"";
        scenario = Scenario{};
        return kScenarioBadBlock;
    }
    builder.Finish();
    return kScenarioOk;
}

}  // namespace lane::sim
