// Tests of the initialisation-file stand-in with Windows semantics.
#include "platform/IniFile.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <string>
#include <vector>

namespace lane::platform {
namespace {

namespace fs = std::filesystem;

constexpr std::size_t kBuffer = 201;  // the utility's buffer size

class IniFileTest : public ::testing::Test {
  protected:
    IniFileTest()
        : folder_(fs::temp_directory_path() /
                  ("lane-ini-" + std::to_string(std::random_device{}()))),
          file_((folder_ / "LaneConfig.Ini").string()) {
        fs::create_directories(folder_);
    }
    ~IniFileTest() override {
        std::error_code ignored;
        fs::remove_all(folder_, ignored);
    }

    void Write(const std::string& text) { std::ofstream(file_, std::ios::binary) << text; }
    std::string Read() {
        std::ifstream in(file_, std::ios::binary);
        std::ostringstream text;
        text << in.rdbuf();
        return text.str();
    }
    std::string Get(const std::string& section, const std::string& key,
                    const std::string& fallback = "?<<IniFieldNotSet>>?") {
        return GetPrivateProfileString(section, key, fallback, kBuffer, file_);
    }

    fs::path folder_;
    std::string file_;
};

TEST_F(IniFileTest, ReadsValuesWithSectionsAndKeysIgnoringCaseAndBlanksTrimmed) {
    Write(
        "[Common]\r\n"
        "CountryCode=USA\r\n"
        "  Cash_Currency_Type  =   CAD   \r\n"
        "\tLaneType\t=\tFULL-LANE\t\r\n"
        "[Other]\r\n"
        "CountryCode=CANADA\r\n");
    EXPECT_EQ(Get("Common", "CountryCode"), "USA");
    EXPECT_EQ(Get("COMMON", "cash_currency_type"), "CAD");
    EXPECT_EQ(Get("common", "LaneType"), "FULL-LANE");
    EXPECT_EQ(Get("other", "countrycode"), "CANADA");
}

TEST_F(IniFileTest, MissingFileSectionOrKeyGivesTheDefaultLessItsTrailingBlanks) {
    EXPECT_EQ(Get("Common", "CountryCode", "USA"), "USA");  // no file
    Write("[Common]\nCountryCode=USA\n");
    EXPECT_EQ(Get("Missing", "CountryCode", "x"), "x");
    EXPECT_EQ(Get("Common", "Missing", "dflt  \t"), "dflt");
    EXPECT_EQ(Get("Common", "Missing", ""), "");
}

TEST_F(IniFileTest, TheBufferSizeCountsTheTerminatingZero) {
    Write("[Build Information]\nProductVersion=4.5.678\n");
    EXPECT_EQ(GetPrivateProfileString("Build Information", "ProductVersion", "", 6, file_),
              "4.5.6");
    EXPECT_EQ(GetPrivateProfileString("Build Information", "ProductVersion", "", 1, file_), "");
    EXPECT_EQ(GetPrivateProfileString("Build Information", "ProductVersion", "", 0, file_), "");
    EXPECT_EQ(GetPrivateProfileString("x", "y", "<Unknown>", 4, file_), "<Un");
    const std::string longValue(300, 'v');
    Write("[S]\nK=" + longValue + "\n");
    EXPECT_EQ(Get("S", "K"), std::string(200, 'v'));
}

TEST_F(IniFileTest, MatchingQuotesAroundAValueAreRemoved) {
    Write("[S]\nA=\"quoted\"\nB='single'\nC=\"mixed'\nD=\"\nE=\" inner \"\nF=\"\"\n");
    EXPECT_EQ(Get("S", "A"), "quoted");
    EXPECT_EQ(Get("S", "B"), "single");
    EXPECT_EQ(Get("S", "C"), "\"mixed'");
    EXPECT_EQ(Get("S", "D"), "\"");
    EXPECT_EQ(Get("S", "E"), " inner ");
    EXPECT_EQ(Get("S", "F"), "");
}

TEST_F(IniFileTest, CommentsUnknownLinesAndKeysOutsideSectionsAreIgnored) {
    Write(
        "Orphan=1\n"
        "; CountryCode=IRELAND\n"
        "[Common]\n"
        "  ;CountryCode=ENGLAND\n"
        "not a key line\n"
        "=no key\n"
        "[broken section\n"
        "CountryCode=USA\n");
    EXPECT_EQ(Get("Common", "CountryCode"), "USA");
    EXPECT_EQ(Get("Common", "Orphan", "d"), "d");
}

TEST_F(IniFileTest, TheFirstSectionAndTheFirstKeyWin) {
    Write("\xEF\xBB\xBF[S]\nK=first\nK=second\n[S]\nK=third\nL=later\n");
    EXPECT_EQ(Get("S", "K"), "first");
    EXPECT_EQ(Get("S", "L", "d"), "d");
}

TEST_F(IniFileTest, IntegersAreReadAsWindowsReadsThem) {
    Write(
        "[S]\n"
        "Dec=12\nLead= 42abc\nNeg=-5\nPlus=+7\nHex=0x1F\nUpperX=0X1F\nOct=0o17\nBin=0b101\n"
        "Word=abc\nEmpty=\nBig=4294967297\n");
    EXPECT_EQ(GetPrivateProfileInt("S", "Dec", 9, file_), 12u);
    EXPECT_EQ(GetPrivateProfileInt("S", "Lead", 9, file_), 42u);
    EXPECT_EQ(GetPrivateProfileInt("S", "Neg", 9, file_), 0xFFFFFFFBu);
    EXPECT_EQ(GetPrivateProfileInt("S", "Plus", 9, file_), 7u);
    EXPECT_EQ(GetPrivateProfileInt("S", "Hex", 9, file_), 31u);
    EXPECT_EQ(GetPrivateProfileInt("S", "UpperX", 9, file_), 0u);  // "0", then an X
    EXPECT_EQ(GetPrivateProfileInt("S", "Oct", 9, file_), 15u);
    EXPECT_EQ(GetPrivateProfileInt("S", "Bin", 9, file_), 5u);
    EXPECT_EQ(GetPrivateProfileInt("S", "Word", 9, file_), 0u);
    EXPECT_EQ(GetPrivateProfileInt("S", "Empty", 9, file_), 9u);
    EXPECT_EQ(GetPrivateProfileInt("S", "Big", 9, file_), 1u);
    EXPECT_EQ(GetPrivateProfileInt("S", "Missing", -1, file_), 0xFFFFFFFFu);
    EXPECT_EQ(GetPrivateProfileInt("S", "Missing", 2, (folder_ / "none.ini").string()), 2u);
}

TEST_F(IniFileTest, WritingCreatesTheFile) {
    ASSERT_TRUE(WritePrivateProfileString("Common", "KelLaneNumber", "12", file_));
    EXPECT_EQ(Read(), "[Common]\r\nKelLaneNumber=12\r\n");
    EXPECT_EQ(GetPrivateProfileInt("Common", "KelLaneNumber", 0, file_), 12u);
}

TEST_F(IniFileTest, ReplacingAValueKeepsEveryOtherByte) {
    const std::string before =
        "; lane settings\n"
        "[Common]\n"
        "  CountryCode = USA   \n"
        "\n"
        "[Next]\r\n"
        "X=1";
    Write(before);
    ASSERT_TRUE(WritePrivateProfileString("common", "COUNTRYCODE", "CANADA", file_));
    EXPECT_EQ(Read(),
              "; lane settings\n"
              "[Common]\n"
              "CountryCode=CANADA\n"
              "\n"
              "[Next]\r\n"
              "X=1");
    ASSERT_TRUE(WritePrivateProfileString("Next", "X", "2", file_));
    EXPECT_EQ(Read(),
              "; lane settings\n"
              "[Common]\n"
              "CountryCode=CANADA\n"
              "\n"
              "[Next]\r\n"
              "X=2");
}

TEST_F(IniFileTest, NewKeysGoAfterTheLastKeyOfTheirSectionAndNewSectionsAtTheEnd) {
    Write("[A]\r\nOne=1\r\n\r\n; about B\r\n[B]\r\nTwo=2");
    ASSERT_TRUE(WritePrivateProfileString("A", "Three", "3", file_));
    ASSERT_TRUE(WritePrivateProfileString("B", "Four", "4", file_));
    ASSERT_TRUE(WritePrivateProfileString("C", "Five", "5", file_));
    EXPECT_EQ(Read(),
              "[A]\r\nOne=1\r\nThree=3\r\n\r\n; about B\r\n[B]\r\nTwo=2\r\nFour=4\r\n"
              "[C]\r\nFive=5\r\n");
    Write("[Empty]");
    ASSERT_TRUE(WritePrivateProfileString("empty", "K", "v", file_));
    EXPECT_EQ(Read(), "[Empty]\r\nK=v\r\n");
}

TEST_F(IniFileTest, WritingTheSameValueLeavesTheFileAlone) {
    Write("[S]\nK=v\n");
    ASSERT_TRUE(WritePrivateProfileString("S", "K", "v", file_));
    EXPECT_EQ(Read(), "[S]\nK=v\n");
    EXPECT_EQ(std::distance(fs::directory_iterator(folder_), fs::directory_iterator()), 1);
}

TEST_F(IniFileTest, InvalidWritesFail) {
    EXPECT_FALSE(WritePrivateProfileString("", "K", "v", file_));
    EXPECT_FALSE(WritePrivateProfileString("S", " ", "v", file_));
    EXPECT_FALSE(WritePrivateProfileString("S", "K=1", "v", file_));
    EXPECT_FALSE(WritePrivateProfileString("S", "[K]", "v", file_));
    EXPECT_FALSE(WritePrivateProfileString("S", "K", "two\nlines", file_));
    EXPECT_FALSE(WritePrivateProfileString("S\r", "K", "v", file_));
    EXPECT_FALSE(fs::exists(file_));
    EXPECT_FALSE(WritePrivateProfileString("S", "K", "v", (folder_ / "no" / "x.ini").string()));
}

TEST(IniTextTest, SetThenFindGivesTheValueForEveryPrefixOfAText) {
    const std::string text =
        "\xEF\xBB\xBF; c\r\n[Common]\r\nA = 1\r\n[Other]\nA=2\n[common]\nB='3'\r\n";
    for (std::size_t length = 0; length <= text.size(); ++length) {
        const std::vector<char> buffer(text.begin(), text.begin() + length);
        const std::string prefix(buffer.begin(), buffer.end());
        std::string value;
        (void)FindIniValue(prefix, "common", "a", value);
        const std::string changed = SetIniValue(prefix, "Common", "B", " \"new\" ");
        ASSERT_TRUE(FindIniValue(changed, "COMMON", "b", value)) << length;
        EXPECT_EQ(value, "new");
    }
}

TEST(IniTextTest, NumbersFollowTheWindowsRule) {
    EXPECT_EQ(ParseIniNumber(""), 0u);
    EXPECT_EQ(ParseIniNumber("-"), 0u);
    EXPECT_EQ(ParseIniNumber("0x"), 0u);
    EXPECT_EQ(ParseIniNumber("-0x10"), 0xFFFFFFF0u);
    EXPECT_EQ(ParseIniNumber("0xffffffff"), 0xFFFFFFFFu);
    EXPECT_EQ(ParseIniNumber("007"), 7u);
}

}  // namespace
}  // namespace lane::platform
