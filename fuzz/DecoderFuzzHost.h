// What the decoder fuzz targets share: the trap on a broken rule and a host with no outside world.
#pragma once

#include <string>
#include <vector>

#include "monitor/stats/MonitorHost.h"

namespace lane::monitor::fuzz {

// No such library: the decoders run with alerts off.
inline constexpr const char* kNoAlertLibrary = "TavrikEventFuzzNone.dll";

inline void Check(bool condition) {
    if (!condition) {
        __builtin_trap();
    }
}

// Statistics, settings and a registry nobody can reach; every trace line must have text, and
// every note fit a trace line. The notes are kept for targets that compare them.
class FuzzHost final : public MonitorHost {
  public:
    FuzzHost() : registry_("/nonexistent/lane-fuzz/HKEY_LOCAL_MACHINE.reg") {}
    CDeviceStatistics& Statistics() override { return statistics_; }
    const MonitorSettings& Settings() const override { return settings; }
    void TraceText(const std::string& text) override { Check(!text.empty()); }
    void TraceNote(const std::string& text) override {
        Check(!text.empty() && text.size() < 2000);
        notes.push_back(text);
    }
    platform::Registry& Registry() override { return registry_; }

    MonitorSettings settings;
    std::vector<std::string> notes;

  private:
    CDeviceStatistics statistics_;
    platform::Registry registry_;
};

}  // namespace lane::monitor::fuzz
