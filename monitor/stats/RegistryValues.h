// Typed readers and writers of the monitor's registry values, in their text forms.
#pragma once

#include <cstdint>
#include <string>

#include "platform/Registry.h"

namespace lane::monitor {

// Longest text a read accepts: 260 characters (a 261-byte buffer with its terminating zero).
inline constexpr std::size_t kRegistryTextMax = 260;

// Each reader leaves `field` unchanged when the value is missing, of another type, too long or
// does not scan; it reads from a key snapshot so a whole load costs one pass over the hive.
class RegistryKeyReader {
  public:
    RegistryKeyReader(const platform::Registry& registry, const std::string& key);

    void ReadDword(const char* name, std::uint32_t& field) const;
    void ReadText(const char* name, std::string& field) const;
    // "%u".
    void ReadNumber(const char* name, std::uint32_t& field) const;
    // True exactly when the text equals "TRUE" ignoring case.
    void ReadBoolean(const char* name, bool& field) const;

    // The text of a value, or null when missing, not text or too long.
    const std::string* Text(const char* name) const;

  private:
    std::vector<std::pair<std::string, platform::RegValue>> values_;
};

// Collects the values of one key for one crash-safe write.
class RegistryKeyWriter {
  public:
    RegistryKeyWriter(platform::RegBatch& batch, std::string key)
        : batch_(batch), key_(std::move(key)) {}

    void WriteDword(const char* name, std::uint32_t value);
    void WriteText(const char* name, const std::string& value);
    void WriteNumber(const char* name, std::uint32_t value);
    void WriteBoolean(const char* name, bool value);

  private:
    platform::RegBatch& batch_;
    std::string key_;
};

}  // namespace lane::monitor
