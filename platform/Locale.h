// Locale queries: the monetary texts (currency symbol and separators) of a Windows locale id.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace lane::platform {

// Windows locale identifiers of the lanes' five currencies.
inline constexpr std::uint16_t kLocaleEnglishUnitedStates = 0x0409;
inline constexpr std::uint16_t kLocaleEnglishUnitedKingdom = 0x0809;
inline constexpr std::uint16_t kLocaleFrenchFrance = 0x040C;
inline constexpr std::uint16_t kLocaleEnglishCanada = 0x1009;
inline constexpr std::uint16_t kLocaleEnglishAustralia = 0x0C09;

// Longest texts, in bytes, that the fields of the currency profile hold (as the original's
// buffers of 7 and 5 characters with their terminators).
inline constexpr std::size_t kCurrencySymbolMax = 6;
inline constexpr std::size_t kMonetarySeparatorMax = 4;

// The locale's local currency symbol, monetary decimal separator and monetary thousands
// separator, as UTF-8 texts.
struct MonetaryTexts {
    std::string currencySymbol;
    std::string decimalSeparator;
    std::string thousandsSeparator;
};

inline constexpr std::uint32_t kLocaleUnknownId = 1;     // no locale is known for the id
inline constexpr std::uint32_t kLocaleNotInstalled = 2;  // the system cannot load the locale
inline constexpr std::uint32_t kLocaleTextTooLong = 3;   // a text does not fit its field

// Fills `texts` from the system's locale data for `localeId`. 0 on success. On a failure the
// texts that could not be read are empty (a text longer than its field is left empty too) and
// the code of the first failure is returned.
[[nodiscard]] std::uint32_t GetMonetaryTexts(std::uint16_t localeId, MonetaryTexts& texts);

// The same for a locale named as the system names it ("en_US"), for tests and tools.
[[nodiscard]] std::uint32_t GetMonetaryTextsByName(const std::string& localeName,
                                                   MonetaryTexts& texts);

}  // namespace lane::platform
