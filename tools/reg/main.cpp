// lanereg: the reg.exe of the lane, on the hive under $LANE_ROOT.
#include <exception>
#include <iostream>
#include <string>
#include <vector>

#include "platform/LanePath.h"
#include "platform/Registry.h"
#include "tools/reg/RegTool.h"

namespace {

int Run(int argc, char** argv) {
    const lane::platform::LanePaths paths(lane::platform::LaneRootFromEnvironment());
    lane::platform::Registry registry(lane::platform::Registry::DefaultHivePath(paths));
    lane::tools::RegToolContext context{
        registry, std::cin, std::cout, std::cerr, [&paths](const std::string& name) {
            // Host paths as they are; Windows paths ("c:\x.reg", "..\x.reg") through the map.
            return !name.empty() && name[0] == '/' ? name : paths.Map(name);
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
