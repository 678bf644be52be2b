// The registry key tree, name rules, UTF-16 conversion and the ".reg" writer.
#include "platform/RegText.h"

#include <cstdint>
#include <cstdio>
#include <utility>

namespace lane::platform {

namespace {

inline constexpr std::size_t kHexLineLimit = 76;  // regedit wraps hex data near 80 columns
inline constexpr char16_t kReplacementCharacter = 0xFFFD;
inline constexpr char16_t kEscapedByteBase = 0xDC00;

bool HasLineEnd(std::string_view text) {
    return text.find('\n') != std::string_view::npos || text.find('\r') != std::string_view::npos;
}

void AppendQuoted(std::string& line, std::string_view text) {
    line += '"';
    for (char c : text) {
        if (c == '\\' || c == '"') {
            line += '\\';
        }
        line += c;
    }
    line += '"';
}

// Length of the valid UTF-8 sequence at `text[i]` and its code point; 0 when it is not valid.
std::size_t DecodeUtf8(std::string_view text, std::size_t i, char32_t& codePoint) {
    const auto byte = [&](std::size_t k) { return static_cast<unsigned char>(text[k]); };
    const unsigned char lead = byte(i);
    std::size_t length = 0;
    char32_t minimum = 0;
    if (lead < 0x80) {
        codePoint = lead;
        return 1;
    }
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
        codePoint = lead & 0x1F;
        minimum = 0x80;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        codePoint = lead & 0x0F;
        minimum = 0x800;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        codePoint = lead & 0x07;
        minimum = 0x10000;
    } else {
        return 0;
    }
    if (text.size() - i < length) {
        return 0;
    }
    for (std::size_t k = 1; k < length; ++k) {
        if ((byte(i + k) & 0xC0) != 0x80) {
            return 0;
        }
        codePoint = (codePoint << 6) | (byte(i + k) & 0x3F);
    }
    const bool surrogate = codePoint >= 0xD800 && codePoint <= 0xDFFF;
    if (codePoint < minimum || codePoint > 0x10FFFF || surrogate) {
        return 0;
    }
    return length;
}

void AppendUtf8(std::string& out, char32_t codePoint) {
    if (codePoint < 0x80) {
        out += static_cast<char>(codePoint);
    } else if (codePoint < 0x800) {
        out += static_cast<char>(0xC0 | (codePoint >> 6));
        out += static_cast<char>(0x80 | (codePoint & 0x3F));
    } else if (codePoint < 0x10000) {
        out += static_cast<char>(0xE0 | (codePoint >> 12));
        out += static_cast<char>(0x80 | ((codePoint >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (codePoint & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (codePoint >> 18));
        out += static_cast<char>(0x80 | ((codePoint >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((codePoint >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (codePoint & 0x3F));
    }
}

// A string with line ends cannot stand in quotes: it is written as hex(1), the REG_SZ type as
// UTF-16LE bytes with the terminating zero, wrapped as regedit wraps it.
std::string HexStringData(std::string_view prefix, std::string_view text) {
    std::u16string units = Utf8ToUtf16(text);
    units.push_back(u'\0');
    std::string data = "hex(1):";
    std::size_t lineLength = prefix.size() + data.size();
    for (std::size_t i = 0; i < units.size(); ++i) {
        for (int half = 0; half < 2; ++half) {
            const unsigned byte = half == 0 ? (units[i] & 0xFFu) : (units[i] >> 8);
            const bool last = i + 1 == units.size() && half == 1;
            char item[4];
            std::snprintf(item, sizeof item, "%02x", byte);
            data += item;
            lineLength += 2;
            if (last) {
                break;
            }
            data += ',';
            ++lineLength;
            if (lineLength >= kHexLineLimit) {
                data += "\\\r\n  ";
                lineLength = 2;
            }
        }
    }
    return data;
}

void AppendKey(std::string& text, const RegKey& key, std::vector<std::string>& path, bool isRoot) {
    if (!isRoot || !key.Values().empty()) {
        text += '[';
        text += kRegRootName;
        for (const auto& name : path) {
            text += '\\';
            text += name;
        }
        text += "]\r\n";
        for (const auto& value : key.Values()) {
            text += RegValueLine(value);
            text += "\r\n";
        }
        text += "\r\n";
    }
    for (const auto& entry : key.Subkeys()) {
        path.push_back(entry.second->Name());
        AppendKey(text, *entry.second, path, false);
        path.pop_back();
    }
}

}  // namespace

std::string RegLowerCase(std::string_view text) {
    std::string lower(text);
    for (char& c : lower) {
        if (c >= 'A' && c <= 'Z') {
            c = static_cast<char>(c - 'A' + 'a');
        }
    }
    return lower;
}

bool SplitRegKeyPath(std::string_view key, std::vector<std::string>& names) {
    names.clear();
    if (HasLineEnd(key)) {
        return false;
    }
    std::size_t start = 0;
    while (start <= key.size()) {
        std::size_t end = key.find('\\', start);
        if (end == std::string_view::npos) {
            end = key.size();
        }
        if (end > start) {
            names.emplace_back(key.substr(start, end - start));
        }
        start = end + 1;
    }
    return true;
}

bool IsValidRegValueName(std::string_view name) {
    return !HasLineEnd(name);
}

std::string JoinRegKeyPath(const std::vector<std::string>& names) {
    std::string path;
    for (const auto& name : names) {
        if (!path.empty()) {
            path += '\\';
        }
        path += name;
    }
    return path;
}

std::u16string Utf8ToUtf16(std::string_view text) {
    std::u16string units;
    units.reserve(text.size());
    std::size_t i = 0;
    while (i < text.size()) {
        char32_t codePoint = 0;
        const std::size_t length = DecodeUtf8(text, i, codePoint);
        if (length == 0) {
            units.push_back(
                static_cast<char16_t>(kEscapedByteBase + static_cast<unsigned char>(text[i])));
            ++i;
            continue;
        }
        if (codePoint >= 0x10000) {
            codePoint -= 0x10000;
            units.push_back(static_cast<char16_t>(0xD800 + (codePoint >> 10)));
            units.push_back(static_cast<char16_t>(0xDC00 + (codePoint & 0x3FF)));
        } else {
            units.push_back(static_cast<char16_t>(codePoint));
        }
        i += length;
    }
    return units;
}

std::string Utf16ToUtf8(std::u16string_view text) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char16_t unit = text[i];
        const bool high = unit >= 0xD800 && unit <= 0xDBFF;
        if (high && i + 1 < text.size() && text[i + 1] >= 0xDC00 && text[i + 1] <= 0xDFFF) {
            AppendUtf8(out, 0x10000 + ((static_cast<char32_t>(unit) - 0xD800) << 10) +
                                (text[i + 1] - 0xDC00));
            ++i;
        } else if (unit >= kEscapedByteBase + 0x80 && unit <= kEscapedByteBase + 0xFF) {
            out += static_cast<char>(unit - kEscapedByteBase);
        } else if (unit >= 0xD800 && unit <= 0xDFFF) {
            AppendUtf8(out, kReplacementCharacter);
        } else {
            AppendUtf8(out, unit);
        }
    }
    return out;
}

const RegTextValue* RegKey::FindValue(std::string_view name) const {
    const auto found = valueIndex_.find(RegLowerCase(name));
    return found == valueIndex_.end() ? nullptr : &values_[found->second];
}

void RegKey::SetValue(RegTextValue value) {
    const std::string lower = RegLowerCase(value.name);
    const auto found = valueIndex_.find(lower);
    if (found != valueIndex_.end()) {
        RegTextValue& stored = values_[found->second];
        stored.value = std::move(value.value);
        stored.verbatim = std::move(value.verbatim);
        return;
    }
    valueIndex_.emplace(lower, values_.size());
    values_.push_back(std::move(value));
}

bool RegKey::DeleteValue(std::string_view name) {
    const auto found = valueIndex_.find(RegLowerCase(name));
    if (found == valueIndex_.end()) {
        return false;
    }
    values_.erase(values_.begin() + static_cast<std::ptrdiff_t>(found->second));
    valueIndex_.clear();
    for (std::size_t i = 0; i < values_.size(); ++i) {
        valueIndex_.emplace(RegLowerCase(values_[i].name), i);
    }
    return true;
}

RegKey* RegKey::FindSubkey(std::string_view name) const {
    const auto found = subkeys_.find(RegLowerCase(name));
    return found == subkeys_.end() ? nullptr : found->second.get();
}

RegKey& RegKey::CreateSubkey(const std::string& name) {
    auto& slot = subkeys_[RegLowerCase(name)];
    if (!slot) {
        slot = std::make_unique<RegKey>(name);
    }
    return *slot;
}

bool RegKey::DeleteSubkey(std::string_view name) {
    return subkeys_.erase(RegLowerCase(name)) > 0;
}

RegKey* RegHive::Find(const std::vector<std::string>& path) {
    RegKey* key = &root_;
    for (const auto& name : path) {
        key = key->FindSubkey(name);
        if (key == nullptr) {
            return nullptr;
        }
    }
    return key;
}

const RegKey* RegHive::Find(const std::vector<std::string>& path) const {
    return const_cast<RegHive*>(this)->Find(path);
}

RegKey& RegHive::Create(const std::vector<std::string>& path) {
    RegKey* key = &root_;
    for (const auto& name : path) {
        key = &key->CreateSubkey(name);
    }
    return *key;
}

bool RegHive::Delete(const std::vector<std::string>& path) {
    if (path.empty()) {
        return false;
    }
    RegKey* parent = Find(std::vector<std::string>(path.begin(), path.end() - 1));
    return parent != nullptr && parent->DeleteSubkey(path.back());
}

std::string RegValueLine(const RegTextValue& value) {
    std::string line;
    if (value.name.empty()) {
        line.push_back('@');
    } else {
        AppendQuoted(line, value.name);
    }
    line += '=';
    if (value.IsVerbatim()) {
        line += value.verbatim;
    } else if (value.value.type == RegValue::Type::Dword) {
        char data[16];
        std::snprintf(data, sizeof data, "dword:%08x", static_cast<unsigned>(value.value.dword));
        line += data;
    } else if (HasLineEnd(value.value.text)) {
        line += HexStringData(line, value.value.text);
    } else {
        AppendQuoted(line, value.value.text);
    }
    return line;
}

std::string WriteRegText(const RegHive& hive) {
    std::string text(kRegFileHeader);
    text += "\r\n\r\n";
    std::vector<std::string> path;
    AppendKey(text, hive.Root(), path, true);
    return text;
}

std::string WriteRegText(const RegKey& key, const std::vector<std::string>& path) {
    std::string text(kRegFileHeader);
    text += "\r\n\r\n";
    std::vector<std::string> names = path;
    AppendKey(text, key, names, names.empty());
    return text;
}

}  // namespace lane::platform
