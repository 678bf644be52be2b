// Maps Windows drive, relative and root-relative paths onto folders under the lane root.
#include "platform/LanePath.h"

#include <cstdlib>
#include <filesystem>
#include <system_error>
#include <utility>
#include <vector>

#include "platform/SystemError.h"

namespace lane::platform {

namespace fs = std::filesystem;

namespace {

inline constexpr char kDefaultDrive = 'c';

bool IsSeparator(char c) {
    return c == '\\' || c == '/';
}

char LowerAscii(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

bool IsAsciiLetter(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

bool EqualIgnoringCase(const std::string& a, const std::string& b) {
    if (a.size() != b.size()) {
        return false;
    }
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (LowerAscii(a[i]) != LowerAscii(b[i])) {
            return false;
        }
    }
    return true;
}

// A place in the host tree: `floor` is the folder that ".." cannot leave (a drive folder, or the
// file system's root for a current directory outside the lane root), `names` the components
// below it.
struct Location {
    std::string floor;
    std::vector<std::string> names;
};

std::vector<std::string> SplitHostPath(const fs::path& path) {
    std::vector<std::string> names;
    for (const auto& part : path) {
        const std::string name = part.string();
        if (!name.empty() && name != "/" && name != ".") {
            names.push_back(name);
        }
    }
    return names;
}

// Windows drops trailing dots and blanks of a path component ("name. " is "name").
std::string TrimComponent(const std::string& name) {
    if (name == "." || name == "..") {
        return name;
    }
    std::size_t end = name.size();
    while (end > 0 && (name[end - 1] == '.' || name[end - 1] == ' ')) {
        --end;
    }
    return name.substr(0, end);
}

// Applies the components of `relative` to `location`: "." stays, ".." goes up but never above
// the floor, empty components (doubled or trailing separators) are skipped.
void Walk(Location& location, const std::string& relative) {
    std::size_t start = 0;
    while (start <= relative.size()) {
        std::size_t end = start;
        while (end < relative.size() && !IsSeparator(relative[end])) {
            ++end;
        }
        const std::string name = TrimComponent(relative.substr(start, end - start));
        if (name == "..") {
            if (!location.names.empty()) {
                location.names.pop_back();
            }
        } else if (!name.empty() && name != ".") {
            location.names.push_back(name);
        }
        start = end + 1;
    }
}

// The name of the entry of `folder` that equals `name` ignoring case; the smallest such name
// when several do, so the choice does not depend on the directory order. Empty when none does.
std::string FindEntryIgnoringCase(const fs::path& folder, const std::string& name) {
    std::error_code error;
    fs::directory_iterator entries(folder, error);
    if (error) {
        return {};
    }
    std::string found;
    for (auto it = entries; it != fs::directory_iterator(); it.increment(error)) {
        if (error) {
            break;
        }
        const std::string entryName = it->path().filename().string();
        if (EqualIgnoringCase(entryName, name) && (found.empty() || entryName < found)) {
            found = entryName;
        }
    }
    return found;
}

// Builds the host path; each component that exists is spelled as on disk, the first missing
// one and everything after it keep the caller's spelling.
std::string Resolve(const Location& location) {
    std::string result = location.floor;
    bool matching = true;
    for (const auto& name : location.names) {
        std::string spelled = name;
        if (matching) {
            std::error_code error;
            const fs::path exact = fs::path(result.empty() ? "/" : result) / name;
            if (!fs::exists(fs::symlink_status(exact, error))) {
                spelled = FindEntryIgnoringCase(result.empty() ? "/" : result, name);
                if (spelled.empty()) {
                    spelled = name;
                    matching = false;
                }
            }
        }
        result += "/";
        result += spelled;
    }
    return result.empty() ? "/" : result;
}

bool IsPrefixFolder(const std::string& folder, const std::string& path) {
    if (path.compare(0, folder.size(), folder) != 0) {
        return false;
    }
    return path.size() == folder.size() || path[folder.size()] == '/' || folder == "/";
}

std::string NormalRoot(std::string root) {
    if (root.empty()) {
        root = kDefaultLaneRoot;
    }
    fs::path path(root);
    if (path.is_relative()) {
        std::error_code error;
        const fs::path current = fs::current_path(error);
        if (!error) {
            path = current / path;
        }
    }
    std::string text = path.lexically_normal().string();
    while (text.size() > 1 && text.back() == '/') {
        text.pop_back();
    }
    return text;
}

}  // namespace

int LaneRootFromEnvironment(std::string& root, std::string& message) {
    message.clear();
    const char* value = std::getenv("LANE_ROOT");
    if (value == nullptr) {
        root = kDefaultLaneRoot;
    } else if (*value == '\0') {
        root.clear();
        message = "LANE_ROOT is set but empty; set it to the lane root folder or unset it for " +
                  std::string(kDefaultLaneRoot);
        return kLaneRootEmpty;
    } else {
        root = value;
    }
    std::error_code error;
    if (!fs::is_directory(root, error)) {
        message = "lane root " + root + " does not exist" +
                  (value == nullptr ? " (the default; set LANE_ROOT)" : " (LANE_ROOT)");
        return kLaneRootMissing;
    }
    return 0;
}

LanePaths::LanePaths(std::string root) : root_(NormalRoot(std::move(root))) {}

std::string LanePaths::Internal(const std::string& folder, const std::string& name) const {
    if (name.empty()) {
        return root_ + "/" + folder;
    }
    return root_ + "/" + folder + "/" + name;
}

namespace {

// Where the current directory lies: in a drive folder of the root (`drive` set), or elsewhere.
struct CurrentPlace {
    char drive = '\0';
    Location location;
};

CurrentPlace FindCurrentPlace(const std::string& root) {
    CurrentPlace place;
    std::error_code error;
    const fs::path current = fs::current_path(error);
    if (error) {
        place.drive = kDefaultDrive;
        place.location.floor = root + "/" + kDefaultDrive;
        return place;
    }
    // The current directory comes without symbolic links; compare it with the root resolved.
    std::string canonicalRoot = fs::weakly_canonical(root, error).string();
    if (error) {
        canonicalRoot = root;
    }
    const std::string currentText = current.string();
    for (const std::string& base : {canonicalRoot, root}) {
        if (!IsPrefixFolder(base, currentText)) {
            continue;
        }
        const std::vector<std::string> below =
            SplitHostPath(fs::path(currentText).lexically_relative(base));
        if (!below.empty() && below[0].size() == 1 && below[0][0] >= 'a' && below[0][0] <= 'z') {
            place.drive = below[0][0];
            place.location.floor = root + "/" + below[0];
            place.location.names.assign(below.begin() + 1, below.end());
            return place;
        }
    }
    place.location.floor.clear();
    place.location.names = SplitHostPath(current);
    return place;
}

}  // namespace

std::string LanePaths::Map(const std::string& windowsPath) const {
    std::string hostPath;
    if (MapInside(windowsPath, hostPath) != 0) {
        return {};
    }
    return hostPath;
}

namespace {

// True when `hostPath`, with its symbolic links followed as far as it exists, still lies in
// `root` (followed the same way).
bool StaysInside(const std::string& root, const std::string& hostPath) {
    std::error_code error;
    const fs::path realRoot = fs::weakly_canonical(root, error);
    if (error) {
        return false;
    }
    const fs::path realPath = fs::weakly_canonical(hostPath, error);
    if (error) {
        return false;
    }
    return IsPrefixFolder(realRoot.string(), realPath.string());
}

}  // namespace

std::uint32_t LanePaths::MapInside(const std::string& windowsPath, std::string& hostPath) const {
    hostPath.clear();
    std::string mapped;
    if (!windowsPath.empty() && windowsPath[0] == '/' && IsPrefixFolder(root_, windowsPath)) {
        // A host path of ours: taken as it is, once its dots are resolved.
        mapped = fs::path(windowsPath).lexically_normal().string();
        while (mapped.size() > 1 && mapped.back() == '/') {
            mapped.pop_back();
        }
        if (!IsPrefixFolder(root_, mapped)) {
            return kErrorBadPathname;
        }
    } else {
        const CurrentPlace current = FindCurrentPlace(root_);
        Location location;
        std::string rest = windowsPath;
        if (windowsPath.size() >= 2 && IsAsciiLetter(windowsPath[0]) && windowsPath[1] == ':') {
            const char drive = LowerAscii(windowsPath[0]);
            rest = windowsPath.substr(2);
            const bool driveRelative = rest.empty() || !IsSeparator(rest[0]);
            if (driveRelative && current.drive == drive) {
                location = current.location;  // "c:name": from the current directory of drive c
            } else {
                location.floor = root_ + "/" + std::string(1, drive);
            }
        } else if (!windowsPath.empty() && IsSeparator(windowsPath[0])) {
            const char drive = current.drive != '\0' ? current.drive : kDefaultDrive;
            location.floor = root_ + "/" + std::string(1, drive);
        } else if (current.drive == '\0') {
            // A relative path from a current directory outside the lane's drives would lead
            // wherever that directory is.
            return kErrorBadPathname;
        } else {
            location = current.location;
        }
        Walk(location, rest);
        mapped = Resolve(location);
    }
    if (!StaysInside(root_, mapped)) {
        return kErrorBadPathname;
    }
    hostPath = mapped;
    return kErrorSuccess;
}

}  // namespace lane::platform
