// Keys and lines the operator types at the device items.
#include "Moxtel/OperatorInput.h"

#include <cctype>

namespace lane::moxtel {

namespace {

constexpr int kBackspace = 8;
constexpr int kDelete = 127;

}  // namespace

char ReadMenuKey(UtilityRun& run) {
    const int key = std::toupper(run.console.GetKey() & 0xFF);
    std::string echo(1, static_cast<char>(key));
    echo += "\n";
    run.console.Write(echo);
    return static_cast<char>(key);
}

std::string ReadOperatorLine(platform::Console& console, std::size_t maxChars) {
    std::string line;
    for (;;) {
        const int key = console.GetKey();
        if (console.InputEnded() || key == '\r' || key == '\n') {
            console.Write("\n");
            return line;
        }
        if (key == kBackspace || key == kDelete) {
            if (!line.empty()) {
                line.pop_back();
                console.Write("\b \b");
            }
            continue;
        }
        if (line.size() < maxChars && key >= ' ' && key < kDelete) {
            line.push_back(static_cast<char>(key));
            console.Write(std::string(1, static_cast<char>(key)));
        }
    }
}

std::uint32_t DecimalPrefix(std::string_view text) {
    std::size_t i = 0;
    while (i < text.size() && (text[i] == ' ' || text[i] == '\t')) {
        ++i;
    }
    std::uint32_t value = 0;
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
        value = value * 10U + static_cast<std::uint32_t>(text[i] - '0');
    }
    return value;
}

}  // namespace lane::moxtel
