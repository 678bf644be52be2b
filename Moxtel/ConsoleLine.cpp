// A line typed at the console: echo, backspace, and the longest line.
#include "Moxtel/ConsoleLine.h"

namespace lane::moxtel {

std::string ReadConsoleLine(platform::Console& console, std::size_t maxChars) {
    std::string line;
    for (;;) {
        const int key = console.GetKey();
        if (console.InputEnded() || key == '\r' || key == '\n') {
            console.Write("\n");
            return line;
        }
        if (key == '\b' || key == 0x7F) {
            if (!line.empty()) {
                line.pop_back();
                console.Write("\b \b");
            }
            continue;
        }
        if (key < 0x20 || key > 0xFF || line.size() >= maxChars) {
            continue;
        }
        line.push_back(static_cast<char>(key));
        console.Write(line.substr(line.size() - 1));
    }
}

}  // namespace lane::moxtel
