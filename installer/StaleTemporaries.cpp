// Finds and removes the temporary files of the installer's targets left by a run that ended early.
#include "installer/StaleTemporaries.h"

#include <map>
#include <utility>

#include "installer/InstallerText.h"
#include "installer/UpdatePackage.h"
#include "installer/UtilityPlacement.h"

namespace lane::quillan {

namespace {

// The marker the file services put between a target's name and the writer's process id.
constexpr std::string_view kTemporaryMarker = ".~";
// A process id has at most this many digits.
constexpr std::size_t kMostIdDigits = 10;

char LowerAscii(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

bool StartsWithIgnoringCase(std::string_view text, std::string_view head) {
    if (text.size() < head.size()) {
        return false;
    }
    for (std::size_t i = 0; i < head.size(); ++i) {
        if (LowerAscii(text[i]) != LowerAscii(head[i])) {
            return false;
        }
    }
    return true;
}

// "c:\folder\name" split at its last backslash.
std::pair<std::string, std::string> SplitPath(const std::string& path) {
    const std::size_t slash = path.rfind('\\');
    if (slash == std::string::npos) {
        return {std::string(), path};
    }
    return {path.substr(0, slash), path.substr(slash + 1)};
}

// The folders of the targets, each with the names of the targets in it; folders that differ
// only in case are one folder.
std::map<std::string, std::vector<std::string>> TargetsByFolder() {
    std::map<std::string, std::vector<std::string>> folders;
    for (const std::string& target : InstallerTargets()) {
        auto [folder, name] = SplitPath(target);
        std::string key;
        for (const char c : folder) {
            key.push_back(LowerAscii(c));
        }
        folders[key].push_back(name);
    }
    return folders;
}

}  // namespace

std::optional<long> TemporaryWriter(std::string_view entry, std::string_view target) {
    if (target.empty() || !StartsWithIgnoringCase(entry, target)) {
        return std::nullopt;
    }
    std::string_view rest = entry.substr(target.size());
    if (rest.substr(0, kTemporaryMarker.size()) != kTemporaryMarker) {
        return std::nullopt;
    }
    rest.remove_prefix(kTemporaryMarker.size());
    if (!rest.empty() && rest.back() == '~') {
        rest.remove_suffix(1);
    }
    if (rest.empty() || rest.size() > kMostIdDigits) {
        return std::nullopt;
    }
    long id = 0;
    for (const char c : rest) {
        if (c < '0' || c > '9') {
            return std::nullopt;
        }
        id = id * 10 + (c - '0');
    }
    return id;
}

std::vector<std::string> InstallerTargets() {
    std::vector<std::string> targets;
    for (const UpdateKind kind : {UpdateKind::Update4, UpdateKind::Update3}) {
        for (const ResourceFile& file : UpdateFiles(kind)) {
            targets.emplace_back(file.path);
        }
    }
    for (const char* placed :
         {kLaneUtilityBackup, kNewUtilityBackup, kPlacedUtility, kPlacedUtilityCopy}) {
        targets.emplace_back(placed);
    }
    return targets;
}

void RemoveStaleTemporaries(CInstallerFiles& files, CInstallerLog& log,
                            const std::function<bool(long)>& processRunning) {
    for (const auto& [folder, names] : TargetsByFolder()) {
        std::vector<std::string> entries;
        if (files.ListFolder(folder, entries) != 0) {
            continue;  // a folder not there yet holds nothing of ours
        }
        for (const std::string& entry : entries) {
            for (const std::string& name : names) {
                const std::optional<long> writer = TemporaryWriter(entry, name);
                if (!writer || processRunning(*writer)) {
                    continue;
                }
                const std::string path = folder + "\\" + entry;
                const std::uint32_t error = files.DeleteFile(path);
                log.Log(error == 0 ? FormatText("Removed stale temporary file %s...", path.c_str())
                                   : FormatText("ERROR: Unable to remove stale temporary file %s "
                                                "with %lu",
                                                path.c_str(), static_cast<unsigned long>(error)));
                break;
            }
        }
    }
}

}  // namespace lane::quillan
