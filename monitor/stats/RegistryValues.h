// Typed readers and writers of the monitor's registry values, in their text forms.
#pragma once

#include <cstddef>
#include <cstdint>
#include <ctime>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

#include "monitor/stats/DeviceStatus.h"
#include "platform/Registry.h"

namespace lane::monitor {

// Longest text a read accepts: 260 characters (a 261-byte buffer with its terminating zero).
inline constexpr std::size_t kRegistryTextMax = 260;

// The text forms, one pair per kind. A parser returns false, leaving `value` alone, when the
// text does not read as its kind.
// Number: "%u" as the C library scans it (blanks, a sign, decimal digits, taken modulo 2^32).
std::string NumberText(std::uint32_t value);
[[nodiscard]] bool ParseNumberText(std::string_view text, std::uint32_t& value);
// Boolean: "true" or "false"; reads true exactly when the text is "TRUE" ignoring case.
const char* BooleanText(bool value);
bool BooleanFromText(std::string_view text);
// Time: written "%Y-%m-%d %H:%M:%S" in local time (RegistryTimeText); read with
// "%d-%d-%d %d:%d:%d" as a local time whose daylight saving the system decides. A date or
// time of day out of its range does not read.
[[nodiscard]] bool ParseTimeText(std::string_view text, std::time_t& value);
// State: only the texts of Ready to Empty read back, compared exactly.
[[nodiscard]] bool ParseStateText(std::string_view text, DeviceState& value);
// Colour: "Red", "Yellow", "Green", compared exactly.
[[nodiscard]] bool ParseColourText(std::string_view text, StatusColour& value);

// The values of one key, read in one pass when built. Names compare ignoring case. Each Read
// returns true when it replaced `field`; a value that is missing, of another type, longer than
// kRegistryTextMax or not of its kind leaves `field` unchanged.
class RegistryKeyReader {
  public:
    RegistryKeyReader(const platform::Registry& registry, const std::string& key);

    // The registry's result for the key: 0, or 2 when it does not exist, ...
    std::uint32_t Result() const { return result_; }
    std::size_t Count() const { return values_.size(); }

    bool ReadDword(std::string_view name, std::uint32_t& field) const;
    bool ReadText(std::string_view name, std::string& field) const;
    bool ReadNumber(std::string_view name, std::uint32_t& field) const;
    bool ReadBoolean(std::string_view name, bool& field) const;
    bool ReadTime(std::string_view name, std::time_t& field) const;
    bool ReadState(std::string_view name, DeviceState& field) const;
    bool ReadColour(std::string_view name, StatusColour& field) const;

    // The text of a value, or null when it is missing, not text or too long.
    const std::string* Text(std::string_view name) const;

  private:
    const platform::RegValue* Find(std::string_view name) const;

    std::uint32_t result_ = 0;
    std::vector<std::pair<std::string, platform::RegValue>> values_;
    std::unordered_map<std::string, std::size_t> index_;  // lower-case name: position
};

// Collects the values of one key into a batch for one crash-safe write.
class RegistryKeyWriter {
  public:
    RegistryKeyWriter(platform::RegBatch& batch, std::string key)
        : batch_(batch), key_(std::move(key)) {}

    void WriteDword(std::string_view name, std::uint32_t value);
    void WriteText(std::string_view name, const std::string& value);
    void WriteNumber(std::string_view name, std::uint32_t value);
    void WriteBoolean(std::string_view name, bool value);
    void WriteTime(std::string_view name, std::time_t value);
    void WriteState(std::string_view name, DeviceState value);
    void WriteColour(std::string_view name, StatusColour value);

  private:
    platform::RegBatch& batch_;
    std::string key_;
};

}  // namespace lane::monitor
