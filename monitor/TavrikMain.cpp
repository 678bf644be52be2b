// Tavrik, the lane monitor: wires the platform services in and runs the application.
#include <cstdio>
#include <string>
#include <vector>

#include "common/RealClock.h"
#include "monitor/acquisition/TavrikApp.h"
#include "monitor/ui/LineScreen.h"
#include "monitor/ui/ViewWindow.h"
#include "monitor/ui/WindowMessageBox.h"
#include "platform/LanePath.h"
#include "platform/MessageBox.h"
#include "platform/Registry.h"
#include "platform/ServiceNotifier.h"
#include "platform/Signals.h"
#include "platform/TerminalScreen.h"

namespace {

void SayOnStandardError(const std::string& text) {
    std::fprintf(stderr, "Tavrik: %s\n", text.c_str());
    std::fflush(stderr);
}

}  // namespace

int main(int argc, char** argv) {
    using namespace lane;
    std::string root;
    std::string rootError;
    if (platform::LaneRootFromEnvironment(root, rootError) != 0) {
        SayOnStandardError(rootError);
        return monitor::kExitLaneRoot;
    }
    ManualResetEvent stopRequested;
    RealClock clock;
    const platform::LanePaths paths(root);
    platform::Registry registry(platform::Registry::DefaultHivePath(paths));
    platform::ConsoleMessageBox consoleBox(clock, "Tavrik");
    monitor::CWindowMessageBox messageBox(consoleBox);
    // On a terminal the main window is drawn there; it outlives the application's view.
    monitor::CViewWindow window(stopRequested, messageBox);
    const bool onTerminal = platform::StandardStreamsAreTerminal();
    monitor::CTavrikApp app(
        monitor::ViewServices{clock, paths, registry, messageBox, stopRequested});
    // Before any thread starts: the stop signals stop in order, SIGUSR1 asks for a report, SIGHUP
    // reads the settings again, and a closed standard output becomes a failed write.
    platform::SignalWatcher signals(
        stopRequested, [&app] { app.RequestReport(); }, [&app] { app.ReloadSettings(); });
    // systemd's notifications when it started the monitor; nothing otherwise.
    platform::ServiceNotifier serviceManager;
    app.SetServiceNotifier(&serviceManager);
    // The list on standard output in display mode, unless the window shows it; when nobody
    // reads it any more (a pager or `head` that ended) it is said once on standard error and the
    // monitor goes on unseen.
    monitor::CLineScreen lineScreen(stdout, [] {
        SayOnStandardError(
            "standard output is closed; the list is no longer shown, monitoring goes on");
    });
    app.SetScreen(
        [&lineScreen, &window](const monitor::TraceListItem& item) {
            if (!window.NoteNewLine()) {
                lineScreen.Show(item);
            }
        },
        [&lineScreen] { lineScreen.Flush(); });
    if (onTerminal) {
        app.SetWindowHooks(
            [&window](monitor::CTavrikView& view) {
                if (!window.Open(view, platform::OpenTerminalScreen())) {
                    SayOnStandardError(
                        "this terminal cannot show the window (see TERM); the list "
                        "goes to standard output");
                }
            },
            [&window] { window.Close(); });
    }
    const std::vector<std::string> arguments(argv + 1, argv + argc);
    switch (app.InitInstance(arguments)) {
        case monitor::CTavrikApp::InitResult::AlreadyRunning:
            SayOnStandardError(app.StartupMessage());
            return monitor::kExitNormal;
        case monitor::CTavrikApp::InitResult::InstanceLockFailed:
            SayOnStandardError(app.StartupMessage());
            return monitor::kExitInstanceLock;
        case monitor::CTavrikApp::InitResult::NotThisLane:
            SayOnStandardError(app.StartupMessage());
            return monitor::kExitNotThisLane;
        case monitor::CTavrikApp::InitResult::Run:
            break;
    }
    const int exitCode = app.Run();
    if (exitCode == monitor::kExitSourceFailed) {
        SayOnStandardError(app.StartupMessage());
    }
    return exitCode;
}
