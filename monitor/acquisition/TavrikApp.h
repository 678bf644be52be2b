// The monitor application: single-instance test, command-line switches, lane check, and the
// run from the view's creation to the orderly stop.
#pragma once

#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "common/Clock.h"
#include "common/Waitable.h"
#include "monitor/acquisition/RunFlags.h"
#include "monitor/acquisition/TavrikView.h"
#include "platform/LanePath.h"
#include "platform/MessageBox.h"
#include "platform/Registry.h"
#include "platform/ServiceNotifier.h"
#include "platform/SingleInstance.h"

namespace lane::monitor {

inline constexpr const char* kLaneKey = "SOFTWARE\\Halvern Dynamics, Inc.\\Kel750\\Lane";
inline constexpr const char* kSecurityModuleTypeValue = "SecurityModuleType";
inline constexpr const char* kUsbSecurityModule = "USB_SECURITY_MODULE";

// Exit codes of the monitor process.
inline constexpr int kExitNormal = 0;
inline constexpr int kExitNotThisLane = 1;   // lane configured for another module type
inline constexpr int kExitSourceFailed = 2;  // the stream source could not be opened
inline constexpr int kExitSaveFailed = 3;    // the stop could not save settings or statistics
inline constexpr int kExitLaneRoot = 4;      // LANE_ROOT empty, or the lane root does not exist
inline constexpr int kExitInstanceLock = 5;  // the instance lock could not be taken at all

// "-Debug", "-Test" and "-Raw", compared ignoring case; other arguments are ignored.
RunFlags ParseSwitches(const std::vector<std::string>& arguments);

// True unless the lane key exists and its "SecurityModuleType" is not exactly
// "USB_SECURITY_MODULE"; a missing key does not stop the monitor. `refusal` (optional) receives
// what was found and what is needed when the lane is refused.
bool LaneAllowsMonitor(const platform::Registry& registry, std::string* refusal = nullptr);

class CTavrikApp {
  public:
    explicit CTavrikApp(const ViewServices& services) : services_(services) {}

    // The screen that shows the list in display mode (the terminal, for now): each line, and
    // (optional) the end of each run of lines.
    void SetScreen(std::function<void(const TraceListItem&)> screen,
                   std::function<void()> flush = {}) {
        screen_ = std::move(screen);
        screenFlush_ = std::move(flush);
    }

    // The main window: `opened` runs once the view runs, `closing` before the view stops.
    void SetWindowHooks(std::function<void(CTavrikView&)> opened, std::function<void()> closing) {
        windowOpened_ = std::move(opened);
        windowClosing_ = std::move(closing);
    }

    enum class InitResult { Run, AlreadyRunning, InstanceLockFailed, NotThisLane };
    // Everything before the message loop: instance test, switches, lane check, the view's
    // construction and creation. `arguments` excludes the program name. Unless the result is
    // Run, StartupMessage says why the monitor does not run.
    InitResult InitInstance(const std::vector<std::string>& arguments);
    const std::string& StartupMessage() const { return startupMessage_; }
    // The service manager to tell of the start, the lane's colour, the threads' health and the
    // stop (systemd's notifications); without one, or when no manager listens, Run only waits.
    void SetServiceNotifier(platform::ServiceNotifier* notifier) { notifier_ = notifier; }
    // Waits for the stop request or the quit posted after a failed start, then stops in order.
    // Returns the process exit code. After a failed start, StartupMessage names the source that
    // failed, its socket and the system's reason.
    int Run();

    // Service staff's request for a status report now (SIGUSR1); safe from any thread, also
    // before the view exists or after it has stopped (the request is then dropped).
    void RequestReport();
    // Staff's request to read the settings again after changing them in the registry (SIGHUP);
    // safe from any thread, dropped before the view runs or after it has stopped.
    void ReloadSettings();

    const RunFlags& Flags() const { return flags_; }
    CTavrikView* View() { return view_.get(); }

  private:
    // Waits for the stop request or the quit; meanwhile tells the service manager, when there is
    // one, of the start, the lane's colour and the threads' health, and at the end of the stop.
    void WaitForStop();
    // The source that failed to open, its socket and the reason, for the start-up message.
    std::string SourceFailureReason() const;

    ViewServices services_;
    RunFlags flags_;
    std::string startupMessage_;
    std::unique_ptr<platform::InstanceLock> instanceLock_;
    std::function<void(const TraceListItem&)> screen_;
    std::function<void()> screenFlush_;
    std::function<void(CTavrikView&)> windowOpened_;
    std::function<void()> windowClosing_;
    platform::ServiceNotifier* notifier_ = nullptr;
    std::unique_ptr<CTavrikView> view_;
    std::mutex reportTargetLock_;
    CTavrikView* reportTarget_ = nullptr;  // the running view, under reportTargetLock_
};

}  // namespace lane::monitor
