// Local-time breakdown and the time texts of traces, the registry and reports.
#include "common/TimeText.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
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

std::size_t FormatTraceTime(WallTime time, char* out) {
    // Lines come many to a second: the calendar part is worked out once per second and thread.
    thread_local std::time_t cachedSeconds = -1;
    thread_local char cachedText[kTraceTimeTextMax] = {};
    thread_local std::size_t cachedLength = 0;
    if (time.seconds != cachedSeconds) {
        const std::tm local = LocalTm(time.seconds);
        const int length = std::snprintf(
            cachedText, sizeof cachedText, "%04d%02d%02d %02d:%02d:%02d", local.tm_year + 1900,
            local.tm_mon + 1, local.tm_mday, local.tm_hour, local.tm_min, local.tm_sec);
        cachedLength = length < 0 ? 0 : std::min<std::size_t>(length, sizeof cachedText - 8);
        cachedSeconds = time.seconds;
    }
    std::memcpy(out, cachedText, cachedLength);
    char* milliseconds = out + cachedLength;
    // "%03hu" of the milliseconds, which the clocks keep below 1000.
    const auto value = static_cast<unsigned short>(time.milliseconds);
    if (value >= 1000) {
        const int length = std::snprintf(milliseconds, 8, ".%03hu", value);
        return cachedLength + static_cast<std::size_t>(length < 0 ? 0 : length);
    }
    milliseconds[0] = '.';
    milliseconds[1] = static_cast<char>('0' + value / 100);
    milliseconds[2] = static_cast<char>('0' + value / 10 % 10);
    milliseconds[3] = static_cast<char>('0' + value % 10);
    return cachedLength + 4;
}

std::string TraceTimeText(WallTime time) {
    char text[kTraceTimeTextMax];
    return std::string(text, FormatTraceTime(time, text));
}

namespace {

// The local calendar time of `seconds`, worked out once per local minute and thread: a history
// of a thousand entries from the same minutes is saved in one go.
std::tm CachedLocalTm(std::time_t seconds) {
    thread_local bool cached = false;
    thread_local std::time_t minuteStart = 0;
    thread_local std::tm minuteTm{};
    if (cached && seconds >= minuteStart && seconds - minuteStart < 60) {
        std::tm local = minuteTm;
        local.tm_sec = static_cast<int>(seconds - minuteStart);
        return local;
    }
    const std::tm local = LocalTm(seconds);
    if (local.tm_sec >= 0 && local.tm_sec < 60) {
        minuteStart = seconds - local.tm_sec;
        minuteTm = local;
        cached = true;
    }
    return local;
}

void PutDigits(char* out, int value, int width) {
    for (int i = width - 1; i >= 0; --i) {
        out[i] = static_cast<char>('0' + value % 10);
        value /= 10;
    }
}

}  // namespace

std::string RegistryTimeText(std::time_t seconds) {
    const std::tm local = CachedLocalTm(seconds);
    const int year = local.tm_year + 1900;
    const bool inRange = year >= 0 && year <= 9999 && local.tm_mon >= 0 && local.tm_mon < 12 &&
                         local.tm_mday >= 0 && local.tm_mday < 100 && local.tm_hour >= 0 &&
                         local.tm_hour < 100 && local.tm_min >= 0 && local.tm_min < 100 &&
                         local.tm_sec >= 0 && local.tm_sec < 100;
    char text[40];
    if (!inRange) {
        std::snprintf(text, sizeof text, "%04d-%02d-%02d %02d:%02d:%02d", year, local.tm_mon + 1,
                      local.tm_mday, local.tm_hour, local.tm_min, local.tm_sec);
        return text;
    }
    // "%04d-%02d-%02d %02d:%02d:%02d"
    std::memcpy(text, "0000-00-00 00:00:00", 19);
    PutDigits(text, year, 4);
    PutDigits(text + 5, local.tm_mon + 1, 2);
    PutDigits(text + 8, local.tm_mday, 2);
    PutDigits(text + 11, local.tm_hour, 2);
    PutDigits(text + 14, local.tm_min, 2);
    PutDigits(text + 17, local.tm_sec, 2);
    return std::string(text, 19);
}

}  // namespace lane
