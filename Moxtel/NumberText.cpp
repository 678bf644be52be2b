// Numbers and names read the way the utility has always read them.
#include "Moxtel/NumberText.h"

#include <climits>
#include <cstddef>

namespace lane::moxtel {

namespace {

bool IsBlank(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f';
}

char LowerAscii(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

int HexDigit(char c) {
    if (c >= '0' && c <= '9') {
        return c - '0';
    }
    const char lower = LowerAscii(c);
    return (lower >= 'a' && lower <= 'f') ? lower - 'a' + 10 : -1;
}

std::size_t SkipBlanks(std::string_view text) {
    std::size_t at = 0;
    while (at < text.size() && IsBlank(text[at])) {
        ++at;
    }
    return at;
}

}  // namespace

int DecimalValue(std::string_view text) {
    std::size_t at = SkipBlanks(text);
    bool negative = false;
    if (at < text.size() && (text[at] == '+' || text[at] == '-')) {
        negative = text[at] == '-';
        ++at;
    }
    long long value = 0;
    for (; at < text.size() && text[at] >= '0' && text[at] <= '9'; ++at) {
        if (value <= static_cast<long long>(INT_MAX) + 1) {
            value = value * 10 + (text[at] - '0');
        }
    }
    if (negative) {
        value = -value;
    }
    if (value > INT_MAX) {
        return INT_MAX;
    }
    if (value < INT_MIN) {
        return INT_MIN;
    }
    return static_cast<int>(value);
}

std::uint32_t HexValue(std::string_view text) {
    std::size_t at = SkipBlanks(text);
    const bool prefixed = at + 2 < text.size() && text[at] == '0' &&
                          LowerAscii(text[at + 1]) == 'x' && HexDigit(text[at + 2]) >= 0;
    if (prefixed) {
        at += 2;
    }
    std::uint32_t value = 0;
    for (; at < text.size() && HexDigit(text[at]) >= 0; ++at) {
        value = (value << 4) | static_cast<std::uint32_t>(HexDigit(text[at]));
    }
    return value;
}

bool IsHexNumber(std::string_view text) {
    constexpr std::size_t kMostDigits = 8;
    if (text.size() > 2 && text[0] == '0' && LowerAscii(text[1]) == 'x') {
        text.remove_prefix(2);
    }
    if (text.empty() || text.size() > kMostDigits) {
        return false;
    }
    for (const char c : text) {
        if (HexDigit(c) < 0) {
            return false;
        }
    }
    return true;
}

bool EqualsIgnoringCase(std::string_view a, std::string_view b) {
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

}  // namespace lane::moxtel
