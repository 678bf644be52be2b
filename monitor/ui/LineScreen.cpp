// The list as plain lines on a stream, written out per run of lines.
#include "monitor/ui/LineScreen.h"

#include <string_view>

namespace lane::monitor {

namespace {

// The text up to its first NUL, as a C string of it reads.
std::string_view UpToNul(const std::string& text) {
    return std::string_view(text).substr(0, text.find('\0'));
}

}  // namespace

void CLineScreen::Show(const TraceListItem& item) {
    if (!open_) {
        return;
    }
    line_.assign(UpToNul(item.time));
    line_ += "  ";
    line_ += UpToNul(item.message);
    line_ += '\n';
    if (std::fwrite(line_.data(), 1, line_.size(), out_) != line_.size()) {
        Closed();
    }
}

void CLineScreen::Flush() {
    if (open_ && std::fflush(out_) != 0) {
        Closed();
    }
}

void CLineScreen::Closed() {
    if (open_.exchange(false) && closed_) {
        closed_();
    }
}

}  // namespace lane::monitor
