// The statistics record: defaults, the lane's colour and the lane software's version.
#include "monitor/stats/DeviceStatistics.h"

#include <algorithm>
#include <array>
#include <string_view>

#include "common/TimeText.h"
#include "monitor/stats/RegistryValues.h"
#include "monitor/stats/StatisticsFields.h"
#include "platform/IniFile.h"

namespace lane::monitor {

namespace {

inline constexpr const char* kBuildInformationSection = "Build Information";
inline constexpr const char* kProductVersionKey = "ProductVersion";

// Sets every stored field to the default of its kind.
class DefaultsVisitor {
  public:
    explicit DefaultsVisitor(std::time_t defaultTime) : defaultTime_(defaultTime) {}

    void Time(std::string_view, std::time_t& field) const { field = defaultTime_; }
    void State(std::string_view, DeviceState& field) const { field = DeviceState::Ready; }
    void Colour(std::string_view, StatusColour& field) const { field = StatusColour::Green; }
    void Count(std::string_view, std::uint32_t& field) const { field = 0; }
    void Flag(std::string_view, bool& field) const { field = false; }
    void Text(std::string_view, std::string& field) const { field.clear(); }

  private:
    std::time_t defaultTime_;
};

using DeviceColours = std::array<StatusColour, 6>;

bool AnyColourIs(StatusColour colour, const DeviceColours& colours) {
    return std::find(colours.begin(), colours.end(), colour) != colours.end();
}

}  // namespace

std::time_t DefaultStatisticsTime() {
    std::tm local{};
    local.tm_year = 1980 - 1900;
    local.tm_mon = 0;
    local.tm_mday = 1;
    return FromLocalTm(local);
}

CDeviceStatistics::CDeviceStatistics() {
    ResetToDefaults();
}

void CDeviceStatistics::ResetToDefaults() {
    std::lock_guard<const CDeviceStatistics> guard(*this);
    const DefaultsVisitor defaults(DefaultStatisticsTime());
    VisitStoredStatistics(*this, defaults);
    SecModEPROMFailed = false;
}

void CDeviceStatistics::UpdateSystemStatus() {
    std::lock_guard<const CDeviceStatistics> guard(*this);
    const DeviceColours devices = {
        StatusBillAcceptor,  StatusBillDispenser,  StatusCoinAcceptor,
        StatusCoinDispenser, StatusSecurityModule, StatusSecurityScale,
    };
    if (AnyColourIs(StatusColour::Red, devices)) {
        StatusSystem = StatusColour::Red;
        return;
    }
    if (AnyColourIs(StatusColour::Yellow, devices)) {
        StatusSystem = StatusColour::Yellow;
        return;
    }
    StatusSystem = StatusColour::Green;
}

std::string ReadLaneSoftwareVersion(const std::string& setupHostPath) {
    // The version is stored with the statistics, so read no more than a stored text may hold.
    std::string version = platform::GetPrivateProfileString(
        kBuildInformationSection, kProductVersionKey, "", kRegistryTextMax + 1, setupHostPath);
    if (version.empty()) {
        return kUnknownLaneSoftwareVersion;
    }
    return version;
}

std::string ReadLaneSoftwareVersion(const platform::LanePaths& paths) {
    return ReadLaneSoftwareVersion(paths.Map(kLaneSetupFile));
}

}  // namespace lane::monitor
