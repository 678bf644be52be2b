// The settings dialogs' common model: decimal text and the texts typed into number fields.
#include "monitor/ui/SettingsDialog.h"

#include <algorithm>
#include <cctype>
#include <limits>

namespace lane::monitor {

namespace {
constexpr std::size_t kNumberTextMax = 20;
}

std::int32_t ReadDecimalText(std::string_view text) {
    text = text.substr(0, kNumberTextMax);
    std::size_t at = 0;
    while (at < text.size() && std::isspace(static_cast<unsigned char>(text[at])) != 0) {
        ++at;
    }
    bool negative = false;
    if (at < text.size() && (text[at] == '-' || text[at] == '+')) {
        negative = text[at] == '-';
        ++at;
    }
    std::int64_t value = 0;
    constexpr std::int64_t kLimit = std::int64_t{std::numeric_limits<std::int32_t>::max()} + 1;
    for (; at < text.size() && std::isdigit(static_cast<unsigned char>(text[at])) != 0; ++at) {
        value = std::min(value * 10 + (text[at] - '0'), kLimit);
    }
    value = negative ? -value : std::min(value, kLimit - 1);
    return static_cast<std::int32_t>(value);
}

std::string CSettingsDialog::FieldText(int id, std::uint32_t value) const {
    const auto typed = texts_.find(id);
    return typed != texts_.end() ? typed->second : std::to_string(value);
}

}  // namespace lane::monitor
