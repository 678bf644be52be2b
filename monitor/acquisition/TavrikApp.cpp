// The monitor application: single-instance test, command-line switches, lane check, and the
// run from the view's creation to the orderly stop.
#include "monitor/acquisition/TavrikApp.h"

#include <cctype>

#include "monitor/acquisition/SimulatorPipe.h"
#include "monitor/acquisition/StartupTexts.h"
#include "platform/DeviceDriver.h"
#include "platform/SystemError.h"

namespace lane::monitor {

namespace {

bool SameIgnoringCase(const std::string& a, const char* b) {
    std::size_t i = 0;
    for (; i < a.size() && b[i] != '\0'; ++i) {
        if (std::tolower(static_cast<unsigned char>(a[i])) !=
            std::tolower(static_cast<unsigned char>(b[i]))) {
            return false;
        }
    }
    return i == a.size() && b[i] == '\0';
}

// The system's text for an error without its line end, for a line of our own.
std::string ErrorText(std::uint32_t error) {
    std::string text = platform::SystemErrorText(error);
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) {
        text.pop_back();
    }
    return text;
}

}  // namespace

RunFlags ParseSwitches(const std::vector<std::string>& arguments) {
    RunFlags flags;
    for (const std::string& argument : arguments) {
        if (SameIgnoringCase(argument, "-Debug")) {
            flags.displayMode = true;
        } else if (SameIgnoringCase(argument, "-Test")) {
            flags.simulatorMode = true;
        } else if (SameIgnoringCase(argument, "-Raw")) {
            flags.rawSwitch = true;
        }
    }
    return flags;
}

bool LaneAllowsMonitor(const platform::Registry& registry, std::string* refusal) {
    if (registry.OpenKey(kLaneKey) != 0) {
        return true;
    }
    const std::string where = std::string("HKLM\\") + kLaneKey + "\\" + kSecurityModuleTypeValue;
    const std::string needed = std::string(" the monitor needs \"") + kUsbSecurityModule + "\"";
    platform::RegValue value;
    if (registry.QueryValue(kLaneKey, kSecurityModuleTypeValue, value) != 0) {
        if (refusal != nullptr) {
            *refusal = "this lane is not set up for the USB security module: " + where +
                       " is missing;" + needed;
        }
        return false;
    }
    // The lane software compares the whole text with its terminating zero, case and all.
    if (value.type == platform::RegValue::Type::String && value.text == kUsbSecurityModule) {
        return true;
    }
    if (refusal != nullptr) {
        const std::string found = value.type == platform::RegValue::Type::String
                                      ? "\"" + value.text + "\""
                                      : std::string("not a text value");
        *refusal = "this lane is not set up for the USB security module: " + where + " is " +
                   found + ";" + needed;
    }
    return false;
}

CTavrikApp::InitResult CTavrikApp::InitInstance(const std::vector<std::string>& arguments) {
    startupMessage_.clear();
    std::string lockPath;
    const std::uint32_t lockError =
        platform::AcquireInstanceLock(services_.paths, kMainWindowTitle, instanceLock_, lockPath);
    if (lockError == platform::kErrorAlreadyExists) {
        startupMessage_ =
            "another monitor is already running on this lane (it holds " + lockPath + ")";
        return InitResult::AlreadyRunning;
    }
    if (lockError != 0) {
        // Without the lock nobody can tell whether another monitor runs: do not start.
        startupMessage_ = "cannot take the instance lock " + lockPath + ": " +
                          ErrorText(lockError) +
                          " A second monitor could not be told apart, so this one does not start.";
        return InitResult::InstanceLockFailed;
    }
    flags_ = ParseSwitches(arguments);
    if (!flags_.simulatorMode && !LaneAllowsMonitor(services_.registry, &startupMessage_)) {
        return InitResult::NotThisLane;
    }
    view_ = std::make_unique<CTavrikView>(services_, flags_);
    if (flags_.displayMode && screen_) {
        view_->List().SetObserver(screen_, screenFlush_);
    }
    view_->OnCreate();
    if (windowOpened_ && !view_->QuitRequested().IsSet()) {
        windowOpened_(*view_);
    }
    std::lock_guard<std::mutex> lock(reportTargetLock_);
    reportTarget_ = view_.get();
    return InitResult::Run;
}

void CTavrikApp::RequestReport() {
    std::lock_guard<std::mutex> lock(reportTargetLock_);
    if (reportTarget_ != nullptr) {
        reportTarget_->RequestReport();
    }
}

void CTavrikApp::ReloadSettings() {
    std::lock_guard<std::mutex> lock(reportTargetLock_);
    if (reportTarget_ != nullptr) {
        reportTarget_->ReloadSettings();
    }
}

int CTavrikApp::Run() {
    if (!view_) {
        return kExitNormal;
    }
    WaitForStop();
    {
        std::lock_guard<std::mutex> lock(reportTargetLock_);
        reportTarget_ = nullptr;
    }
    if (windowClosing_) {
        windowClosing_();
    }
    view_->StopMonitoring();
    if (!view_->SourceFailed()) {
        return view_->SaveFailed() ? kExitSaveFailed : kExitNormal;
    }
    startupMessage_ = std::string(kErrorInitializingMonitor) + SourceFailureReason();
    return kExitSourceFailed;
}

void CTavrikApp::WaitForStop() {
    if (notifier_ == nullptr) {
        WaitForAny(services_.clock, {&services_.stopRequested, &view_->QuitRequested()},
                   kInfiniteMs);
        return;
    }
    CServiceWatch watch(*notifier_);
    if (!view_->SourceFailed()) {
        watch.Ready(view_->Statistics());
    }
    while (WaitForAny(services_.clock, {&services_.stopRequested, &view_->QuitRequested()},
                      watch.CheckIntervalMs()) == kWaitTimeout) {
        const std::string note =
            watch.Check(view_->Statistics(), view_->WatchedThreads(), services_.clock.TickMs());
        if (!note.empty()) {
            view_->TraceNote(note);
        }
    }
    watch.Stopping();
}

std::string CTavrikApp::SourceFailureReason() const {
    if (flags_.simulatorMode) {
        // The pipe's own box has already given the system's reason.
        return std::string("\\\\.\\pipe\\") + kSimulatorPipeName + " (socket " +
               services_.paths.Internal("pipe", kSimulatorPipeName) + ") was not opened" +
               (services_.stopRequested.IsSet() ? ": stopped before the simulator was there" : "");
    }
    // The link traced which of its handles failed; ask the driver once more for the reason.
    const std::string socket = services_.paths.Internal("driver", kDriverSocketName);
    std::unique_ptr<platform::DeviceHandle> handle;
    const std::uint32_t error = platform::OpenDevice(services_.paths, kDriverSocketName,
                                                     platform::DeviceOpenMode{}, handle);
    if (error == 0) {
        return std::string("\\\\.\\") + kDriverSocketName + " (socket " + socket +
               ") opened, but the remote-monitor port 7 did not (see the trace)";
    }
    return std::string("\\\\.\\") + kDriverSocketName + " (socket " + socket +
           "): " + ErrorText(error);
}

}  // namespace lane::monitor
