// Temporary files a stopped installer left beside the files it writes ("Moxtel.exe.~1234",
// "moxtel.exeOLD.~1234~"): found by their names and removed by a later run.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "installer/InstallerFiles.h"
#include "installer/InstallerLog.h"

namespace lane::quillan {

// When `entry` names a temporary copy of `target` (both plain file names) as the file services
// write it, "<target>.~<process id>" or "<target>.~<process id>~" with the target in any case:
// the id of the process that wrote it. Otherwise none.
[[nodiscard]] std::optional<long> TemporaryWriter(std::string_view entry, std::string_view target);

// The Windows paths of every file the installer writes or replaces.
std::vector<std::string> InstallerTargets();

// Deletes, in the folders of InstallerTargets, the temporary copies of those targets whose writer
// no longer runs (`processRunning` false for its id); logs each. Anything else is left alone.
void RemoveStaleTemporaries(CInstallerFiles& files, CInstallerLog& log,
                            const std::function<bool(long)>& processRunning);

}  // namespace lane::quillan
