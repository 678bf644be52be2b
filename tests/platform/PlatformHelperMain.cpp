// platform_test_helper: the second process of the platform tests (registry writers, lock holders).
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <mutex>
#include <string>
#include <string_view>
#include <system_error>

#include "platform/LanePath.h"
#include "platform/Registry.h"
#include "platform/SingleInstance.h"
#include "platform/posix/HostFile.h"
#include "tests/platform/PlatformHelper.h"

namespace {

using namespace lane::platform;
using namespace lane::platform::testing;

// Ends a holder whose test died or forgot it; far beyond any test's own timeout.
constexpr int kHoldBoundSeconds = 300;

void Say(const std::string& line) {
    std::printf("%s\n", line.c_str());
    std::fflush(stdout);
}

bool ParseCount(const char* text, std::uint32_t& count) {
    return ParseNumberAfter(text, "", count);
}

// Blocks until the test ends this process (Terminate or Kill); gives up after the bound.
int WaitToBeEnded() {
    std::mutex mutex;
    std::condition_variable never;
    std::unique_lock lock(mutex);
    never.wait_for(lock, std::chrono::seconds(kHoldBoundSeconds), [] { return false; });
    return kHelperExitNotEnded;
}

// This process's id as /proc numbers it, the same numbering /proc/locks uses; empty without /proc.
std::string ProcessIdInProc() {
    std::error_code error;
    const std::filesystem::path self = std::filesystem::read_symlink("/proc/self", error);
    return error ? std::string() : self.filename().string();
}

// apply-generations HIVE FIRST COUNT: applies generations FIRST, FIRST+1, ... (COUNT of them),
// writing "applying <n>" before each.
int ApplyGenerations(const std::string& hive, std::uint32_t first, std::uint32_t count) {
    Registry registry(hive);
    for (std::uint32_t i = 0; i < count; ++i) {
        Say(kApplyingPrefix + std::to_string(first + i));
        if (registry.Apply(Generation(first + i)) != 0) {
            Say("failed " + std::to_string(first + i));
            return kHelperExitFailed;
        }
    }
    return 0;
}

// set-values HIVE KEY PREFIX COUNT: writes "writing", then sets the DWORDs PREFIX0..PREFIX<COUNT-1>
// of KEY to 0..COUNT-1, one change at a time.
int SetValues(const std::string& hive, const std::string& key, const std::string& prefix,
              std::uint32_t count) {
    Registry registry(hive);
    Say(kWritingLine);
    for (std::uint32_t i = 0; i < count; ++i) {
        if (registry.SetValue(key, prefix + std::to_string(i), RegValue::Dword(i)) != 0) {
            Say("failed " + std::to_string(i));
            return kHelperExitFailed;
        }
    }
    return 0;
}

// try-instance-lock ROOT TITLE: exits 0 when it got the instance lock, 1 when it was refused.
// hold-instance-lock ROOT TITLE: writes "held" and keeps the lock until it is ended, or writes
// "refused" and exits 1.
int TakeInstanceLock(const std::string& root, const std::string& title, bool hold) {
    const auto lock = TryAcquireInstanceLock(LanePaths(root), title);
    if (lock == nullptr) {
        Say("refused");
        return kHelperExitRefused;
    }
    if (!hold) {
        return 0;
    }
    Say(kHeldPrefix);
    return WaitToBeEnded();
}

// hold-registry-lock HIVE: takes the shared lock a reader of the hive holds while it reads,
// writes "held <process id>" and keeps it until it is ended.
int HoldRegistryLock(const std::string& hive) {
    lane::platform::posix::FileLock lock;
    const int error =
        lock.Acquire(hive + ".lock", lane::platform::posix::FileLock::Mode::Shared, false);
    if (error != 0) {
        Say("failed " + std::to_string(error));
        return kHelperExitFailed;
    }
    Say(std::string(kHeldPrefix) + " " + ProcessIdInProc());
    return WaitToBeEnded();
}

int Usage() {
    std::fputs(
        "usage: platform_test_helper apply-generations HIVE FIRST COUNT\n"
        "       platform_test_helper set-values HIVE KEY PREFIX COUNT\n"
        "       platform_test_helper try-instance-lock|hold-instance-lock ROOT TITLE\n"
        "       platform_test_helper hold-registry-lock HIVE\n",
        stderr);
    return kHelperExitUsage;
}

}  // namespace

int main(int argc, char** argv) {
    const std::string_view command = argc > 1 ? argv[1] : "";
    std::uint32_t first = 0;
    std::uint32_t count = 0;
    if (command == kApplyGenerations && argc == 5 && ParseCount(argv[3], first) &&
        ParseCount(argv[4], count)) {
        return ApplyGenerations(argv[2], first, count);
    }
    if (command == kSetValues && argc == 6 && ParseCount(argv[5], count)) {
        return SetValues(argv[2], argv[3], argv[4], count);
    }
    if ((command == kTryInstanceLock || command == kHoldInstanceLock) && argc == 4) {
        return TakeInstanceLock(argv[2], argv[3], command == kHoldInstanceLock);
    }
    if (command == kHoldRegistryLock && argc == 3) {
        return HoldRegistryLock(argv[2]);
    }
    return Usage();
}
