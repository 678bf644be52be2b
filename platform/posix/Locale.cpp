// Locale queries over the system's locales (newlocale and localeconv of the monetary category).
#include "platform/Locale.h"

#include <locale.h>
#include <clocale>

#include <mutex>

namespace lane::platform {

namespace {

struct LocaleName {
    std::uint16_t id;
    const char* name;
};

constexpr LocaleName kLocaleNames[] = {
    {kLocaleEnglishUnitedStates, "en_US"}, {kLocaleEnglishUnitedKingdom, "en_GB"},
    {kLocaleFrenchFrance, "fr_FR"},        {kLocaleEnglishCanada, "en_CA"},
    {kLocaleEnglishAustralia, "en_AU"},
};

// Our files are UTF-8, so the UTF-8 form of a locale is asked for first.
constexpr const char* kCharsetSuffixes[] = {".UTF-8", ".utf8", ""};

// localeconv hands out one structure per process; the copies are made under this lock.
std::mutex& LocaleconvLock() {
    static std::mutex lock;
    return lock;
}

locale_t LoadMonetaryLocale(const std::string& name) {
    for (const char* suffix : kCharsetSuffixes) {
        const std::string full = name + suffix;
        locale_t loaded = ::newlocale(LC_MONETARY_MASK | LC_CTYPE_MASK, full.c_str(), nullptr);
        if (loaded != nullptr) {
            return loaded;
        }
    }
    return nullptr;
}

// Copies `text` when it fits in `limit` bytes; otherwise leaves `field` empty.
bool CopyBounded(const char* text, std::size_t limit, std::string& field) {
    const std::string value = text != nullptr ? text : "";
    if (value.size() > limit) {
        field.clear();
        return false;
    }
    field = value;
    return true;
}

}  // namespace

std::uint32_t GetMonetaryTextsByName(const std::string& localeName, MonetaryTexts& texts) {
    texts = MonetaryTexts{};
    locale_t loaded = LoadMonetaryLocale(localeName);
    if (loaded == nullptr) {
        return kLocaleNotInstalled;
    }
    bool fits = true;
    {
        std::lock_guard<std::mutex> lock(LocaleconvLock());
        const locale_t previous = ::uselocale(loaded);
        const struct lconv* conventions = std::localeconv();
        fits =
            CopyBounded(conventions->currency_symbol, kCurrencySymbolMax, texts.currencySymbol) &&
            fits;
        fits = CopyBounded(conventions->mon_decimal_point, kMonetarySeparatorMax,
                           texts.decimalSeparator) &&
               fits;
        fits = CopyBounded(conventions->mon_thousands_sep, kMonetarySeparatorMax,
                           texts.thousandsSeparator) &&
               fits;
        ::uselocale(previous);
    }
    ::freelocale(loaded);
    return fits ? 0 : kLocaleTextTooLong;
}

std::uint32_t GetMonetaryTexts(std::uint16_t localeId, MonetaryTexts& texts) {
    for (const LocaleName& entry : kLocaleNames) {
        if (entry.id == localeId) {
            return GetMonetaryTextsByName(entry.name, texts);
        }
    }
    texts = MonetaryTexts{};
    return kLocaleUnknownId;
}

}  // namespace lane::platform
