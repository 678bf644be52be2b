// Maps the system's Windows paths onto the lane root of this machine.
#pragma once

#include <cstdint>
#include <string>

namespace lane::platform {

// Default lane root when LANE_ROOT is not set.
inline constexpr const char* kDefaultLaneRoot = "/var/lib/lane";

// Why the lane root cannot be used.
inline constexpr int kLaneRootEmpty = 1;    // LANE_ROOT is set but empty
inline constexpr int kLaneRootMissing = 2;  // the folder does not exist (or is not a folder)

// The lane root: $LANE_ROOT, else kDefaultLaneRoot when it is not set. An empty LANE_ROOT is
// refused, and so is a lane root that is not an existing folder: a mistyped root must not
// start a fresh lane. Returns 0 and sets `root`, or kLaneRootEmpty / kLaneRootMissing with
// `message` naming the root ("lane root /x does not exist (LANE_ROOT)").
[[nodiscard]] int LaneRootFromEnvironment(std::string& root, std::string& message);

class LanePaths {
  public:
    explicit LanePaths(std::string root);

    const std::string& Root() const { return root_; }

    // Maps a Windows path ("c:\kel lane\Config\LaneConfig.Ini", "..\Config\x.ini",
    // "\FirmwareUpdate") to a host path. Drive X: is the folder "x" under the root; each
    // component that exists is matched ignoring case; missing components keep their spelling.
    // Relative paths start from the current directory; a root-relative path uses the drive whose
    // folder holds the current directory, else drive c.
    //
    // Every mapped path stays inside the lane root: ".." stops at the drive folder, and a path
    // that would still lead outside is refused (a relative path while the current directory is
    // not in a drive folder of the root, a host path whose ".." leaves the root, a path through a
    // symbolic link that points out of the root). A refused path maps to the empty text, which
    // every file service fails to open; MapInside gives the reason.
    std::string Map(const std::string& windowsPath) const;
    // As Map; returns 0 with `hostPath`, or kErrorBadPathname (161) for a refused path.
    [[nodiscard]] std::uint32_t MapInside(const std::string& windowsPath,
                                          std::string& hostPath) const;

    // Host path of a stand-in object of ours under the root ("registry", "pipe", "locks", ...).
    std::string Internal(const std::string& folder, const std::string& name) const;

  private:
    std::string root_;
};

}  // namespace lane::platform
