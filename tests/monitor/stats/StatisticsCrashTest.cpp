// Crash safety: a statistics save killed at any moment leaves the old or the new complete set.
#include "monitor/stats/StatisticsStore.h"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <string>
#include <vector>

#include "monitor/stats/RegistryValues.h"
#include "monitor/stats/Settings.h"
#include "monitor/stats/StatisticsFields.h"
#include "platform/LanePath.h"
#include "platform/Process.h"
#include "platform/Registry.h"
#include "tests/monitor/stats/StatsGeneration.h"
#include "tests/monitor/stats/StatsTestSupport.h"

namespace lane::monitor {
namespace {

namespace fs = std::filesystem;

constexpr int kRounds = 24;
constexpr int kMaxSavesPerChild = 100000;  // bounds a saver the test fails to kill
constexpr std::int64_t kReadTimeoutMs = 10000;
constexpr int kWatchBoundMs = 10000;  // bound of the watch for a write in progress

std::string SaveLoopProgram() {
    return std::string(LANE_BINARY_DIR) + "/tests/monitor/stats_save_loop";
}

// The generation a "saving <n>" line announces; false for any other line.
bool Announced(const std::string& line, std::uint32_t& generation) {
    const std::string prefix = "saving ";
    return line.rfind(prefix, 0) == 0 && ParseNumberText(line.substr(prefix.size()), generation);
}

// Watches (bounded, without sleeping) for the file the registry writes before it renames it
// over the hive: while it exists a save is writing, flushing or renaming.
void AwaitWriteInProgress(const std::string& tempFile) {
    const auto deadline =
        std::chrono::steady_clock::now() + std::chrono::milliseconds(kWatchBoundMs);
    while (!fs::exists(tempFile) && std::chrono::steady_clock::now() < deadline) {
    }
}

// Checks that the values key holds exactly one generation's complete set and returns it.
std::uint32_t CheckComplete(const platform::Registry& registry) {
    std::vector<std::pair<std::string, platform::RegValue>> values;
    EXPECT_EQ(registry.ReadKey(kValuesKey, values), 0u);
    std::vector<std::string> names;
    for (const auto& value : values) {
        names.push_back(value.first);
    }
    EXPECT_EQ(names, testing::StoredStatisticsNames());
    CDeviceStatistics loaded;
    LoadStatistics(registry, loaded);
    std::vector<std::string> mismatches;
    const std::uint32_t generation = testing::GenerationOf(loaded, mismatches);
    EXPECT_TRUE(mismatches.empty()) << "generation " << generation << ": " << mismatches.size()
                                    << " values of another, first " << mismatches.front();
    return generation;
}

TEST(StatisticsCrashTest, SaverKilledAtAnyMomentLeavesAWholeSet) {
    testing::ScratchFolder root;
    platform::Registry registry(
        platform::Registry::DefaultHivePath(platform::LanePaths(root.Path().string())));
    CDeviceStatistics statistics;
    testing::FillGeneration(statistics, 1);
    ASSERT_EQ(SaveStatistics(registry, statistics), 0u);
    // The registry's temporary file, present only while a write is under way.
    const std::string tempFile = registry.HiveFile() + ".tmp";

    std::uint32_t generation = 1;
    int killedMidWrite = 0;
    for (int round = 0; round < kRounds; ++round) {
        fs::remove(tempFile);  // left by the last round's saver
        platform::ChildProcess saver;
        ASSERT_EQ(saver.Start(SaveLoopProgram(),
                              {std::to_string(generation + 1), std::to_string(kMaxSavesPerChild)},
                              {{"LANE_ROOT", root.Path().string()}}),
                  0u);
        // Let a varying number of saves begin; then kill the saver at once (anywhere in the
        // save), or, every other round, once the save is writing the hive.
        std::uint32_t announced = 0;
        std::string line;
        for (int i = 0; i <= round % 3; ++i) {
            ASSERT_EQ(saver.ReadLine(line, kReadTimeoutMs), 0u) << "round " << round;
            ASSERT_TRUE(Announced(line, announced)) << line;
        }
        if (round % 2 == 1) {
            AwaitWriteInProgress(tempFile);
        }
        ASSERT_EQ(saver.Kill(), 0u);
        platform::ProcessExit exit;
        ASSERT_EQ(saver.Wait(exit), 0u);
        EXPECT_TRUE(exit.signalled) << "round " << round << " exit " << exit.code;
        // The saves it announced before it died; the last one may not have finished.
        while (saver.ReadLine(line, kReadTimeoutMs) == 0) {
            ASSERT_TRUE(Announced(line, announced)) << line;
        }
        if (fs::exists(tempFile)) {
            ++killedMidWrite;
        }
        const std::uint32_t found = CheckComplete(registry);
        EXPECT_TRUE(found == announced || found + 1 == announced)
            << "round " << round << ": found " << found << " after saving " << announced;
        generation = found;
    }
    // The lock died with the savers: a save goes through.
    testing::FillGeneration(statistics, generation + 1);
    ASSERT_EQ(SaveStatistics(registry, statistics), 0u);
    EXPECT_EQ(CheckComplete(registry), generation + 1);
    // Half the rounds aim at the write itself; unless one of them hit it, this test no longer
    // tests what it says.
    EXPECT_GT(killedMidWrite, 0);
    RecordProperty("KilledMidWrite", killedMidWrite);
}

TEST(StatisticsCrashTest, SaverExitCodesComeBack) {
    platform::ChildProcess saver;
    ASSERT_EQ(saver.Start(SaveLoopProgram(), {"many"}, {}), 0u);
    platform::ProcessExit exit;
    ASSERT_EQ(saver.Wait(exit), 0u);
    EXPECT_FALSE(exit.signalled);
    EXPECT_EQ(exit.code, 2);
    std::string line;
    EXPECT_EQ(saver.ReadLine(line, kReadTimeoutMs), platform::kProcessOutputEnded);
    EXPECT_EQ(saver.Wait(exit), 6u);

    platform::ChildProcess missing;
    EXPECT_EQ(missing.Start(SaveLoopProgram() + "-missing", {}, {}), 2u);
}

}  // namespace
}  // namespace lane::monitor
