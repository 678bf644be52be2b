// What the link's modules share; here the printf-style report helper.
#include "link/LinkContext.h"

#include <cstdarg>
#include <cstdio>
#include <vector>

namespace lane::link {

namespace {

std::string FormatText(const char* format, std::va_list arguments) {
    std::va_list copy;
    va_copy(copy, arguments);
    const int length = std::vsnprintf(nullptr, 0, format, copy);
    va_end(copy);
    if (length <= 0) {
        return {};
    }
    std::vector<char> text(static_cast<std::size_t>(length) + 1);
    std::vsnprintf(text.data(), text.size(), format, arguments);
    return std::string(text.data(), static_cast<std::size_t>(length));
}

}  // namespace

void CLinkLog::Emit(int level, bool console, const char* format, std::va_list arguments) const {
    reporter_.Report(module_, level, console, FormatText(format, arguments));
}

void CLinkLog::Error(const char* format, ...) const {
    std::va_list arguments;
    va_start(arguments, format);
    Emit(kLinkError, true, format, arguments);
    va_end(arguments);
}

void CLinkLog::Warning(const char* format, ...) const {
    std::va_list arguments;
    va_start(arguments, format);
    Emit(kLinkWarning, false, format, arguments);
    va_end(arguments);
}

void CLinkLog::Information(const char* format, ...) const {
    std::va_list arguments;
    va_start(arguments, format);
    Emit(kLinkInformation, false, format, arguments);
    va_end(arguments);
}

void CLinkLog::Detail(const char* format, ...) const {
    std::va_list arguments;
    va_start(arguments, format);
    Emit(kLinkDetail, false, format, arguments);
    va_end(arguments);
}

void CLinkLog::DetailConsole(const char* format, ...) const {
    std::va_list arguments;
    va_start(arguments, format);
    Emit(kLinkDetail, true, format, arguments);
    va_end(arguments);
}

}  // namespace lane::link
