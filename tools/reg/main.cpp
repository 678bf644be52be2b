// lanereg: the reg.exe of the lane, on the hive under $LANE_ROOT.
#include <iostream>
#include <string>
#include <vector>

#include "platform/LanePath.h"
#include "platform/Registry.h"
#include "tools/reg/RegTool.h"

int main(int argc, char** argv) {
    std::string root;
    std::string message;
    if (lane::platform::LaneRootFromEnvironment(root, message) != 0) {
        std::cerr << "ERROR: " << message << "\n";
        return 1;
    }
    const lane::platform::LanePaths paths(root);
    lane::platform::Registry registry(lane::platform::Registry::DefaultHivePath(paths));
    lane::tools::RegToolContext context{
        registry, std::cin, std::cout, std::cerr, [&paths](const std::string& name) {
            // Host paths as they are; Windows paths ("c:\x.reg", "..\x.reg") through the map.
            return !name.empty() && name[0] == '/' ? name : paths.Map(name);
        }};
    return lane::tools::RunRegTool(std::vector<std::string>(argv + 1, argv + argc), context);
}
