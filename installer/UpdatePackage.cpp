// What an update does for a firmware version: the decision, and the files of each kind of update.
#include "installer/UpdatePackage.h"

#include "installer/InstallerText.h"

namespace lane::quillan {

namespace {

constexpr const char* kFolders[] = {
    "c:\\kel lane\\firmwareupdate",
    "c:\\firmwareupdate",
    "c:\\install\\misc",
};

constexpr ResourceFile kFiles4[] = {
    {"IDR_DELAY", 147, "c:\\kel lane\\firmwareupdate\\Tembo.exe"},
    {"IDR_FW_BAT", 161, "c:\\kel lane\\firmwareupdate\\UpdateProcess.bat"},
    {"IDR_SMFW", 170, "c:\\firmwareupdate\\SCv464.TSK"},
    {"IDR_SMFW", 170, "c:\\kel lane\\firmwareupdate\\SCv464.TSK"},
    {"IDR_MOXTEL", 154, "c:\\kel lane\\firmwareupdate\\Moxtel.exe"},
    {"IDR_MOXTEL", 154, "c:\\firmwareupdate\\Moxtel.exe"},
};

constexpr ResourceFile kFiles3[] = {
    {"IDR_DELAY", 147, "c:\\kel lane\\firmwareupdate\\Tembo.exe"},
    {"IDR_3FW_BAT", 172, "c:\\kel lane\\firmwareupdate\\UpdateProcess.bat"},
    {"IDR_3SMFW", 173, "c:\\firmwareupdate\\SCv353.TSK"},
    {"IDR_A3SMFW", 174, "c:\\firmwareupdate\\SCvA353.TSK"},
    {"IDR_3SMFW", 173, "c:\\kel lane\\firmwareupdate\\SCv353.TSK"},
    {"IDR_A3SMFW", 174, "c:\\kel lane\\firmwareupdate\\SCvA353.TSK"},
    {"IDR_MOXTEL", 154, "c:\\kel lane\\firmwareupdate\\Moxtel.exe"},
    {"IDR_MOXTEL", 154, "c:\\firmwareupdate\\Moxtel.exe"},
};

std::string SkipText(int version) {
    return FormatText(
        "Skipping the Security Controller Firmware update since the current version is %d.%2d or "
        "higher.",
        version / 100, version % 100);
}

}  // namespace

UpdateKind DecideUpdate(int version) {
    if (version >= kCurrent4Version) {
        return UpdateKind::SkipCurrent4;
    }
    if (version >= kFirst4Version) {
        return UpdateKind::Update4;
    }
    if (version >= kCurrent3Version) {
        return UpdateKind::SkipCurrent3;
    }
    return UpdateKind::Update3;
}

std::string SkipMessage(UpdateKind kind) {
    switch (kind) {
        case UpdateKind::SkipCurrent4:
            return SkipText(kCurrent4Version);
        case UpdateKind::SkipCurrent3:
            return SkipText(kCurrent3Version);
        case UpdateKind::Update4:
        case UpdateKind::Update3:
            break;
    }
    return {};
}

std::span<const char* const> UpdateFolders() {
    return kFolders;
}

std::span<const ResourceFile> UpdateFiles(UpdateKind kind) {
    if (kind == UpdateKind::Update4) {
        return kFiles4;
    }
    if (kind == UpdateKind::Update3) {
        return kFiles3;
    }
    return {};
}

}  // namespace lane::quillan
