// CurrencyProfile: the lane's currency, and how its country writes amounts, for the cash decoders.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "platform/LanePath.h"
#include "platform/Locale.h"

namespace lane::monitor {

// The lane software's configuration file and the key that chooses the currency.
inline constexpr const char* kLaneConfigFile = "C:\\Kel Lane\\Config\\LaneConfig.ini";
inline constexpr const char* kCurrencySection = "Common";
inline constexpr const char* kCurrencyKey = "Cash_Currency_Type";
// The read is bounded as the original's 20-character buffer was.
inline constexpr std::size_t kCurrencyValueBufferSize = 20;

struct CurrencyProfile {
    std::string currencyCode;  // "GBP", "EUR", "CAD", "AUD" or "USD"
    std::uint16_t localeId = 0;
    std::string currencySymbol;      // UTF-8, at most platform::kCurrencySymbolMax bytes
    std::string decimalSeparator;    // UTF-8, at most platform::kMonetarySeparatorMax bytes
    std::string thousandsSeparator;  // UTF-8, at most platform::kMonetarySeparatorMax bytes
};

// Asks the platform for a locale's monetary texts; tests pass a failing one.
using MonetaryQuery = std::uint32_t (*)(std::uint16_t localeId, platform::MonetaryTexts& texts);

// The profile for a "Cash_Currency_Type" value: only its first character counts ('1' GBP,
// '2' EUR, '3' CAD, '4' AUD, anything else, or nothing, USD). The symbol and separators come
// from `query`; a locale that cannot be read leaves them empty, and the monitor goes on.
CurrencyProfile MakeCurrencyProfile(const std::string& configuredValue,
                                    MonetaryQuery query = platform::GetMonetaryTexts);

// The profile of this lane: the value read from the lane's configuration file (an empty text
// when the file, the section or the key is missing).
CurrencyProfile LoadCurrencyProfile(const platform::LanePaths& paths,
                                    MonetaryQuery query = platform::GetMonetaryTexts);

}  // namespace lane::monitor
