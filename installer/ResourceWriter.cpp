// Writes one embedded resource to a file, logging each step.
#include "installer/ResourceWriter.h"

#include <string_view>

#include "installer/InstallerText.h"

namespace lane::quillan {

bool WriteResourceToFile(platform::ExecutableResources& resources, CInstallerFiles& files,
                         CInstallerLog& log, const ResourceFile& target) {
    const char* path = target.path;
    platform::ResourceInfo info;
    std::uint32_t error = resources.FindResource(target.id, target.typeName, info);
    if (error != 0) {
        log.Log(FormatText("ERROR: FindResource() failed for %s with %lu ", path,
                           static_cast<unsigned long>(error)));
        return false;
    }
    log.Log(FormatText("Found resource %s...", path));
    platform::ResourceData data;
    error = resources.LoadResource(info, data);
    if (error != 0) {
        log.Log(FormatText("ERROR: LoadResource() failed for %s with %lu", path,
                           static_cast<unsigned long>(error)));
        return false;
    }
    log.Log(FormatText("Loaded resource %s...", path));
    const unsigned char* bytes = nullptr;
    std::size_t size = 0;
    error = resources.LockResource(data, bytes, size);
    if (error != 0) {
        log.Log(FormatText("ERROR: LockResource() failed for %s with %lu", path,
                           static_cast<unsigned long>(error)));
        return false;
    }
    log.Log(FormatText("Attached to resource %s...", path));
    error = files.WriteFile(path, std::string_view(reinterpret_cast<const char*>(bytes), size));
    if (error != 0) {
        log.Log(FormatText("ERROR: Failed to write %s to disk : %lu", path,
                           static_cast<unsigned long>(error)));
        return false;
    }
    log.Log(FormatText("Updated %s...", path));
    return true;
}

}  // namespace lane::quillan
