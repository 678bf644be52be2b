// Making sure of a folder, and deleting a file if present, with their log lines.
#pragma once

#include <string>

#include "installer/InstallerFiles.h"
#include "installer/InstallerLog.h"

namespace lane::quillan {

// Makes the folder the current directory ("%s folder found..."), or creates it when it does not
// exist (the current directory then stays where it was). False, with the error logged, when
// neither works.
[[nodiscard]] bool EnsureFolder(CInstallerFiles& files, CInstallerLog& log,
                                const std::string& folder);

// Clears the attributes of the file and deletes it; a missing file counts as deleted. False,
// with the error logged, when either call fails.
[[nodiscard]] bool DeleteIfPresent(CInstallerFiles& files, CInstallerLog& log,
                                   const std::string& path);

}  // namespace lane::quillan
