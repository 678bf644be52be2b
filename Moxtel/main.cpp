// Moxtel, the security-module utility: wires the platform services in and runs one command.
#include <cstdlib>
#include <string>
#include <vector>

#include "Moxtel/Moxtel.h"
#include "common/RealClock.h"
#include "platform/Console.h"
#include "platform/LanePath.h"
#include "platform/Registry.h"

int main(int argc, char** argv) {
    using namespace lane;
    RealClock clock;
    const platform::LanePaths paths(platform::LaneRootFromEnvironment());
    const platform::Registry registry(platform::Registry::DefaultHivePath(paths));
    const auto console = platform::MakeStandardConsole();
    // The computer name as Windows hands it to every program.
    const char* computerName = std::getenv("COMPUTERNAME");
    const moxtel::MoxtelServices services{clock,
                                          paths,
                                          registry,
                                          *console,
                                          computerName != nullptr ? computerName : "",
                                          [](int code) { std::_Exit(code); }};
    const std::vector<std::string> arguments(argv + 1, argv + argc);
    return moxtel::RunMoxtel(arguments, services, moxtel::UtilityParts{});
}
