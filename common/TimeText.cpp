// Local-time breakdown and the time texts of traces, the registry and reports.
#include "common/TimeText.h"

#include <cstdio>
#include <mutex>

namespace lane {

namespace {
std::mutex& LocalTimeMutex() {
    static std::mutex mutex;
    return mutex;
}
}  // namespace

std::tm LocalTm(std::time_t seconds) {
    std::lock_guard<std::mutex> lock(LocalTimeMutex());
    const std::tm* local = std::localtime(&seconds);
    return local != nullptr ? *local : std::tm{};
}

std::time_t FromLocalTm(std::tm local) {
    std::lock_guard<std::mutex> lock(LocalTimeMutex());
    local.tm_isdst = -1;
    return std::mktime(&local);
}

std::string TraceTimeText(WallTime time) {
    // Lines come many to a second: the calendar part is worked out once per second and thread.
    thread_local std::time_t cachedSeconds = -1;
    thread_local char cachedText[80] = {};
    if (time.seconds != cachedSeconds) {
        const std::tm local = LocalTm(time.seconds);
        std::snprintf(cachedText, sizeof cachedText, "%04d%02d%02d %02d:%02d:%02d",
                      local.tm_year + 1900, local.tm_mon + 1, local.tm_mday, local.tm_hour,
                      local.tm_min, local.tm_sec);
        cachedSeconds = time.seconds;
    }
    char milliseconds[8];
    std::snprintf(milliseconds, sizeof milliseconds, ".%03hu",
                  static_cast<unsigned short>(time.milliseconds));
    std::string text(cachedText);
    text += milliseconds;
    return text;
}

std::string RegistryTimeText(std::time_t seconds) {
    const std::tm local = LocalTm(seconds);
    char text[40];
    std::snprintf(text, sizeof text, "%04d-%02d-%02d %02d:%02d:%02d", local.tm_year + 1900,
                  local.tm_mon + 1, local.tm_mday, local.tm_hour, local.tm_min, local.tm_sec);
    return text;
}

}  // namespace lane
