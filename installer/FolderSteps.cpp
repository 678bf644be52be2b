// Making sure of a folder, and deleting a file if present, with their log lines.
#include "installer/FolderSteps.h"

#include "installer/InstallerText.h"
#include "platform/SystemError.h"

namespace lane::quillan {

bool EnsureFolder(CInstallerFiles& files, CInstallerLog& log, const std::string& folder) {
    const std::uint32_t changeError = files.SetCurrentDirectory(folder);
    if (changeError == 0) {
        log.Log(FormatText("%s folder found...", folder.c_str()));
        return true;
    }
    if (changeError != platform::kErrorFileNotFound) {
        log.Log(FormatText("ERROR: SetCurrDirectory %s failed with %lu", folder.c_str(),
                           static_cast<unsigned long>(changeError)));
        return false;
    }
    const std::uint32_t createError = files.CreateDirectory(folder);
    if (createError != 0) {
        log.Log(FormatText("ERROR: CreateDirectory %s failed with %lu", folder.c_str(),
                           static_cast<unsigned long>(createError)));
        return false;
    }
    return true;
}

bool DeleteIfPresent(CInstallerFiles& files, CInstallerLog& log, const std::string& path) {
    std::uint32_t attributes = 0;
    if (files.GetFileAttributes(path, attributes) != 0) {
        return true;  // nothing to delete
    }
    if (files.SetFileAttributesNormal(path) != 0) {
        log.Log(FormatText("ERROR: Unable to change attributes %s: %s", path.c_str(),
                           log.LastInfoMessage().c_str()));
        return false;
    }
    if (files.DeleteFile(path) != 0) {
        log.Log(FormatText("ERROR: DeleteFile Failed %s: %s", path.c_str(),
                           log.LastInfoMessage().c_str()));
        return false;
    }
    return true;
}

}  // namespace lane::quillan
