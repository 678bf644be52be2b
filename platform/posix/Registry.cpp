// The registry stand-in: every call reads the ".reg" hive from disk under a shared flock; every
// change is one read-modify-write under an exclusive flock with a crash-safe replacement.
#include "platform/Registry.h"

#include <cerrno>
#include <filesystem>
#include <functional>
#include <system_error>

#include "platform/RegText.h"
#include "platform/SystemError.h"
#include "platform/posix/HostFile.h"

namespace lane::platform {

namespace {

inline constexpr std::uint32_t kErrorInvalidData = 13;  // the hive cannot be read or parsed
inline constexpr const char* kRegistryFolder = "registry";
inline constexpr const char* kHiveFileName = "HKEY_LOCAL_MACHINE.reg";
inline constexpr const char* kDroppedSuffix = ".dropped";
inline constexpr const char* kLineEnd = "\r\n";  // as the hive's own

using posix::FileLock;

std::string LockPathOf(const std::string& hiveFile) {
    return hiveFile + ".lock";
}
std::string TempPathOf(const std::string& hiveFile) {
    return hiveFile + ".tmp";
}

// Reads and parses the hive; a missing hive (or registry folder) is an empty hive.
std::uint32_t ReadHive(const std::string& hiveFile, RegHive& hive, std::string& bytes,
                       std::vector<RegSkippedStatement>* skipped = nullptr) {
    const int error = posix::ReadWholeFile(hiveFile, bytes);
    if (error == ENOENT) {
        bytes.clear();
        return kErrorSuccess;
    }
    if (error != 0) {
        return kErrorInvalidData;
    }
    return ParseRegHive(bytes, hive, skipped) == RegTextStatus::Ok ? kErrorSuccess
                                                                   : kErrorInvalidData;
}

// Why a write of the hive failed, as a Windows number: the system's own reason (112 disk full,
// 223 file too large, 1117 device error, ...), except that something in the way of the hive or
// its folder (a file of the folder's name) is 5, the hive cannot be written there.
std::uint32_t WriteError(int errnoValue) {
    const std::uint32_t error = WindowsErrorFromErrno(errnoValue);
    switch (error) {
        case kErrorFileNotFound:
        case kErrorPathNotFound:
        case kErrorFileExists:
        case kErrorAlreadyExists:
            return kErrorAccessDenied;
        default:
            return error;
    }
}

// Appends the statements a rewrite leaves out to the side file, itself replaced crash-safely.
std::uint32_t KeepDropped(const std::string& hiveFile, const std::string& sideFile,
                          const std::vector<RegSkippedStatement>& dropped) {
    std::string text;
    const int readError = posix::ReadWholeFile(sideFile, text);
    if (readError != 0 && readError != ENOENT) {
        return WriteError(readError);
    }
    text += "; Statements of " + std::filesystem::path(hiveFile).filename().string() +
            " that could not be read, left out when it was rewritten:" + kLineEnd;
    for (const auto& statement : dropped) {
        text += "; line " + std::to_string(statement.line);
        if (!statement.section.empty()) {
            text += ", in " + statement.section;
        }
        text += kLineEnd + statement.text + kLineEnd;
    }
    text += kLineEnd;
    const int error = posix::ReplaceFile(sideFile, TempPathOf(sideFile), text);
    return error == 0 ? kErrorSuccess : WriteError(error);
}

std::uint32_t LoadHive(const std::string& hiveFile, RegHive& hive) {
    FileLock lock;
    // Without the lock file (no registry folder yet, a read-only folder) the read goes on: the
    // writers' rename already keeps a reader from seeing a torn hive.
    (void)lock.Acquire(LockPathOf(hiveFile), FileLock::Mode::Shared, true);
    std::string bytes;
    return ReadHive(hiveFile, hive, bytes);
}

bool ValidChange(const RegBatch::Change& change) {
    std::vector<std::string> path;
    return SplitRegKeyPath(change.key, path) && IsValidRegValueName(change.name) &&
           !(change.kind == RegBatch::Change::Kind::DeleteKey && path.empty());
}

void ApplyChange(RegHive& hive, const RegBatch::Change& change) {
    std::vector<std::string> path;
    (void)SplitRegKeyPath(change.key, path);  // checked by ValidChange
    switch (change.kind) {
        case RegBatch::Change::Kind::CreateKey:
            hive.Create(path);
            break;
        case RegBatch::Change::Kind::SetValue:
            hive.Create(path).SetValue(RegTextValue{change.name, change.value, {}});
            break;
        case RegBatch::Change::Kind::DeleteValue:
            if (RegKey* key = hive.Find(path)) {
                key->DeleteValue(change.name);
            }
            break;
        case RegBatch::Change::Kind::DeleteKey:
            hive.Delete(path);
            break;
    }
}

}  // namespace

void RegBatch::CreateKey(const std::string& key) {
    changes_.push_back(Change{Change::Kind::CreateKey, key, {}, {}});
}

void RegBatch::SetString(const std::string& key, const std::string& name, const std::string& text) {
    changes_.push_back(Change{Change::Kind::SetValue, key, name, RegValue::String(text)});
}

void RegBatch::SetDword(const std::string& key, const std::string& name, std::uint32_t value) {
    changes_.push_back(Change{Change::Kind::SetValue, key, name, RegValue::Dword(value)});
}

void RegBatch::DeleteValue(const std::string& key, const std::string& name) {
    changes_.push_back(Change{Change::Kind::DeleteValue, key, name, {}});
}

void RegBatch::DeleteKey(const std::string& key) {
    changes_.push_back(Change{Change::Kind::DeleteKey, key, {}, {}});
}

Registry::Registry(std::string hiveFile) : hiveFile_(std::move(hiveFile)) {}

std::string Registry::DefaultHivePath(const LanePaths& paths) {
    return paths.Internal(kRegistryFolder, kHiveFileName);
}

std::string Registry::DroppedFilePath() const {
    return hiveFile_ + kDroppedSuffix;
}

std::uint32_t Registry::Snapshot(RegHive& hive) const {
    hive = RegHive();
    return LoadHive(hiveFile_, hive);
}

// One read-modify-write: `change` edits the hive and returns 0 to have it written, or the
// result to return without writing. A hive that comes out unchanged is not rewritten.
std::uint32_t Registry::Modify(const std::function<std::uint32_t(RegHive&)>& change) {
    const std::filesystem::path folder = std::filesystem::path(hiveFile_).parent_path();
    std::error_code error;
    if (!folder.empty()) {
        std::filesystem::create_directories(folder, error);
        if (error) {
            return WriteError(error.value());
        }
    }
    FileLock lock;
    const int lockError = lock.Acquire(LockPathOf(hiveFile_), FileLock::Mode::Exclusive, true);
    if (lockError != 0) {
        return WriteError(lockError);
    }
    RegHive hive;
    std::string before;
    std::vector<RegSkippedStatement> skipped;
    const std::uint32_t readResult = ReadHive(hiveFile_, hive, before, &skipped);
    if (readResult != kErrorSuccess) {
        return readResult;  // never overwrite a hive that could not be read
    }
    const std::uint32_t changeResult = change(hive);
    if (changeResult != kErrorSuccess) {
        return changeResult;
    }
    const std::string after = WriteRegText(hive);
    if (after == before) {
        return kErrorSuccess;
    }
    if (!skipped.empty()) {
        const std::uint32_t kept = KeepDropped(hiveFile_, DroppedFilePath(), skipped);
        if (kept != kErrorSuccess) {
            return kept;  // what the rewrite would lose has nowhere to go: leave the hive as it is
        }
    }
    const int replaceError = posix::ReplaceFile(hiveFile_, TempPathOf(hiveFile_), after);
    if (replaceError != 0) {
        return WriteError(replaceError);
    }
    if (!skipped.empty() && droppedNotice_) {
        droppedNotice_(skipped.size(), DroppedFilePath());
    }
    return kErrorSuccess;
}

namespace {

// Reads the hive as it is on disk and hands the key at `key` to `read` (null when the key is
// missing); `read` gives the call's result. Every reading call goes through here.
template <typename Read>
std::uint32_t ReadFromKey(const std::string& hiveFile, const std::string& key, Read read) {
    std::vector<std::string> path;
    if (!SplitRegKeyPath(key, path)) {
        return kErrorFileNotFound;
    }
    RegHive hive;
    const std::uint32_t result = LoadHive(hiveFile, hive);
    if (result != kErrorSuccess) {
        return result;
    }
    return read(hive.Find(path));
}

}  // namespace

std::uint32_t Registry::OpenKey(const std::string& key) const {
    return ReadFromKey(hiveFile_, key, [](const RegKey* found) {
        return found != nullptr ? kErrorSuccess : kErrorFileNotFound;
    });
}

std::uint32_t Registry::CreateKey(const std::string& key) {
    RegBatch batch;
    batch.CreateKey(key);
    return Apply(batch);
}

std::uint32_t Registry::QueryValue(const std::string& key, const std::string& name,
                                   RegValue& value) const {
    return ReadFromKey(hiveFile_, key, [&](const RegKey* found) {
        const RegTextValue* stored = found != nullptr ? found->FindValue(name) : nullptr;
        if (stored == nullptr) {
            return kErrorFileNotFound;
        }
        if (stored->IsVerbatim()) {
            return kErrorInvalidData;  // a type this stand-in does not read (hex(2), binary, ...)
        }
        value = stored->value;
        return kErrorSuccess;
    });
}

std::uint32_t Registry::SetValue(const std::string& key, const std::string& name,
                                 const RegValue& value) {
    RegBatch batch;
    if (value.type == RegValue::Type::Dword) {
        batch.SetDword(key, name, value.dword);
    } else {
        batch.SetString(key, name, value.text);
    }
    return Apply(batch);
}

std::uint32_t Registry::DeleteValue(const std::string& key, const std::string& name) {
    std::vector<std::string> path;
    if (!SplitRegKeyPath(key, path)) {
        return kErrorFileNotFound;
    }
    return Modify([&](RegHive& hive) -> std::uint32_t {
        RegKey* found = hive.Find(path);
        if (found == nullptr || !found->DeleteValue(name)) {
            return kErrorFileNotFound;
        }
        return kErrorSuccess;
    });
}

std::uint32_t Registry::DeleteKey(const std::string& key) {
    std::vector<std::string> path;
    if (!SplitRegKeyPath(key, path)) {
        return kErrorFileNotFound;
    }
    if (path.empty()) {
        return kErrorAccessDenied;  // HKEY_LOCAL_MACHINE itself cannot go
    }
    return Modify([&](RegHive& hive) -> std::uint32_t {
        return hive.Delete(path) ? kErrorSuccess : kErrorFileNotFound;
    });
}

std::uint32_t Registry::ReadKey(const std::string& key,
                                std::vector<std::pair<std::string, RegValue>>& values) const {
    values.clear();
    return ReadFromKey(hiveFile_, key, [&](const RegKey* found) {
        if (found == nullptr) {
            return kErrorFileNotFound;
        }
        values.reserve(found->Values().size());
        for (const auto& stored : found->Values()) {
            if (!stored.IsVerbatim()) {
                values.emplace_back(stored.name, stored.value);
            }
        }
        return kErrorSuccess;
    });
}

std::uint32_t Registry::ListSubkeys(const std::string& key, std::vector<std::string>& names) const {
    names.clear();
    return ReadFromKey(hiveFile_, key, [&](const RegKey* found) {
        if (found == nullptr) {
            return kErrorFileNotFound;
        }
        for (const auto& entry : found->Subkeys()) {
            names.push_back(entry.second->Name());
        }
        return kErrorSuccess;
    });
}

std::uint32_t Registry::Apply(const RegBatch& batch) {
    if (batch.Empty()) {
        return kErrorSuccess;
    }
    for (const auto& change : batch.Changes()) {
        if (!ValidChange(change)) {
            return kErrorInvalidParameter;
        }
    }
    return Modify([&](RegHive& hive) -> std::uint32_t {
        for (const auto& change : batch.Changes()) {
            ApplyChange(hive, change);
        }
        return kErrorSuccess;
    });
}

}  // namespace lane::platform
