// The registry's crash safety: a writer killed at any point leaves the old or the new hive,
// complete and readable.
#include "platform/Registry.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <random>
#include <string>

#include "platform/SystemError.h"

namespace lane::platform {
namespace {

namespace fs = std::filesystem;

constexpr const char* kKey = "SOFTWARE\\Quarnel\\Tavrik\\Values";
constexpr int kValuesPerBatch = 1500;
constexpr int kRounds = 16;
constexpr int kMaxChildBatches = 10000;  // bounds a child the test fails to kill
constexpr int kBoundMs = 10000;          // bound of the watch for a write in progress

std::string ValueText(std::uint32_t generation, int index) {
    return "generation " + std::to_string(generation) + " value " + std::to_string(index) +
           " with some padding to make the hive big";
}

RegBatch Generation(std::uint32_t generation) {
    RegBatch batch;
    for (int i = 0; i < kValuesPerBatch; ++i) {
        batch.SetString(kKey, "Value" + std::to_string(i), ValueText(generation, i));
    }
    batch.SetDword(kKey, "Generation", generation);
    return batch;
}

// The child: applies generation after generation and reports each through the pipe.
[[noreturn]] void RunWriter(Registry& registry, std::uint32_t firstGeneration, int progressFd) {
    for (int n = 0; n < kMaxChildBatches; ++n) {
        const char report = registry.Apply(Generation(firstGeneration + n)) == 0 ? '+' : 'F';
        if (::write(progressFd, &report, 1) != 1 || report == 'F') {
            ::_exit(2);
        }
    }
    ::_exit(0);
}

// Checks that the hive holds one complete generation and returns it.
std::uint32_t CheckComplete(const Registry& registry) {
    std::vector<std::pair<std::string, RegValue>> values;
    EXPECT_EQ(registry.ReadKey(kKey, values), kErrorSuccess);
    EXPECT_EQ(values.size(), static_cast<std::size_t>(kValuesPerBatch + 1));
    if (values.size() != static_cast<std::size_t>(kValuesPerBatch + 1)) {
        return 0;
    }
    const std::uint32_t generation = values.back().second.dword;
    for (int i = 0; i < kValuesPerBatch; ++i) {
        EXPECT_EQ(values[static_cast<std::size_t>(i)].second.text, ValueText(generation, i));
    }
    return generation;
}

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
        int progress[2];
        ASSERT_EQ(::pipe(progress), 0);
        const pid_t child = ::fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            ::close(progress[0]);
            RunWriter(registry, generation + 1, progress[1]);
        }
        ::close(progress[1]);
        // Let the child finish a varying number of batches; then kill it somewhere in the next
        // one, or, in every other round, while it is writing the hive.
        const int batches = round % 3;
        for (int i = 0; i < batches; ++i) {
            char report = 0;
            ASSERT_EQ(::read(progress[0], &report, 1), 1);
            ASSERT_EQ(report, '+');
        }
        if (round % 2 == 1) {
            AwaitWriteInProgress(tempFile);
            Spin(static_cast<std::uint64_t>(round) * 3000);
        } else {
            Spin(static_cast<std::uint64_t>(round) * 150000);
        }
        ASSERT_EQ(::kill(child, SIGKILL), 0);
        int status = 0;
        ASSERT_EQ(::waitpid(child, &status, 0), child);
        ::close(progress[0]);
        EXPECT_TRUE(WIFSIGNALED(status)) << "round " << round;
        if (fs::exists(tempFile)) {
            ++killedMidWrite;  // the temporary file of an unfinished write is left behind
        }
        const std::uint32_t found = CheckComplete(registry);
        EXPECT_GE(found, generation) << "round " << round;
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
