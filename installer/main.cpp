// Quillan, the update package installer: wires the platform services in and runs once.
#include <cstdio>
#include <cstdlib>
#include <string>

#include "common/RealClock.h"
#include "common/ScaledClock.h"
#include "common/Waitable.h"
#include "installer/EmbeddedResources.h"
#include "installer/InstallerFiles.h"
#include "installer/Quillan.h"
#include "platform/CommandInterpreter.h"
#include "platform/LanePath.h"
#include "platform/Registry.h"
#include "platform/Resource.h"
#include "platform/StopSignals.h"

int main() {
    using namespace lane;
    // First, before any thread starts: SIGTERM, SIGINT and SIGHUP become a stop request, so a
    // stopped run ends the programs it started and leaves its failure log.
    ManualResetEvent stopRequested;
    platform::StopSignals signals(stopRequested);
    const quillan::QuillanStop stop{stopRequested, [&signals] { return signals.ReceivedName(); }};
    RealClock realClock;
    // Tests may speed the waits up (LANE_TEST_TIME_SCALE); unset, every wait is real.
    ScaledClock clock(realClock, TimeScaleFromText(std::getenv(kTestTimeScaleVariable)));
    std::string root;
    std::string rootError;
    if (platform::LaneRootFromEnvironment(root, rootError) != 0) {
        // Without a lane root there is no place for the log either.
        std::fprintf(stderr, "Quillan: %s\n", rootError.c_str());
        return 1;
    }
    const platform::LanePaths paths(root);
    const platform::Registry registry(platform::Registry::DefaultHivePath(paths));
    platform::EmbeddedResources resources(quillan::EmbeddedResourceTable());
    quillan::CHostInstallerFiles files(paths);
    const auto toOutput = [](const std::string& text) {
        std::fputs(text.c_str(), stdout);
        std::fflush(stdout);
    };
    const auto toError = [](const std::string& text) { std::fputs(text.c_str(), stderr); };
    platform::ChildProgramRunner runner([&](const std::string& line) { toOutput(line + "\n"); },
                                        &stopRequested);
    platform::CommandInterpreter interpreter(
        paths, runner, [](const std::string& line) { std::fprintf(stderr, "%s\n", line.c_str()); },
        &stopRequested);
    const quillan::QuillanServices services{clock,
                                            realClock,
                                            paths,
                                            registry,
                                            resources,
                                            files,
                                            interpreter,
                                            toOutput,
                                            toError,
                                            &stop,
                                            platform::ProcessRunning};
    return quillan::RunQuillan(services);
}
