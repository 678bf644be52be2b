// Parser of lanesim scenario texts: one "<command> <args...>" per line, '#' comments.
#include "sim/Scenario.h"

#include <string>
#include <utility>

#include "sim/LaneEvents.h"
#include "sim/ScenarioBillAcceptor.h"
#include "sim/ScenarioCarousel.h"
#include "sim/ScenarioFujitsu.h"
#include "sim/ScenarioLaneTests.h"
#include "sim/ScenarioSettingDevices.h"
#include "sim/ScenarioText.h"

namespace lane::sim {

namespace {

constexpr std::string_view kUtf8ByteOrderMark = "\xEF\xBB\xBF";

using parse::LineParser;
using parse::ParseNumber;
using parse::Quoted;
using parse::SameWord;
using parse::Tokens;

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

bool UsesPipe(StepKind kind) {
    return kind == StepKind::Connect || kind == StepKind::Send || kind == StepKind::Expect ||
           kind == StepKind::Drop;
}

int ParseLine(const Tokens& tokens, int line, Builder& builder, Scenario& scenario,
              ScenarioError& error) {
    LineParser parser(line, error);
    Step step;
    step.line = line;
    int rc = kScenarioOk;
    if (ParseStructure(tokens, parser, builder, step, rc)) {
        return rc;
    }
    if (parse::ParseCarouselLine(tokens, parser, builder.InBlock(), scenario, rc)) {
        scenario.usesModule = true;
        return rc;
    }
    bool isStep = false;
    if (parse::ParseSettingDeviceLine(tokens, parser, builder.InBlock(), scenario, rc)) {
        scenario.usesModule = true;
        return rc;
    }
    if (parse::ParseLaneTestLine(tokens, parser, builder.InBlock(), scenario, rc)) {
        scenario.usesModule = true;
        return rc;
    }
    if (parse::ParseModuleLine(tokens, parser, builder.InBlock(), scenario, step, isStep, rc)) {
        scenario.usesModule = true;
        if (rc == kScenarioOk && isStep) {
            builder.Current().push_back(std::move(step));
        }
        return rc;
    }
    if (parse::ParseBillAcceptorLine(tokens, parser, builder.InBlock(), scenario.billAcceptor,
                                     rc)) {
        scenario.usesModule = true;
        return rc;
    }
    if (parse::ParseFujitsuDispenserLine(tokens, parser, builder.InBlock(),
                                         scenario.fujitsuDispenser, rc)) {
        scenario.usesModule = true;
        return rc;
    }
    if (!parse::ParseLaneEvent(tokens, parser, step, rc)) {
        rc = ParseStep(tokens, parser, step);
    }
    if (rc == kScenarioOk) {
        scenario.usesPipe = scenario.usesPipe || UsesPipe(step.kind);
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
    // Editors on Windows start a UTF-8 file with a byte order mark; it is not part of a command.
    std::size_t start = text.substr(0, kUtf8ByteOrderMark.size()) == kUtf8ByteOrderMark
                            ? kUtf8ByteOrderMark.size()
                            : 0;
    while (start < text.size()) {
        std::size_t end = text.find('\n', start);
        if (end == std::string_view::npos) {
            end = text.size();
        }
        ++line;
        const Tokens tokens = parse::Split(text.substr(start, end - start));
        start = end + 1;
        if (tokens.empty()) {
            continue;
        }
        const int rc = ParseLine(tokens, line, builder, scenario, error);
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
