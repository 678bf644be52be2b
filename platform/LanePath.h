// Maps the system's Windows paths onto the lane root of this machine.
#pragma once

#include <string>

namespace lane::platform {

// Default lane root when LANE_ROOT is not set.
inline constexpr const char* kDefaultLaneRoot = "/var/lib/lane";

// The lane root: $LANE_ROOT, else kDefaultLaneRoot.
std::string LaneRootFromEnvironment();

class LanePaths {
  public:
    explicit LanePaths(std::string root);

    const std::string& Root() const { return root_; }

    // Maps a Windows path ("c:\kel lane\Config\LaneConfig.Ini", "..\Config\x.ini",
    // "\FirmwareUpdate") to a host path. Drive X: is the folder "x" under the root; each
    // component that exists is matched ignoring case; missing components keep their spelling.
    // Relative paths start from the current directory; a root-relative path uses the drive whose
    // folder holds the current directory, else drive c.
    std::string Map(const std::string& windowsPath) const;

    // Host path of a stand-in object of ours under the root ("registry", "pipe", "locks", ...).
    std::string Internal(const std::string& folder, const std::string& name) const;

  private:
    std::string root_;
};

}  // namespace lane::platform
