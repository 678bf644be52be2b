// The currency profile: the configured value's first character, the platform's locale texts.
#include "monitor/decoders/CurrencyProfile.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "tests/monitor/stats/StatsTestSupport.h"

namespace lane::monitor {
namespace {

struct ProfileCase {
    const char* value;
    CurrencyProfile expected;
};

// The texts below are the system locales' own (scripts/setup.sh installs them); the French
// thousands separator is the narrow no-break space, in UTF-8.
TEST(CurrencyProfileTest, FirstCharacterChoosesTheCurrencyAndTheLocaleGivesTheTexts) {
    const CurrencyProfile dollar{"USD", 1033, "$", ".", ","};
    const std::vector<ProfileCase> cases = {
        {"", dollar},
        {"0", dollar},
        {"5", dollar},
        {"US", dollar},
        {"1", {"GBP", 2057, "\xC2\xA3", ".", ","}},
        {"12", {"GBP", 2057, "\xC2\xA3", ".", ","}},
        {"1x", {"GBP", 2057, "\xC2\xA3", ".", ","}},
        {"2", {"EUR", 1036, "\xE2\x82\xAC", ",", "\xE2\x80\xAF"}},
        {"3", {"CAD", 4105, "$", ".", ","}},
        {"4", {"AUD", 3081, "$", ".", ","}},
    };
    for (const ProfileCase& c : cases) {
        const CurrencyProfile profile = MakeCurrencyProfile(c.value);
        EXPECT_EQ(profile.currencyCode, c.expected.currencyCode) << c.value;
        EXPECT_EQ(profile.localeId, c.expected.localeId) << c.value;
        EXPECT_EQ(profile.currencySymbol, c.expected.currencySymbol) << c.value;
        EXPECT_EQ(profile.decimalSeparator, c.expected.decimalSeparator) << c.value;
        EXPECT_EQ(profile.thousandsSeparator, c.expected.thousandsSeparator) << c.value;
    }
}

std::uint32_t FailingQuery(std::uint16_t, platform::MonetaryTexts& texts) {
    texts = platform::MonetaryTexts{};
    return platform::kLocaleNotInstalled;
}

TEST(CurrencyProfileTest, ALocaleThatCannotBeReadGivesEmptyTexts) {
    const CurrencyProfile profile = MakeCurrencyProfile("2", FailingQuery);
    EXPECT_EQ(profile.currencyCode, "EUR");
    EXPECT_EQ(profile.localeId, 1036);
    EXPECT_EQ(profile.currencySymbol, "");
    EXPECT_EQ(profile.decimalSeparator, "");
    EXPECT_EQ(profile.thousandsSeparator, "");

    platform::MonetaryTexts texts{"x", "y", "z"};
    EXPECT_EQ(platform::GetMonetaryTextsByName("xx_NOWHERE", texts), platform::kLocaleNotInstalled);
    EXPECT_EQ(texts.currencySymbol, "");
    EXPECT_EQ(platform::GetMonetaryTexts(0x0407, texts), platform::kLocaleUnknownId);
}

TEST(CurrencyProfileTest, ReadFromTheLaneConfiguration) {
    testing::ScratchFolder root;
    const platform::LanePaths paths(root.Path().string());
    EXPECT_EQ(LoadCurrencyProfile(paths).currencyCode, "USD");  // no file

    std::filesystem::create_directories(root.Path() / "c" / "Kel Lane" / "Config");
    const std::string file =
        (root.Path() / "c" / "Kel Lane" / "Config" / "LaneConfig.ini").string();
    testing::WriteText(file, "[Lane]\r\nCash_Currency_Type=1\r\n");
    EXPECT_EQ(LoadCurrencyProfile(paths).currencyCode, "USD");  // not in "Common"
    testing::WriteText(file, "[common]\r\n cash_currency_type = 3 ; Canada\r\n");
    EXPECT_EQ(LoadCurrencyProfile(paths).currencyCode, "CAD");
    testing::WriteText(file, "[Common]\r\nCash_Currency_Type=\r\n");
    EXPECT_EQ(LoadCurrencyProfile(paths).currencyCode, "USD");
}

}  // namespace
}  // namespace lane::monitor
