// lanesim's sockets claimed before anything else is touched: the simulator pipe and the module's
// two driver devices, each taken first by a lock that only lanesim instances hold.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "platform/DeviceDriver.h"
#include "platform/LanePath.h"
#include "platform/NamedPipe.h"
#include "platform/SingleInstance.h"

namespace lane::sim {

// The sockets one run serves, listening, with the locks that keep a second lanesim away.
struct ClaimedSockets {
    std::vector<std::unique_ptr<platform::InstanceLock>> locks;
    std::unique_ptr<platform::PipeServer> pipe;
    std::unique_ptr<platform::DeviceServer> usb;
    std::unique_ptr<platform::DeviceServer> board;
    std::vector<std::string> paths;  // host paths: the pipe's first, then the devices'
};

// Claims the pipe (when `pipe`) and the two driver devices (when `module`). A second lanesim on
// the same lane root finds the lock taken and stops there: it never connects to the first one's
// sockets to see whether they are alive, which the first would take for a program connecting.
// False with the message (the socket's Windows name, its path and the reason) when one cannot be
// claimed; what was claimed is let go again.
[[nodiscard]] bool ClaimSockets(const platform::LanePaths& paths, bool pipe, bool module,
                                ClaimedSockets& claimed, std::string& message);

}  // namespace lane::sim
