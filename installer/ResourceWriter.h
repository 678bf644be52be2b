// Writes one embedded resource to a file, logging each step.
#pragma once

#include <cstdint>
#include <string>

#include "installer/InstallerFiles.h"
#include "installer/InstallerLog.h"
#include "platform/Resource.h"

namespace lane::quillan {

// One resource and where it goes.
struct ResourceFile {
    const char* typeName;  // "IDR_MOXTEL"
    std::uint32_t id;      // 154
    const char* path;      // "c:\kel lane\firmwareupdate\Moxtel.exe"
};

// Finds, loads and locks the resource and writes its bytes to the file (replacing it). False,
// with the error logged, at the first failure; the file is then left as it was.
[[nodiscard]] bool WriteResourceToFile(platform::ExecutableResources& resources,
                                       CInstallerFiles& files, CInstallerLog& log,
                                       const ResourceFile& target);

}  // namespace lane::quillan
