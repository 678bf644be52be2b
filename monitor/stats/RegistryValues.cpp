// Typed readers and writers of the monitor's registry values, in their text forms.
#include "monitor/stats/RegistryValues.h"

#include <climits>
#include <iterator>
#include <limits>

#include "common/TimeText.h"

namespace lane::monitor {

namespace {

char LowerCase(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

std::string LowerCaseName(std::string_view name) {
    std::string lower(name);
    for (char& c : lower) {
        c = LowerCase(c);
    }
    return lower;
}

bool EqualsIgnoringCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) {
        return false;
    }
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (LowerCase(a[i]) != LowerCase(b[i])) {
            return false;
        }
    }
    return true;
}

// The blanks the C library's scanf skips.
bool IsScanSpace(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

// Reads a text from the front of `text` the way scanf's %d and %u do: blanks, an optional
// sign, then at least one decimal digit. The magnitude saturates; `negative` tells the sign.
bool ScanDecimal(std::string_view& text, std::uint64_t& magnitude, bool& negative) {
    std::size_t at = 0;
    while (at < text.size() && IsScanSpace(text[at])) {
        ++at;
    }
    negative = false;
    if (at < text.size() && (text[at] == '+' || text[at] == '-')) {
        negative = text[at] == '-';
        ++at;
    }
    if (at >= text.size() || !IsDigit(text[at])) {
        return false;
    }
    constexpr std::uint64_t kMax = std::numeric_limits<std::uint64_t>::max();
    magnitude = 0;
    for (; at < text.size() && IsDigit(text[at]); ++at) {
        const auto digit = static_cast<std::uint64_t>(text[at] - '0');
        magnitude = magnitude > (kMax - digit) / 10 ? kMax : magnitude * 10 + digit;
    }
    text.remove_prefix(at);
    return true;
}

// %d: a value outside int does not scan.
bool ScanInt(std::string_view& text, int& value) {
    std::uint64_t magnitude = 0;
    bool negative = false;
    if (!ScanDecimal(text, magnitude, negative) ||
        magnitude > static_cast<std::uint64_t>(INT_MAX)) {
        return false;
    }
    value = negative ? -static_cast<int>(magnitude) : static_cast<int>(magnitude);
    return true;
}

// A literal character of the format, which must come next.
bool ScanLiteral(std::string_view& text, char literal) {
    if (text.empty() || text.front() != literal) {
        return false;
    }
    text.remove_prefix(1);
    return true;
}

bool InRange(int value, int low, int high) {
    return value >= low && value <= high;
}

constexpr const char* kReadableStateTexts[] = {
    "Ready", "Low", "Cassette Removed", "Comm Error", "Offline", "Full", "Jammed", "Empty",
};

constexpr const char* kColourTexts[] = {"Red", "Yellow", "Green"};

}  // namespace

std::string NumberText(std::uint32_t value) {
    return std::to_string(value);
}

bool ParseNumberText(std::string_view text, std::uint32_t& value) {
    std::uint64_t magnitude = 0;
    bool negative = false;
    if (!ScanDecimal(text, magnitude, negative)) {
        return false;
    }
    value = static_cast<std::uint32_t>(negative ? 0 - magnitude : magnitude);
    return true;
}

const char* BooleanText(bool value) {
    return value ? "true" : "false";
}

bool BooleanFromText(std::string_view text) {
    return EqualsIgnoringCase(text, "TRUE");
}

bool ParseTimeText(std::string_view text, std::time_t& value) {
    int year = 0;
    int month = 0;
    int day = 0;
    int hour = 0;
    int minute = 0;
    int second = 0;
    // "%d-%d-%d %d:%d:%d": the blank of the format matches any run of blanks, even none.
    const bool scanned = ScanInt(text, year) && ScanLiteral(text, '-') && ScanInt(text, month) &&
                         ScanLiteral(text, '-') && ScanInt(text, day) && ScanInt(text, hour) &&
                         ScanLiteral(text, ':') && ScanInt(text, minute) &&
                         ScanLiteral(text, ':') && ScanInt(text, second);
    if (!scanned || !InRange(year, 1900, 9999) || !InRange(month, 1, 12) || !InRange(day, 1, 31) ||
        !InRange(hour, 0, 23) || !InRange(minute, 0, 59) || !InRange(second, 0, 59)) {
        return false;
    }
    std::tm local{};
    local.tm_year = year - 1900;
    local.tm_mon = month - 1;
    local.tm_mday = day;
    local.tm_hour = hour;
    local.tm_min = minute;
    local.tm_sec = second;
    const std::time_t seconds = FromLocalTm(local);
    if (seconds == static_cast<std::time_t>(-1)) {
        return false;
    }
    value = seconds;
    return true;
}

bool ParseStateText(std::string_view text, DeviceState& value) {
    for (std::size_t i = 0; i < std::size(kReadableStateTexts); ++i) {
        if (text == kReadableStateTexts[i]) {
            value = static_cast<DeviceState>(i);
            return true;
        }
    }
    return false;
}

bool ParseColourText(std::string_view text, StatusColour& value) {
    for (std::size_t i = 0; i < std::size(kColourTexts); ++i) {
        if (text == kColourTexts[i]) {
            value = static_cast<StatusColour>(i);
            return true;
        }
    }
    return false;
}

RegistryKeyReader::RegistryKeyReader(const platform::Registry& registry, const std::string& key) {
    result_ = registry.ReadKey(key, values_);
    if (result_ != 0) {
        values_.clear();
    }
    for (std::size_t i = 0; i < values_.size(); ++i) {
        index_.emplace(LowerCaseName(values_[i].first), i);  // the first of a name counts
    }
}

const platform::RegValue* RegistryKeyReader::Find(std::string_view name) const {
    const auto found = index_.find(LowerCaseName(name));
    return found != index_.end() ? &values_[found->second].second : nullptr;
}

const std::string* RegistryKeyReader::Text(std::string_view name) const {
    const platform::RegValue* value = Find(name);
    if (value == nullptr || value->type != platform::RegValue::Type::String ||
        value->text.size() > kRegistryTextMax) {
        return nullptr;
    }
    return &value->text;
}

bool RegistryKeyReader::ReadDword(std::string_view name, std::uint32_t& field) const {
    const platform::RegValue* value = Find(name);
    if (value == nullptr || value->type != platform::RegValue::Type::Dword) {
        return false;
    }
    field = value->dword;
    return true;
}

bool RegistryKeyReader::ReadText(std::string_view name, std::string& field) const {
    const std::string* text = Text(name);
    if (text == nullptr) {
        return false;
    }
    field = *text;
    return true;
}

bool RegistryKeyReader::ReadNumber(std::string_view name, std::uint32_t& field) const {
    const std::string* text = Text(name);
    return text != nullptr && ParseNumberText(*text, field);
}

bool RegistryKeyReader::ReadBoolean(std::string_view name, bool& field) const {
    const std::string* text = Text(name);
    if (text == nullptr) {
        return false;
    }
    field = BooleanFromText(*text);
    return true;
}

bool RegistryKeyReader::ReadTime(std::string_view name, std::time_t& field) const {
    const std::string* text = Text(name);
    return text != nullptr && ParseTimeText(*text, field);
}

bool RegistryKeyReader::ReadState(std::string_view name, DeviceState& field) const {
    const std::string* text = Text(name);
    return text != nullptr && ParseStateText(*text, field);
}

bool RegistryKeyReader::ReadColour(std::string_view name, StatusColour& field) const {
    const std::string* text = Text(name);
    return text != nullptr && ParseColourText(*text, field);
}

void RegistryKeyWriter::WriteDword(std::string_view name, std::uint32_t value) {
    batch_.SetDword(key_, std::string(name), value);
}

void RegistryKeyWriter::WriteText(std::string_view name, const std::string& value) {
    batch_.SetString(key_, std::string(name), value);
}

void RegistryKeyWriter::WriteNumber(std::string_view name, std::uint32_t value) {
    batch_.SetString(key_, std::string(name), NumberText(value));
}

void RegistryKeyWriter::WriteBoolean(std::string_view name, bool value) {
    batch_.SetString(key_, std::string(name), BooleanText(value));
}

void RegistryKeyWriter::WriteTime(std::string_view name, std::time_t value) {
    batch_.SetString(key_, std::string(name), RegistryTimeText(value));
}

void RegistryKeyWriter::WriteState(std::string_view name, DeviceState value) {
    batch_.SetString(key_, std::string(name), DeviceStateText(value));
}

void RegistryKeyWriter::WriteColour(std::string_view name, StatusColour value) {
    batch_.SetString(key_, std::string(name), StatusColourText(value));
}

}  // namespace lane::monitor
