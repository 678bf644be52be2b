// The scenario parser's text helpers: words of a line, numbers, hex bytes and the messages of
// a line's faults. Internal to the parser (Scenario.cpp, ScenarioModule.cpp).
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "sim/Scenario.h"

namespace lane::sim::parse {

using Tokens = std::vector<std::string_view>;

// The words of a line up to its '#' comment.
Tokens Split(std::string_view line);
// Words compare ignoring case (ASCII).
bool SameWord(std::string_view a, std::string_view b);
// A token as messages show it: printable characters only, shortened when long.
std::string Quoted(std::string_view token);
// Whole decimal numbers from 0 to `maximum`.
bool ParseNumber(std::string_view token, std::int64_t maximum, std::int64_t& value);
int HexDigit(char c);

// Reads the arguments of one line and reports its faults with the line's number.
class LineParser {
  public:
    LineParser(int line, ScenarioError& error) : line_(line), error_(error) {}

    int Fail(int code, std::string message);
    // Hex bytes: each token is one or more pairs of hex digits ("A3", "A301"); at least one.
    int Bytes(const Tokens& tokens, std::size_t first, std::size_t end,
              std::vector<std::uint8_t>& bytes);
    int Milliseconds(std::string_view token, std::int64_t& ms);
    // An optional trailing "within <ms>" from `first` on; `end` is set to where it starts.
    int Within(const Tokens& tokens, std::size_t first, std::size_t& end, std::int64_t& ms);
    // Nothing may stand from `first` up to `end`.
    int NoArguments(const Tokens& tokens, std::size_t first, std::size_t end);

  private:
    int line_;
    ScenarioError& error_;
};

// The module's lines: `module ...`, `monitor ...` and `fault ...`. False when the line is none
// of them; otherwise `rc` is the result, and a step (when the line is one) is in `step` with
// `isStep` set. `inBlock` tells whether the line stands inside a repeat block.
bool ParseModuleLine(const Tokens& tokens, LineParser& parser, bool inBlock, Scenario& scenario,
                     Step& step, bool& isStep, int& rc);

}  // namespace lane::sim::parse
