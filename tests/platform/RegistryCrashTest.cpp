// The registry's crash safety: a writer killed at any point leaves the old or the new hive,
// complete and readable.
#include "platform/Registry.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "platform/Process.h"
#include "platform/SystemError.h"
#include "tests/platform/PlatformHelper.h"

namespace lane::platform {
namespace {

namespace fs = std::filesystem;
using testing::Generation;
using testing::GenerationValueText;
using testing::kGenerationKey;
using testing::kValuesPerGeneration;

constexpr int kRounds = 16;
constexpr int kMaxChildBatches = 10000;         // bounds a writer the test fails to kill
constexpr std::int64_t kReadTimeoutMs = 10000;  // bound of the wait for each line of the writer
constexpr int kBoundMs = 10000;                 // bound of the watch for a write in progress

// The generation an "applying <n>" line announces; false for any other line.
bool Announced(const std::string& line, std::uint32_t& generation) {
    return testing::ParseNumberAfter(line, testing::kApplyingPrefix, generation);
}

// Checks that the hive holds one complete generation and returns it.
std::uint32_t CheckComplete(const Registry& registry) {
    std::vector<std::pair<std::string, RegValue>> values;
    EXPECT_EQ(registry.ReadKey(kGenerationKey, values), kErrorSuccess);
    EXPECT_EQ(values.size(), static_cast<std::size_t>(kValuesPerGeneration + 1));
    if (values.size() != static_cast<std::size_t>(kValuesPerGeneration + 1)) {
        return 0;
    }
    const std::uint32_t generation = values.back().second.dword;
    for (int i = 0; i < kValuesPerGeneration; ++i) {
        EXPECT_EQ(values[static_cast<std::size_t>(i)].second.text,
                  GenerationValueText(generation, i));
    }
    return generation;
}

// Busy work of a length set by the round, so the kills land at varying points of a write.
void Spin(std::uint64_t steps) {
    volatile std::uint64_t work = 0;
    for (std::uint64_t i = 0; i < steps; ++i) {
        work = work + i;
    }
}

// Waits (bounded) until the writer has its temporary file open: it is writing, flushing or
// renaming.
void AwaitWriteInProgress(const std::string& tempFile) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(kBoundMs);
    while (!fs::exists(tempFile) && std::chrono::steady_clock::now() < deadline) {
    }
}

TEST(RegistryCrashTest, AWriterKilledMidWriteLeavesACompleteHive) {
    const fs::path root =
        fs::temp_directory_path() / ("lane-crash-" + std::to_string(std::random_device{}()));
    Registry registry(Registry::DefaultHivePath(LanePaths(root.string())));
    ASSERT_EQ(registry.Apply(Generation(1)), kErrorSuccess);
    std::uint32_t generation = 1;
    int killedMidWrite = 0;
    const std::string tempFile = registry.HiveFile() + ".tmp";
    for (int round = 0; round < kRounds; ++round) {
        fs::remove(tempFile);  // left by the last round's writer
        ChildProcess writer;
        ASSERT_EQ(writer.Start(testing::HelperProgram(LANE_BINARY_DIR),
                               {testing::kApplyGenerations, registry.HiveFile(),
                                std::to_string(generation + 1), std::to_string(kMaxChildBatches)},
                               {}),
                  kErrorSuccess);
        // Let the writer begin a varying number of batches; then kill it somewhere in the last
        // one begun, or, in every other round, while it is writing the hive.
        std::uint32_t announced = 0;
        std::string line;
        for (int i = 0; i <= round % 3; ++i) {
            ASSERT_EQ(writer.ReadLine(line, kReadTimeoutMs), kErrorSuccess) << "round " << round;
            ASSERT_TRUE(Announced(line, announced)) << line;
        }
        if (round % 2 == 1) {
            AwaitWriteInProgress(tempFile);
            Spin(static_cast<std::uint64_t>(round) * 3000);
        } else {
            Spin(static_cast<std::uint64_t>(round) * 150000);
        }
        ASSERT_EQ(writer.Kill(), kErrorSuccess);
        ProcessExit exit;
        ASSERT_EQ(writer.Wait(exit), kErrorSuccess);
        EXPECT_TRUE(exit.signalled) << "round " << round << " exit " << exit.code;
        // The batches it began before it died; the last one may not have finished.
        while (writer.ReadLine(line, kReadTimeoutMs) == kErrorSuccess) {
            ASSERT_TRUE(Announced(line, announced)) << line;
        }
        if (fs::exists(tempFile)) {
            ++killedMidWrite;  // the temporary file of an unfinished write is left behind
        }
        const std::uint32_t found = CheckComplete(registry);
        EXPECT_GE(found, generation) << "round " << round;
        EXPECT_TRUE(found == announced || found + 1 == announced)
            << "round " << round << ": found " << found << " after applying " << announced;
        generation = found;
    }
    // The lock died with the writer: a change goes through.
    EXPECT_EQ(registry.Apply(Generation(generation + 1)), kErrorSuccess);
    EXPECT_EQ(CheckComplete(registry), generation + 1);
    // Half the rounds aim at the write itself; at least one of them must have hit it, or this
    // test no longer tests what it says.
    EXPECT_GT(killedMidWrite, 0);
    RecordProperty("KilledMidWrite", killedMidWrite);
    std::error_code ignored;
    fs::remove_all(root, ignored);
}

}  // namespace
}  // namespace lane::platform
