// The single-instance lock: an exclusive flock on <root>/locks/<title>.lock, held by the object.
#include "platform/SingleInstance.h"

#include <cerrno>
#include <filesystem>
#include <system_error>

#include "platform/SystemError.h"
#include "platform/posix/HostFile.h"

namespace lane::platform {

namespace {

inline constexpr const char* kLockFolder = "locks";

class FileInstanceLock final : public InstanceLock {
  public:
    posix::FileLock lock;
};

bool IsAsciiAlphanumeric(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9');
}

std::string LockFileName(const std::string& title) {
    std::string name = title;
    for (char& c : name) {
        if (!IsAsciiAlphanumeric(c)) {
            c = '_';
        }
    }
    return name + ".lock";
}

}  // namespace

std::uint32_t AcquireInstanceLock(const LanePaths& paths, const std::string& title,
                                  std::unique_ptr<InstanceLock>& lock, std::string& lockPath) {
    lock.reset();
    lockPath = paths.Internal(kLockFolder, LockFileName(title));
    std::error_code ignored;
    std::filesystem::create_directories(paths.Internal(kLockFolder, ""), ignored);
    auto instance = std::make_unique<FileInstanceLock>();
    // Each call opens the file anew: flock belongs to the open file, so a second acquire in this
    // process conflicts with the first just as another process does.
    const int result = instance->lock.TryAcquire(lockPath, posix::FileLock::Mode::Exclusive, true);
    if (result == EWOULDBLOCK) {
        return kErrorAlreadyExists;
    }
    if (result != 0) {
        return WindowsErrorFromErrnoForPath(result, lockPath);
    }
    lock = std::move(instance);
    return kErrorSuccess;
}

std::unique_ptr<InstanceLock> TryAcquireInstanceLock(const LanePaths& paths,
                                                     const std::string& title) {
    std::unique_ptr<InstanceLock> lock;
    std::string lockPath;
    (void)AcquireInstanceLock(paths, title, lock, lockPath);
    return lock;
}

}  // namespace lane::platform
