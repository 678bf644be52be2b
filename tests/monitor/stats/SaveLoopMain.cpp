// stats_save_loop: saves statistics generation after generation until killed (crash-safety test).
#include <cstdint>
#include <cstdio>
#include <string>

#include "monitor/stats/DeviceStatistics.h"
#include "monitor/stats/RegistryValues.h"
#include "monitor/stats/StatisticsStore.h"
#include "platform/LanePath.h"
#include "platform/Registry.h"
#include "tests/monitor/stats/StatsGeneration.h"

namespace {

constexpr int kExitUsage = 2;
constexpr int kExitSaveFailed = 3;

}  // namespace

// stats_save_loop <first generation> <number of saves>: saves into the registry of the lane
// root that LANE_ROOT names, writing "saving <generation>" to standard output before each save.
int main(int argc, char** argv) {
    using namespace lane;
    std::uint32_t first = 0;
    std::uint32_t count = 0;
    if (argc != 3 || !monitor::ParseNumberText(argv[1], first) ||
        !monitor::ParseNumberText(argv[2], count)) {
        std::fputs("usage: stats_save_loop <first generation> <number of saves>\n", stderr);
        return kExitUsage;
    }
    std::string root;
    std::string rootError;
    if (platform::LaneRootFromEnvironment(root, rootError) != 0) {
        std::fprintf(stderr, "stats_save_loop: %s\n", rootError.c_str());
        return kExitUsage;
    }
    platform::Registry registry(platform::Registry::DefaultHivePath(platform::LanePaths(root)));
    monitor::CDeviceStatistics statistics;
    for (std::uint32_t i = 0; i < count; ++i) {
        const std::uint32_t generation = first + i;
        monitor::testing::FillGeneration(statistics, generation);
        std::printf("saving %u\n", static_cast<unsigned>(generation));
        std::fflush(stdout);
        if (monitor::SaveStatistics(registry, statistics) != 0) {
            std::printf("failed %u\n", static_cast<unsigned>(generation));
            return kExitSaveFailed;
        }
    }
    return 0;
}
