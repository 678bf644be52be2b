// What an update does for a firmware version: the decision, and the files of each kind of update.
#pragma once

#include <span>
#include <string>

#include "installer/ResourceWriter.h"

namespace lane::quillan {

enum class UpdateKind {
    SkipCurrent4,  // 4.64 or higher: nothing to do
    Update4,       // 4.00 to 4.63: the 4.xx files
    SkipCurrent3,  // 3.53 to 3.99: nothing to do
    Update3,       // below 3.53, or unknown (0): the 3.xx files
};

// Versions at which the decision changes.
inline constexpr int kCurrent4Version = 464;
inline constexpr int kFirst4Version = 400;
inline constexpr int kCurrent3Version = 353;

[[nodiscard]] UpdateKind DecideUpdate(int version);
// "Skipping the Security Controller Firmware update since the current version is 4.64 or
// higher." (3.53 for the 3.xx skip); empty for the two updates.
[[nodiscard]] std::string SkipMessage(UpdateKind kind);

// The folders made sure of, in order.
std::span<const char* const> UpdateFolders();
// The resources an update writes, in order.
std::span<const ResourceFile> UpdateFiles(UpdateKind kind);

inline constexpr const char* kOldUtilityToDelete = "C:\\kel lane\\firmwareupdate\\moxtel.exe";
inline constexpr const char* kUpdateBatchFile = "c:\\kel lane\\firmwareupdate\\UpdateProcess.bat";

}  // namespace lane::quillan
