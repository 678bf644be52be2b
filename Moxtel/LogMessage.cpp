// LogMessage: levels and flags, the console rules, the capture line, the pause after errors.
#include "Moxtel/LogMessage.h"

#include <algorithm>
#include <cstdio>

#include "Moxtel/PgmCnfg.h"

namespace lane::moxtel {

namespace {

constexpr const char* kLevelTags[] = {"<E>", " W ", "   ", "   "};

const char* LastPathComponent(const char* path) {
    if (path == nullptr) {
        return "";
    }
    const char* last = path;
    for (const char* at = path; *at != '\0'; ++at) {
        if (*at == '\\' || *at == '/') {
            last = at + 1;
        }
    }
    return last;
}

// The message, formatted into at most kLogMessageChars characters.
std::string FormatMessage(const char* format, std::va_list arguments) {
    if (format == nullptr || *format == '\0') {
        return {};
    }
    char text[kLogMessageChars + 1];
    const int length = std::vsnprintf(text, sizeof text, format, arguments);
    if (length <= 0) {
        return {};
    }
    return std::string(text,
                       std::min<std::size_t>(static_cast<std::size_t>(length), kLogMessageChars));
}

}  // namespace

std::string CaptureLine(const char* sourceFile, unsigned line, int level,
                        std::string_view message) {
    char prefix[48];
    std::snprintf(prefix, sizeof prefix, "%-12.12s:%5u:", LastPathComponent(sourceFile), line);
    std::string text = prefix;
    text += kLevelTags[level >= 0 && level <= kLogDetail ? level : kLogDetail];
    text += message;
    if (text.size() > kCaptureLineChars) {
        text.resize(kCaptureLineChars);
    }
    return text;
}

void CLogMessage::LogMessage(int flagsAndLevel, int category, const char* sourceFile, unsigned line,
                             const char* format, ...) {
    std::va_list arguments;
    va_start(arguments, format);
    LogMessageV(flagsAndLevel, category, sourceFile, line, format, arguments);
    va_end(arguments);
}

void CLogMessage::LogMessageV(int flagsAndLevel, int category, const char* sourceFile,
                              unsigned line, const char* format, std::va_list arguments) {
    const bool console = (flagsAndLevel & (kLogConsole | kLogConsoleNoLineEnd)) != 0;
    const bool lineEnd = (flagsAndLevel & kLogConsoleNoLineEnd) == 0;
    const int level = flagsAndLevel & ~(kLogConsole | kLogConsoleNoLineEnd | kLogNoEffect);
    int displayLevel = kLogError;
    if (category != kCategoryConfiguration) {
        const ProgramConfig& values = config_.Access(*this);
        if (level > values.Capture_Logging_Level) {
            return;
        }
        displayLevel = values.Capture_Display_Level;
    }
    if (level < kLogError || level > kLogDetail) {
        return;
    }
    std::string captureLine;
    {
        std::lock_guard<std::mutex> lock(logMutex_);
        const std::string message = FormatMessage(format, arguments);
        const bool show = console && consoleDisplay_.load() && category != kCategoryConfiguration &&
                          level <= displayLevel;
        if (show) {
            console_.Write(lineEnd ? message + "\n" : message);
        }
        captureLine = CaptureLine(sourceFile, line, level, message);
    }
    capture_.Write(captureLine);
    if (level == kLogError) {
        capture_.Flush();
        clock_.SleepMs(kErrorLinePauseMs);
    }
}

void CUtilityLinkReporter::Report(const char* module, int level, bool console,
                                  const std::string& text) {
    log_.LogMessage(level | (console ? kLogConsole : 0), kCategoryLink, module, 0, "%s",
                    text.c_str());
}

}  // namespace lane::moxtel
