// Tests of the single-instance lock, in one process and across processes.
#include "platform/SingleInstance.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>

#include "platform/Process.h"
#include "platform/SystemError.h"
#include "tests/platform/PlatformHelper.h"

namespace lane::platform {
namespace {

namespace fs = std::filesystem;

constexpr std::int64_t kReadTimeoutMs = 10000;  // bound of the wait for the helper's line

class SingleInstanceTest : public ::testing::Test {
  protected:
    SingleInstanceTest()
        : root_(fs::temp_directory_path() /
                ("lane-instance-" + std::to_string(std::random_device{}()))),
          paths_(root_.string()) {}
    ~SingleInstanceTest() override {
        std::error_code ignored;
        fs::remove_all(root_, ignored);
    }

    // Runs TryAcquireInstanceLock in another process: 0 when it got the lock, 1 when it did not,
    // -1 when the helper did not run or did not exit by itself.
    int AcquireInChild(const std::string& title) {
        ChildProcess child;
        if (child.Start(testing::HelperProgram(LANE_BINARY_DIR),
                        {testing::kTryInstanceLock, root_.string(), title}, {}) != 0) {
            return -1;
        }
        ProcessExit exit;
        if (child.Wait(exit) != 0 || exit.signalled) {
            return -1;
        }
        return exit.code;
    }

    fs::path root_;
    LanePaths paths_;
};

TEST_F(SingleInstanceTest, TheLockFileIsNamedAfterTheTitleUnderLocks) {
    auto lock = TryAcquireInstanceLock(paths_, "Tavrik Lane Monitor - v1.0");
    ASSERT_NE(lock, nullptr);
    EXPECT_TRUE(fs::exists(root_ / "locks" / "Tavrik_Lane_Monitor___v1_0.lock"));
}

TEST_F(SingleInstanceTest, ASecondAcquireInTheSameProcessFailsUntilTheFirstIsReleased) {
    auto first = TryAcquireInstanceLock(paths_, "Tavrik");
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(TryAcquireInstanceLock(paths_, "Tavrik"), nullptr);
    EXPECT_NE(TryAcquireInstanceLock(paths_, "Moxtel"), nullptr);  // another title is free
    first.reset();
    EXPECT_NE(TryAcquireInstanceLock(paths_, "Tavrik"), nullptr);
}

TEST_F(SingleInstanceTest, AnotherProcessIsRefusedWhileTheLockIsHeld) {
    auto lock = TryAcquireInstanceLock(paths_, "Tavrik");
    ASSERT_NE(lock, nullptr);
    EXPECT_EQ(AcquireInChild("Tavrik"), 1);
    lock.reset();
    EXPECT_EQ(AcquireInChild("Tavrik"), 0);
}

TEST_F(SingleInstanceTest, ALockHeldByAnotherProcessRefusesThisOneAndEndsWithIt) {
    ChildProcess holder;
    ASSERT_EQ(holder.Start(testing::HelperProgram(LANE_BINARY_DIR),
                           {testing::kHoldInstanceLock, root_.string(), "Tavrik"}, {}),
              0u);
    std::string line;
    ASSERT_EQ(holder.ReadLine(line, kReadTimeoutMs), 0u);
    ASSERT_EQ(line, testing::kHeldPrefix);
    EXPECT_EQ(TryAcquireInstanceLock(paths_, "Tavrik"), nullptr);
    // The holder is ended without a chance to release anything: the lock goes with the process.
    ASSERT_EQ(holder.Kill(), 0u);
    ProcessExit exit;
    ASSERT_EQ(holder.Wait(exit), 0u);
    EXPECT_TRUE(exit.signalled);
    EXPECT_NE(TryAcquireInstanceLock(paths_, "Tavrik"), nullptr);
}

TEST_F(SingleInstanceTest, ALockThatCannotBeTakenFailsClosedAndSaysWhy) {
    std::unique_ptr<InstanceLock> lock;
    std::string lockPath;
    ASSERT_EQ(AcquireInstanceLock(paths_, "Tavrik", lock, lockPath), 0u);
    std::unique_ptr<InstanceLock> second;
    EXPECT_EQ(AcquireInstanceLock(paths_, "Tavrik", second, lockPath), kErrorAlreadyExists);
    EXPECT_EQ(second, nullptr);
    EXPECT_EQ(lockPath, (root_ / "locks" / "Tavrik.lock").string());
    lock.reset();

    // A file where the lock folder should be: no lock can be made (as on a read-only root, but
    // whoever runs the test).
    fs::remove_all(root_ / "locks");
    std::ofstream(root_ / "locks") << "not a folder";
    EXPECT_EQ(AcquireInstanceLock(paths_, "Tavrik", lock, lockPath), kErrorPathNotFound);
    EXPECT_EQ(lock, nullptr);
    EXPECT_EQ(TryAcquireInstanceLock(paths_, "Tavrik"), nullptr);
}

}  // namespace
}  // namespace lane::platform
