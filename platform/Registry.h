// The registry stand-in: HKEY_LOCAL_MACHINE as a text hive in the Windows ".reg" export format.
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "platform/LanePath.h"

namespace lane::platform {

struct RegValue {
    enum class Type { String, Dword };
    Type type = Type::String;
    std::string text;         // REG_SZ
    std::uint32_t dword = 0;  // REG_DWORD

    static RegValue String(std::string value) {
        return RegValue{Type::String, std::move(value), 0};
    }
    static RegValue Dword(std::uint32_t value) { return RegValue{Type::Dword, {}, value}; }
};

// Changes collected by a caller and written by Registry::Apply in one crash-safe write.
class RegBatch {
  public:
    struct Change {
        enum class Kind { CreateKey, SetValue, DeleteValue, DeleteKey };
        Kind kind;
        std::string key;
        std::string name;
        RegValue value;
    };
    void CreateKey(const std::string& key);
    void SetString(const std::string& key, const std::string& name, const std::string& text);
    void SetDword(const std::string& key, const std::string& name, std::uint32_t value);
    void DeleteValue(const std::string& key, const std::string& name);
    void DeleteKey(const std::string& key);
    const std::vector<Change>& Changes() const { return changes_; }
    bool Empty() const { return changes_.empty(); }

  private:
    std::vector<Change> changes_;
};

// Key paths are below HKEY_LOCAL_MACHINE ("SOFTWARE\Quarnel\Tavrik"); key and value names
// compare ignoring case. Every call reads the hive as it is on disk now, under a shared advisory
// lock; every change rewrites it under an exclusive lock through a temporary file, a flush and a
// rename, so a reader sees the old or the new hive, never a torn one. Results are Windows error
// numbers: 0 success, 2 key or value not found, 5 hive not writable, 13 hive unreadable.
class Registry {
  public:
    explicit Registry(std::string hiveFile);
    // "<lane root>/registry/HKEY_LOCAL_MACHINE.reg".
    static std::string DefaultHivePath(const LanePaths& paths);

    const std::string& HiveFile() const { return hiveFile_; }

    [[nodiscard]] std::uint32_t OpenKey(const std::string& key) const;
    [[nodiscard]] std::uint32_t CreateKey(const std::string& key);
    [[nodiscard]] std::uint32_t QueryValue(const std::string& key, const std::string& name,
                                           RegValue& value) const;
    [[nodiscard]] std::uint32_t SetValue(const std::string& key, const std::string& name,
                                         const RegValue& value);
    [[nodiscard]] std::uint32_t DeleteValue(const std::string& key, const std::string& name);
    // Deletes the key with its subkeys.
    [[nodiscard]] std::uint32_t DeleteKey(const std::string& key);
    // The values of one key in hive order, read in one pass.
    [[nodiscard]] std::uint32_t ReadKey(
        const std::string& key, std::vector<std::pair<std::string, RegValue>>& values) const;
    // Direct subkey names of a key.
    [[nodiscard]] std::uint32_t ListSubkeys(const std::string& key,
                                            std::vector<std::string>& names) const;
    [[nodiscard]] std::uint32_t Apply(const RegBatch& batch);

  private:
    std::string hiveFile_;
};

}  // namespace lane::platform
