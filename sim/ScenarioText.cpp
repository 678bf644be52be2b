// The scenario parser's text helpers.
#include "sim/ScenarioText.h"

#include <utility>

namespace lane::sim::parse {

namespace {

constexpr std::size_t kMaxQuotedLength = 32;

bool IsBlank(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\f' || c == '\v';
}

char LowerAscii(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

}  // namespace

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

int LineParser::Fail(int code, std::string message) {
    error_.line = line_;
    error_.message = std::move(message);
    return code;
}

int LineParser::Bytes(const Tokens& tokens, std::size_t first, std::size_t end,
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

int LineParser::Milliseconds(std::string_view token, std::int64_t& ms) {
    if (!ParseNumber(token, kMaxScenarioMs, ms)) {
        return Fail(kScenarioBadNumber, "bad milliseconds " + Quoted(token) + " (0 to " +
                                            std::to_string(kMaxScenarioMs) + ")");
    }
    return kScenarioOk;
}

int LineParser::Within(const Tokens& tokens, std::size_t first, std::size_t& end,
                       std::int64_t& ms) {
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

int LineParser::NoArguments(const Tokens& tokens, std::size_t first, std::size_t end) {
    if (end > first) {
        return Fail(kScenarioBadArguments, "unexpected " + Quoted(tokens[first]));
    }
    return kScenarioOk;
}

}  // namespace lane::sim::parse
