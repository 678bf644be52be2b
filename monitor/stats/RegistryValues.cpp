// Typed readers and writers of the monitor's registry values, in their text forms.
#include "monitor/stats/RegistryValues.h"

#include <cctype>
#include <cstdio>

namespace lane::monitor {

namespace {

bool EqualsIgnoringCase(const std::string& a, const std::string& b) {
    if (a.size() != b.size()) {
        return false;
    }
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (std::toupper(static_cast<unsigned char>(a[i])) !=
            std::toupper(static_cast<unsigned char>(b[i]))) {
            return false;
        }
    }
    return true;
}

}  // namespace

RegistryKeyReader::RegistryKeyReader(const platform::Registry& registry, const std::string& key) {
    if (registry.ReadKey(key, values_) != 0) {
        values_.clear();
    }
}

const std::string* RegistryKeyReader::Text(const char* name) const {
    for (const auto& [valueName, value] : values_) {
        if (EqualsIgnoringCase(valueName, name)) {
            if (value.type != platform::RegValue::Type::String ||
                value.text.size() > kRegistryTextMax) {
                return nullptr;
            }
            return &value.text;
        }
    }
    return nullptr;
}

void RegistryKeyReader::ReadDword(const char* name, std::uint32_t& field) const {
    for (const auto& [valueName, value] : values_) {
        if (EqualsIgnoringCase(valueName, name)) {
            if (value.type == platform::RegValue::Type::Dword) {
                field = value.dword;
            }
            return;
        }
    }
}

void RegistryKeyReader::ReadText(const char* name, std::string& field) const {
    if (const std::string* text = Text(name)) {
        field = *text;
    }
}

void RegistryKeyReader::ReadNumber(const char* name, std::uint32_t& field) const {
    const std::string* text = Text(name);
    unsigned value = 0;
    if (text != nullptr && std::sscanf(text->c_str(), "%u", &value) == 1) {
        field = value;
    }
}

void RegistryKeyReader::ReadBoolean(const char* name, bool& field) const {
    if (const std::string* text = Text(name)) {
        field = EqualsIgnoringCase(*text, "TRUE");
    }
}

void RegistryKeyWriter::WriteDword(const char* name, std::uint32_t value) {
    batch_.SetDword(key_, name, value);
}

void RegistryKeyWriter::WriteText(const char* name, const std::string& value) {
    batch_.SetString(key_, name, value);
}

void RegistryKeyWriter::WriteNumber(const char* name, std::uint32_t value) {
    batch_.SetString(key_, name, std::to_string(value));
}

void RegistryKeyWriter::WriteBoolean(const char* name, bool value) {
    batch_.SetString(key_, name, value ? "true" : "false");
}

}  // namespace lane::monitor
