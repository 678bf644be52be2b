// Tavrik, the lane monitor: wires the platform services in and runs the application.
#include <cstdio>
#include <string>
#include <vector>

#include "common/RealClock.h"
#include "monitor/acquisition/TavrikApp.h"
#include "platform/LanePath.h"
#include "platform/MessageBox.h"
#include "platform/Registry.h"
#include "platform/Signals.h"

int main(int argc, char** argv) {
    using namespace lane;
    ManualResetEvent stopRequested;
    RealClock clock;
    const platform::LanePaths paths(platform::LaneRootFromEnvironment());
    platform::Registry registry(platform::Registry::DefaultHivePath(paths));
    platform::ConsoleMessageBox messageBox(clock, "Tavrik");
    monitor::CTavrikApp app(
        monitor::ViewServices{clock, paths, registry, messageBox, stopRequested});
    // Before any thread starts: SIGTERM and SIGINT stop in order, SIGUSR1 asks for a report.
    platform::SignalWatcher signals(stopRequested, [&app] { app.RequestReport(); });
    app.SetScreen([](const monitor::TraceListItem& item) {
        std::printf("%s  %s\n", item.time.c_str(), item.message.c_str());
        std::fflush(stdout);
    });
    const std::vector<std::string> arguments(argv + 1, argv + argc);
    switch (app.InitInstance(arguments)) {
        case monitor::CTavrikApp::InitResult::AlreadyRunning:
            return monitor::kExitNormal;
        case monitor::CTavrikApp::InitResult::NotThisLane:
            return monitor::kExitNotThisLane;
        case monitor::CTavrikApp::InitResult::Run:
            break;
    }
    return app.Run();
}
