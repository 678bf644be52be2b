// CurrencyProfile: the lane's currency, and how its country writes amounts, for the cash decoders.
#include "monitor/decoders/CurrencyProfile.h"

#include "platform/IniFile.h"

namespace lane::monitor {

namespace {

struct CurrencyChoice {
    char first;
    const char* code;
    std::uint16_t localeId;
};

constexpr CurrencyChoice kChoices[] = {
    {'1', "GBP", platform::kLocaleEnglishUnitedKingdom},
    {'2', "EUR", platform::kLocaleFrenchFrance},
    {'3', "CAD", platform::kLocaleEnglishCanada},
    {'4', "AUD", platform::kLocaleEnglishAustralia},
};
constexpr CurrencyChoice kDefaultChoice = {'0', "USD", platform::kLocaleEnglishUnitedStates};

const CurrencyChoice& Choose(char first) {
    for (const CurrencyChoice& choice : kChoices) {
        if (choice.first == first) {
            return choice;
        }
    }
    return kDefaultChoice;
}

}  // namespace

CurrencyProfile MakeCurrencyProfile(const std::string& configuredValue, MonetaryQuery query) {
    const char first = configuredValue.empty() ? kDefaultChoice.first : configuredValue.front();
    const CurrencyChoice& choice = Choose(first);
    CurrencyProfile profile;
    profile.currencyCode = choice.code;
    profile.localeId = choice.localeId;
    platform::MonetaryTexts texts;
    // A locale that cannot be read gives empty texts; amounts are then written without them.
    (void)query(choice.localeId, texts);
    profile.currencySymbol = texts.currencySymbol;
    profile.decimalSeparator = texts.decimalSeparator;
    profile.thousandsSeparator = texts.thousandsSeparator;
    return profile;
}

CurrencyProfile LoadCurrencyProfile(const platform::LanePaths& paths, MonetaryQuery query) {
    const std::string value = platform::GetPrivateProfileString(
        kCurrencySection, kCurrencyKey, "", kCurrencyValueBufferSize, paths.Map(kLaneConfigFile));
    return MakeCurrencyProfile(value, query);
}

}  // namespace lane::monitor
