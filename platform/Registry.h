// The registry stand-in: HKEY_LOCAL_MACHINE as a text hive in the Windows ".reg" export format.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
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

class RegHive;

// Key paths are below HKEY_LOCAL_MACHINE ("SOFTWARE\Quarnel\Tavrik"); key and value names
// compare ignoring case. Every call reads the hive as it is on disk now, under a shared advisory
// lock; every change rewrites it under an exclusive lock through a temporary file, a flush and a
// rename, so a reader sees the old or the new hive, never a torn one. Results are Windows error
// numbers: 0 success, 2 key or value not found, 13 hive unreadable, and for a write that failed
// the system's reason (5 hive not writable, 112 disk full, ...).
//
// A hive edited by hand may hold statements the parser cannot use (a typing error, a stray
// line). A change rewrites the hive without them, so before it does, it appends them to the
// side file DroppedFilePath(), and tells the dropped-lines notice; when that file cannot be
// written, the change is not made.
class Registry {
  public:
    // Statements left out of the hive by a change, and the side file that keeps them.
    using DroppedNotice = std::function<void(std::size_t statements, const std::string& sideFile)>;

    explicit Registry(std::string hiveFile);
    // "<lane root>/registry/HKEY_LOCAL_MACHINE.reg".
    static std::string DefaultHivePath(const LanePaths& paths);

    const std::string& HiveFile() const { return hiveFile_; }
    // "<hive file>.dropped".
    std::string DroppedFilePath() const;
    // Set before the registry is shared between threads.
    void SetDroppedNotice(DroppedNotice notice) { droppedNotice_ = std::move(notice); }

    // The whole hive as it is on disk now, read once: for listings that walk many keys.
    [[nodiscard]] std::uint32_t Snapshot(RegHive& hive) const;

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
    [[nodiscard]] std::uint32_t Modify(const std::function<std::uint32_t(RegHive&)>& change);

    std::string hiveFile_;
    DroppedNotice droppedNotice_;
};

}  // namespace lane::platform
