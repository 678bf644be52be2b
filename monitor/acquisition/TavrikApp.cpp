// The monitor application: single-instance test, command-line switches, lane check, and the
// run from the view's creation to the orderly stop.
#include "monitor/acquisition/TavrikApp.h"

#include <cctype>

#include "monitor/acquisition/StartupTexts.h"

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

bool LaneAllowsMonitor(const platform::Registry& registry) {
    if (registry.OpenKey(kLaneKey) != 0) {
        return true;
    }
    platform::RegValue value;
    if (registry.QueryValue(kLaneKey, kSecurityModuleTypeValue, value) != 0 ||
        value.type != platform::RegValue::Type::String) {
        return false;
    }
    // The lane software compares the whole text with its terminating zero, case and all.
    return value.text == kUsbSecurityModule;
}

CTavrikApp::InitResult CTavrikApp::InitInstance(const std::vector<std::string>& arguments) {
    instanceLock_ = platform::TryAcquireInstanceLock(services_.paths, kMainWindowTitle);
    if (!instanceLock_) {
        return InitResult::AlreadyRunning;
    }
    flags_ = ParseSwitches(arguments);
    if (!flags_.simulatorMode && !LaneAllowsMonitor(services_.registry)) {
        return InitResult::NotThisLane;
    }
    view_ = std::make_unique<CTavrikView>(services_, flags_);
    if (flags_.displayMode && screen_) {
        view_->List().SetObserver(screen_);
    }
    view_->OnCreate();
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

int CTavrikApp::Run() {
    if (!view_) {
        return kExitNormal;
    }
    WaitForAny(services_.clock, {&services_.stopRequested, &view_->QuitRequested()}, kInfiniteMs);
    {
        std::lock_guard<std::mutex> lock(reportTargetLock_);
        reportTarget_ = nullptr;
    }
    view_->StopMonitoring();
    if (view_->SourceFailed()) {
        return kExitSourceFailed;
    }
    return view_->SaveFailed() ? kExitSaveFailed : kExitNormal;
}

}  // namespace lane::monitor
