// Fuzz target of the initialisation-file reader and writer: any bytes are read without a fault,
// and a value set in any text is then found there.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "platform/IniFile.h"

namespace {

bool IsBlank(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\v' || c == '\f' || c == '\x1a';
}

std::string_view Trim(std::string_view text) {
    while (!text.empty() && IsBlank(text.front())) {
        text.remove_prefix(1);
    }
    while (!text.empty() && IsBlank(text.back())) {
        text.remove_suffix(1);
    }
    return text;
}

// The names WritePrivateProfileString accepts.
bool Writable(std::string_view section, std::string_view key) {
    const auto hasLineEnd = [](std::string_view text) {
        return text.find_first_of("\r\n") != std::string_view::npos;
    };
    const std::string_view trimmedKey = Trim(key);
    return !Trim(section).empty() && !trimmedKey.empty() && !hasLineEnd(section) &&
           !hasLineEnd(key) && trimmedKey.find('=') == std::string_view::npos &&
           trimmedKey.front() != '[' && trimmedKey.front() != ';';
}

void CheckSetThenFind(std::string_view text, std::string_view section, std::string_view key) {
    if (!Writable(section, key)) {
        return;
    }
    const std::string changed = lane::platform::SetIniValue(text, section, key, "fuzzed value");
    std::string value;
    if (!lane::platform::FindIniValue(changed, section, key, value) || value != "fuzzed value") {
        std::abort();
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    std::string value;
    if (lane::platform::FindIniValue(text, "Common", "CountryCode", value)) {
        (void)lane::platform::ParseIniNumber(value);
    }
    (void)lane::platform::ParseIniNumber(text);
    CheckSetThenFind(text, "Common", "CountryCode");
    // A section and a key taken from the input's first two lines.
    const std::size_t firstEnd = text.find('\n');
    if (firstEnd != std::string_view::npos) {
        const std::string_view rest = text.substr(firstEnd + 1);
        const std::string_view key = rest.substr(0, rest.find('\n'));
        CheckSetThenFind(text, text.substr(0, firstEnd), key);
    }
    return 0;
}
