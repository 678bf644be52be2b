// The single-instance test: a lock named after the window title, held for the life of the process.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "platform/LanePath.h"

namespace lane::platform {

class InstanceLock {
  public:
    virtual ~InstanceLock() = default;
};

// Takes the lock for `title`. Returns 0 and sets `lock`; kErrorAlreadyExists (183) when another
// process holds it; any other Windows error when the lock cannot be taken at all (the lock
// folder cannot be created, a read-only lane root): the test then fails closed, since without
// the lock nobody can tell whether another instance runs. `lockPath` is the lock file's path,
// for the caller's message.
[[nodiscard]] std::uint32_t AcquireInstanceLock(const LanePaths& paths, const std::string& title,
                                                std::unique_ptr<InstanceLock>& lock,
                                                std::string& lockPath);

// As AcquireInstanceLock: the lock, or null when it was not taken for whatever reason.
std::unique_ptr<InstanceLock> TryAcquireInstanceLock(const LanePaths& paths,
                                                     const std::string& title);

}  // namespace lane::platform
