// Hex dumps and time texts.
#include <gtest/gtest.h>

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

}  // namespace
}  // namespace lane
