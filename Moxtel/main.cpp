// Moxtel, the security-module utility: wires the platform services in and runs one command.
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "Moxtel/Command_BillAcceptorUpload.h"
#include "Moxtel/Command_Carousel.h"
#include "Moxtel/Command_SecurityModuleUpload.h"
#include "Moxtel/Command_UserMenu.h"
#include "Moxtel/DeviceSettingCommands.h"
#include "Moxtel/Moxtel.h"
#include "Moxtel/securitymodule_commands.h"
#include "common/RealClock.h"
#include "common/ScaledClock.h"
#include "platform/Console.h"
#include "platform/LanePath.h"
#include "platform/Registry.h"

int main(int argc, char** argv) {
    using namespace lane;
    RealClock realClock;
    // Tests may speed the waits up (LANE_TEST_TIME_SCALE); unset, every wait is real.
    ScaledClock clock(realClock, TimeScaleFromText(std::getenv(kTestTimeScaleVariable)));
    std::string root;
    std::string rootError;
    if (platform::LaneRootFromEnvironment(root, rootError) != 0) {
        // The capture files live under the lane root: the console alone can say it.
        std::fprintf(stderr, "Moxtel: %s\n", rootError.c_str());
        return 1;
    }
    const platform::LanePaths paths(root);
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
    moxtel::UtilityParts parts;
    parts.startUpSequence = moxtel::RunStartUpSequence;
    parts.commands[moxtel::kCommandSecurityModuleUpload] = moxtel::Command_SecurityModuleUpload;
    parts.commands[moxtel::kCommandEBoxRound02] = moxtel::Command_EBoxRound02;
    moxtel::AddDeviceSettingCommands(parts.commands);
    parts.commands[moxtel::kCommandBillAcceptorUpload] = moxtel::Command_BillAcceptorUpload;
    parts.mainMenu = moxtel::RunMainMenu;
    return moxtel::RunMoxtel(arguments, services, parts);
}
