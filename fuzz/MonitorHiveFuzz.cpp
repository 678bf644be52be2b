// Fuzz target of the monitor's stored state as store IT may have left it: any hive text loads
// into the settings, the statistics and the four repeat histories without a fault, and what was
// loaded makes a status report and a fleet-metrics file. Each line of the input is also read as
// every kind of value text; a text that reads writes back to a text that reads the same.
#include <cstddef>
#include <cstdint>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <string>
#include <string_view>
#include <system_error>

#include "common/TimeText.h"
#include "monitor/stats/DeviceStatistics.h"
#include "monitor/stats/FleetMetrics.h"
#include "monitor/stats/RegistryValues.h"
#include "monitor/stats/Settings.h"
#include "monitor/stats/StatisticsStore.h"
#include "monitor/stats/StatusReport.h"
#include "platform/Registry.h"

namespace {

using namespace lane::monitor;

void Check(bool condition) {
    if (!condition) {
        __builtin_trap();
    }
}

// One hive file per fuzzing process, rewritten for each input.
const std::string& HiveFile() {
    static const std::string file = [] {
        std::error_code error;
        const auto folder = std::filesystem::temp_directory_path(error) / "fuzz_monitor_hive";
        std::filesystem::create_directories(folder, error);
        return (folder / "hive.reg").string();
    }();
    return file;
}

void CheckValueTexts(std::string_view text) {
    std::uint32_t number = 0;
    if (ParseNumberText(text, number)) {
        std::uint32_t again = 0;
        Check(ParseNumberText(NumberText(number), again) && again == number);
    }
    std::time_t time = 0;
    if (ParseTimeText(text, time)) {
        // Written back in local time, it reads again (an hour of a daylight-saving change may
        // read as its twin, so the value itself is not compared).
        std::time_t again = 0;
        Check(ParseTimeText(lane::RegistryTimeText(time), again));
    }
    DeviceState state{};
    if (ParseStateText(text, state)) {
        DeviceState again{};
        Check(ParseStateText(text, again) && again == state);
    }
    StatusColour colour{};
    if (ParseColourText(text, colour)) {
        StatusColour again{};
        Check(ParseColourText(text, again) && again == colour);
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    for (std::size_t at = 0; at <= text.size();) {
        const std::size_t end = std::min(text.find('\n', at), text.size());
        CheckValueTexts(text.substr(at, end - at));
        at = end + 1;
    }
    {
        std::ofstream out(HiveFile(), std::ios::binary | std::ios::trunc);
        out.write(text.data(), static_cast<std::streamsize>(text.size()));
    }
    const lane::platform::Registry registry(HiveFile());
    MonitorSettings settings;
    LoadSettings(registry, settings);
    CDeviceStatistics statistics;
    LoadStatistics(registry, statistics);
    for (const auto& [group, name] : {std::pair{kSecModGroup, kGreenButtonTimesHistory},
                                      std::pair{kSecModGroup, kRedButtonTimesHistory},
                                      std::pair{kSecScaleGroup, kResetTimesHistory},
                                      std::pair{kSecScaleGroup, kCalibrateTimesHistory}}) {
        TimeHistory history;
        LoadTimeList(registry, group, name, history);
    }
    const std::string report = StatusReportText(statistics, settings, 1'700'000'000);
    Check(!report.empty());
    const std::string metrics = FleetMetricsText(statistics, settings);
    // Every byte of the metrics file is printable ASCII or a line feed, whatever was loaded.
    for (const char c : metrics) {
        Check(c == '\n' || (c >= 0x20 && c < 0x7F));
    }
    return 0;
}
