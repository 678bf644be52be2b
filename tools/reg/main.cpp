// lanereg: the reg.exe of the lane, on the hive under $LANE_ROOT.
#include <exception>
#include <iostream>
#include <string>
#include <vector>

#include "platform/LanePath.h"
#include "platform/Registry.h"
#include "tools/reg/RegTool.h"

namespace {

// A drive letter ("c:...") or a backslash marks a path of the lane's own.
bool IsWindowsPath(const std::string& name) {
    const bool drive = name.size() >= 2 && name[1] == ':' &&
                       ((name[0] >= 'a' && name[0] <= 'z') || (name[0] >= 'A' && name[0] <= 'Z'));
    return drive || name.find('\\') != std::string::npos;
}

int Run(int argc, char** argv) {
    std::string root;
    std::string message;
    if (lane::platform::LaneRootFromEnvironment(root, message) != 0) {
        std::cerr << "ERROR: " << message << "\n";
        return 1;
    }
    const lane::platform::LanePaths paths(root);
    lane::platform::Registry registry(lane::platform::Registry::DefaultHivePath(paths));
    lane::tools::RegToolContext context{registry, std::cin, std::cout, std::cerr,
                                        [&paths](const std::string& name) {
                                            // Windows paths ("c:\x.reg", "..\x.reg") through the
                                            // map; host paths as they are, relative ones from the
                                            // shell's current folder, as staff type them.
                                            return IsWindowsPath(name) ? paths.Map(name) : name;
                                        }};
    return lane::tools::RunRegTool(std::vector<std::string>(argv + 1, argv + argc), context);
}

}  // namespace

int main(int argc, char** argv) {
    // Failures travel as return codes; this is the last guard against a library that throws
    // (memory exhausted), so that no run ends in an abort.
    try {
        return Run(argc, argv);
    } catch (const std::exception& fault) {
        std::cerr << "ERROR: lanereg stopped on an unexpected fault: " << fault.what() << "\n";
    } catch (...) {
        std::cerr << "ERROR: lanereg stopped on an unexpected fault.\n";
    }
    return lane::tools::kRegToolFailure;
}
