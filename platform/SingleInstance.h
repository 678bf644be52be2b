// The single-instance test: a lock named after the window title, held for the life of the process.
#pragma once

#include <memory>
#include <string>

#include "platform/LanePath.h"

namespace lane::platform {

class InstanceLock {
  public:
    virtual ~InstanceLock() = default;
};

// Takes the lock for `title`; null when another process holds it.
std::unique_ptr<InstanceLock> TryAcquireInstanceLock(const LanePaths& paths,
                                                     const std::string& title);

}  // namespace lane::platform
