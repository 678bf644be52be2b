// stats_save_loop: saves statistics generation after generation until killed, and checks what a
// killed saver left (crash-safety tests and scripts/killtest.sh).
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "monitor/stats/DeviceStatistics.h"
#include "monitor/stats/RegistryValues.h"
#include "monitor/stats/Settings.h"
#include "monitor/stats/StatisticsStore.h"
#include "platform/LanePath.h"
#include "platform/Registry.h"
#include "tests/monitor/stats/StatsGeneration.h"

namespace {

constexpr int kExitUsage = 2;
constexpr int kExitSaveFailed = 3;
constexpr int kExitTorn = 4;

// The settings of a generation: three values of different kinds hold its number.
lane::monitor::MonitorSettings SettingsOf(std::uint32_t generation) {
    lane::monitor::MonitorSettings settings;
    settings.MaxLogSize = generation;
    settings.TraceFileName = "c:\\trace" + std::to_string(generation) + ".trc";
    settings.CoinAccBinVolume = generation;
    return settings;
}

// Loads the values key and prints the one generation every stored value belongs to; a missing or
// extra value, or a value of another generation, is a torn set.
int CheckSet(const lane::platform::Registry& registry) {
    using namespace lane;
    std::vector<std::pair<std::string, platform::RegValue>> values;
    if (registry.ReadKey(monitor::kValuesKey, values) != 0) {
        std::puts("torn: the values key does not load");
        return kExitTorn;
    }
    std::vector<std::string> names;
    for (const auto& value : values) {
        names.push_back(value.first);
    }
    if (names != monitor::testing::StoredStatisticsNames()) {
        std::printf("torn: %zu values stored, not the whole set\n", names.size());
        return kExitTorn;
    }
    monitor::CDeviceStatistics loaded;
    monitor::LoadStatistics(registry, loaded);
    std::vector<std::string> mismatches;
    const std::uint32_t generation = monitor::testing::GenerationOf(loaded, mismatches);
    if (!mismatches.empty()) {
        std::printf("torn: generation %u with %zu values of another, first %s\n",
                    static_cast<unsigned>(generation), mismatches.size(),
                    mismatches.front().c_str());
        return kExitTorn;
    }
    // The settings of a generation are saved after its statistics: which generation they hold
    // is for the caller to judge, but the three values must agree.
    monitor::MonitorSettings settings;
    monitor::LoadSettings(registry, settings);
    const std::uint32_t saved = settings.MaxLogSize;
    if (settings.CoinAccBinVolume != saved ||
        settings.TraceFileName != SettingsOf(saved).TraceFileName) {
        std::printf("torn: settings of generations %u, %u and %s\n", static_cast<unsigned>(saved),
                    static_cast<unsigned>(settings.CoinAccBinVolume),
                    settings.TraceFileName.c_str());
        return kExitTorn;
    }
    std::printf("generation %u settings %u\n", static_cast<unsigned>(generation),
                static_cast<unsigned>(saved));
    return 0;
}

}  // namespace

// stats_save_loop <first generation> <number of saves>: saves statistics and then settings into
// the registry of the lane root that LANE_ROOT names, writing "saving <generation>" to standard
// output before each pair of saves.
// stats_save_loop check: prints "generation <n> settings <m>" when the stored statistics and
// settings are whole sets, else "torn: ...".
int main(int argc, char** argv) {
    using namespace lane;
    std::string root;
    std::string rootError;
    if (platform::LaneRootFromEnvironment(root, rootError) != 0) {
        std::fprintf(stderr, "stats_save_loop: %s\n", rootError.c_str());
        return kExitUsage;
    }
    platform::Registry registry(platform::Registry::DefaultHivePath(platform::LanePaths(root)));
    if (argc == 2 && std::string(argv[1]) == "check") {
        return CheckSet(registry);
    }
    std::uint32_t first = 0;
    std::uint32_t count = 0;
    if (argc != 3 || !monitor::ParseNumberText(argv[1], first) ||
        !monitor::ParseNumberText(argv[2], count)) {
        std::fputs("usage: stats_save_loop <first generation> <number of saves> | check\n", stderr);
        return kExitUsage;
    }
    monitor::CDeviceStatistics statistics;
    for (std::uint32_t i = 0; i < count; ++i) {
        const std::uint32_t generation = first + i;
        monitor::testing::FillGeneration(statistics, generation);
        std::printf("saving %u\n", static_cast<unsigned>(generation));
        std::fflush(stdout);
        if (monitor::SaveStatistics(registry, statistics) != 0 ||
            monitor::SaveSettings(registry, SettingsOf(generation)) != 0) {
            std::printf("failed %u\n", static_cast<unsigned>(generation));
            return kExitSaveFailed;
        }
    }
    return 0;
}
