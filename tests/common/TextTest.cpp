// Hex dumps and time texts.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <utility>
#include <vector>

#include "common/HexText.h"
#include "common/TimeText.h"

namespace lane {
namespace {

TEST(HexText, UpperCaseDigitsEachFollowedByABlank) {
    std::string text = "(";
    const std::uint8_t bytes[] = {0xA3, 0x01, 0x0F};
    AppendHexBytes(text, bytes, 3, kTraceHexStop);
    EXPECT_EQ(text, "(A3 01 0F ");
}

TEST(HexText, StopsAddingBytesOnceTheTextReachesTheStopLength) {
    std::vector<std::uint8_t> bytes(400, 0xAB);
    std::string text;
    AppendHexBytes(text, bytes.data(), bytes.size(), kTraceHexStop);
    // 333 bytes make 999 characters; the 333rd starts at 996, below the stop.
    EXPECT_EQ(text.size(), 999u);
    std::string prefixed = "X";
    AppendHexBytes(prefixed, bytes.data(), bytes.size(), kTraceHexStop);
    EXPECT_EQ(prefixed.size(), 1u + 332 * 3);
}

TEST(TimeText, TraceAndRegistryFormsOfALocalTime) {
    std::tm local{};
    local.tm_year = 2024 - 1900;
    local.tm_mon = 2;
    local.tm_mday = 5;
    local.tm_hour = 14;
    local.tm_min = 7;
    local.tm_sec = 9;
    const std::time_t seconds = FromLocalTm(local);
    EXPECT_EQ(TraceTimeText(WallTime{seconds, 42}), "20240305 14:07:09.042");
    EXPECT_EQ(RegistryTimeText(seconds), "2024-03-05 14:07:09");
    const std::tm back = LocalTm(seconds);
    EXPECT_EQ(back.tm_hour, 14);
    EXPECT_EQ(back.tm_mday, 5);
}

TEST(TimeText, CachedFormsMatchTheCalendarAcrossMinutesDaysAndBackwards) {
    // The texts are worked out from a cached minute or second: every second of a stretch that
    // crosses minutes, an hour and a day, visited forwards, backwards and by jumps, must still
    // read as the calendar says.
    std::tm local{};
    local.tm_year = 2023 - 1900;
    local.tm_mon = 11;
    local.tm_mday = 31;
    local.tm_hour = 23;
    local.tm_min = 58;
    const std::time_t start = FromLocalTm(local);
    const auto expected = [](std::time_t seconds, unsigned milliseconds) {
        const std::tm tm = LocalTm(seconds);
        char registry[40];
        std::snprintf(registry, sizeof registry, "%04d-%02d-%02d %02d:%02d:%02d", tm.tm_year + 1900,
                      tm.tm_mon + 1, tm.tm_mday, tm.tm_hour, tm.tm_min, tm.tm_sec);
        char trace[40];
        std::snprintf(trace, sizeof trace, "%04d%02d%02d %02d:%02d:%02d.%03hu", tm.tm_year + 1900,
                      tm.tm_mon + 1, tm.tm_mday, tm.tm_hour, tm.tm_min, tm.tm_sec,
                      static_cast<unsigned short>(milliseconds));
        return std::make_pair(std::string(registry), std::string(trace));
    };
    std::vector<std::time_t> order;
    for (std::time_t t = start; t < start + 200; ++t) {
        order.push_back(t);
    }
    for (std::time_t t = start + 200; t > start; t -= 7) {
        order.push_back(t);
    }
    order.push_back(start + 86400 * 180);  // another season, perhaps another offset
    order.push_back(start + 59);
    for (std::size_t i = 0; i < order.size(); ++i) {
        const unsigned milliseconds = static_cast<unsigned>(i * 37 % 1000);
        const auto [registry, trace] = expected(order[i], milliseconds);
        EXPECT_EQ(RegistryTimeText(order[i]), registry) << order[i];
        EXPECT_EQ(TraceTimeText(WallTime{order[i], milliseconds}), trace) << order[i];
    }
}

}  // namespace
}  // namespace lane
