// LogMessage, the utility's single logging call: console echo by level and flags, and every line
// that passes the capture level into the capture files. Also the link's reporter in the utility.
#pragma once

#include <atomic>
#include <cstdarg>
#include <cstddef>
#include <mutex>
#include <string>
#include <string_view>

#include "Moxtel/CaptureWriter.h"
#include "common/Clock.h"
#include "link/LinkConfig.h"
#include "platform/Console.h"

namespace lane::moxtel {

class PgmCnfg;

// Levels (the low bits of the flags-and-level argument).
inline constexpr int kLogError = 0;
inline constexpr int kLogWarning = 1;
inline constexpr int kLogInformation = 2;
inline constexpr int kLogDetail = 3;

// Flag bits.
inline constexpr int kLogConsole = 0x800;            // echo on the console with a line end
inline constexpr int kLogConsoleNoLineEnd = 0x1000;  // echo on the console without a line end
inline constexpr int kLogNoEffect = 0x400;           // accepted and ignored

// The combinations in use.
inline constexpr int kLogFileOnly = kLogInformation;                       // 2
inline constexpr int kLogDetailFileOnly = kLogDetail;                      // 3
inline constexpr int kLogShow = kLogConsole | kLogInformation;             // 0x802
inline constexpr int kLogPrompt = kLogConsoleNoLineEnd | kLogInformation;  // 0x1002
inline constexpr int kLogDetailShow = kLogConsole | kLogDetail;            // 0x803
inline constexpr int kLogErrorShow = kLogConsole | kLogNoEffect;           // 0xC00

// Categories: the utility's command modules, the link layer, the configuration module (whose
// lines skip the capture-level test and never reach the console).
inline constexpr int kCategoryCommand = 25;
inline constexpr int kCategoryLink = 5;
inline constexpr int kCategoryConfiguration = 2;

// The longest message, and the longest capture line (prefix, level tag and message).
inline constexpr std::size_t kLogMessageChars = 132;
inline constexpr std::size_t kCaptureLineChars = 132;
// Every error line is followed by this pause, which paces error storms.
inline constexpr std::int64_t kErrorLinePauseMs = 1000;

// "%-12.12s:%5u:", the level tag ("<E>", " W ", or three blanks) and the message, cut to
// kCaptureLineChars. Only the last path component of `sourceFile` is used.
std::string CaptureLine(const char* sourceFile, unsigned line, int level, std::string_view message);

class CLogMessage {
  public:
    // `config` gives the capture and display levels (the first look loads it).
    CLogMessage(Clock& clock, platform::Console& console, CCaptureWriter& capture, PgmCnfg& config)
        : clock_(clock), console_(console), capture_(capture), config_(config) {}
    CLogMessage(const CLogMessage&) = delete;
    CLogMessage& operator=(const CLogMessage&) = delete;

    // The run option "console display" (-SupressConsoleDisplay turns it off).
    void SetConsoleDisplay(bool on) { consoleDisplay_.store(on); }

    [[gnu::format(printf, 6, 7)]] void LogMessage(int flagsAndLevel, int category,
                                                  const char* sourceFile, unsigned line,
                                                  const char* format, ...);
    void LogMessageV(int flagsAndLevel, int category, const char* sourceFile, unsigned line,
                     const char* format, std::va_list arguments);

    CCaptureWriter& Capture() { return capture_; }

  private:
    Clock& clock_;
    platform::Console& console_;
    CCaptureWriter& capture_;
    PgmCnfg& config_;
    std::atomic<bool> consoleDisplay_{true};
    std::mutex logMutex_;
};

// The link's reports in the utility: LogMessage with category 5, by level; the module that
// reports names the line (the link gives no line number: 0).
class CUtilityLinkReporter final : public link::LinkReporter {
  public:
    explicit CUtilityLinkReporter(CLogMessage& log) : log_(log) {}
    void Report(const char* module, int level, bool console, const std::string& text) override;

  private:
    CLogMessage& log_;
};

}  // namespace lane::moxtel
