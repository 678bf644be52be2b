// Tests of the single-instance lock, in one process and across a fork.
#include "platform/SingleInstance.h"

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <random>
#include <string>

namespace lane::platform {
namespace {

namespace fs = std::filesystem;

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

    // Runs TryAcquireInstanceLock in a child process: 0 when it got the lock, 1 when it did not.
    int AcquireInChild(const std::string& title) {
        const pid_t child = ::fork();
        if (child == 0) {
            ::_exit(TryAcquireInstanceLock(paths_, title) != nullptr ? 0 : 1);
        }
        int status = 0;
        ::waitpid(child, &status, 0);
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
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
    int ready[2];
    int release[2];
    ASSERT_EQ(::pipe(ready), 0);
    ASSERT_EQ(::pipe(release), 0);
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        auto lock = TryAcquireInstanceLock(paths_, "Tavrik");
        const char got = lock != nullptr ? 'y' : 'n';
        char ignored = 0;
        const bool ok = ::write(ready[1], &got, 1) == 1 && ::read(release[0], &ignored, 1) >= 0;
        ::_exit(ok ? 0 : 1);
    }
    char got = 0;
    ASSERT_EQ(::read(ready[0], &got, 1), 1);
    ASSERT_EQ(got, 'y');
    EXPECT_EQ(TryAcquireInstanceLock(paths_, "Tavrik"), nullptr);
    ASSERT_EQ(::write(release[1], "x", 1), 1);
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    EXPECT_NE(TryAcquireInstanceLock(paths_, "Tavrik"), nullptr);
    for (int fd : {ready[0], ready[1], release[0], release[1]}) {
        ::close(fd);
    }
}

}  // namespace
}  // namespace lane::platform
