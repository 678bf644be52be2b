// Claiming lanesim's sockets: lock, folder, listen, each failure with its reason and path.
#include "sim/Sockets.h"

#include <cstdint>
#include <filesystem>

#include "platform/File.h"
#include "platform/FileRead.h"
#include "platform/SystemError.h"
#include "sim/ModuleFace.h"
#include "sim/PipeFace.h"

namespace lane::sim {

namespace {

// Windows' "All pipe instances are busy", as the platform reports a socket someone listens on.
constexpr std::uint32_t kErrorPipeBusy = 231;

std::string CannotListen(const std::string& windowsName, const std::string& path,
                         const std::string& why) {
    return "cannot listen on " + windowsName + " at " + path + " (" + why + ")";
}

// A folder under the lane root, made when missing, so that a refusal there (a read-only lane
// root) is reported as itself and not as a missing path or a lock not taken later.
std::uint32_t MakeFolder(const std::string& folder) {
    if (platform::KindOfHostPath(folder) == platform::HostPathKind::Folder) {
        return platform::kErrorSuccess;
    }
    return platform::CreateDirectory(folder);
}

// Takes the lanesim lock of one socket and makes its folder; false with the message.
bool Prepare(const platform::LanePaths& paths, const std::string& lockTitle,
             const std::string& windowsName, const std::string& socketPath, ClaimedSockets& claimed,
             std::string& message) {
    const std::string lockFolder = paths.Internal("locks", "");
    const std::uint32_t lockFolderError = MakeFolder(lockFolder);
    if (lockFolderError != platform::kErrorSuccess) {
        message =
            CannotListen(windowsName, socketPath, platform::SystemErrorReason(lockFolderError)) +
            ": the lock folder " + lockFolder + " cannot be made";
        return false;
    }
    std::unique_ptr<platform::InstanceLock> lock;
    std::string lockPath;
    const std::uint32_t lockError = platform::AcquireInstanceLock(paths, lockTitle, lock, lockPath);
    if (lockError == platform::kErrorAlreadyExists) {
        message =
            CannotListen(windowsName, socketPath, platform::SystemErrorReason(kErrorPipeBusy)) +
            ": another lanesim serves it";
        return false;
    }
    if (lockError != platform::kErrorSuccess) {
        message = CannotListen(windowsName, socketPath, platform::SystemErrorReason(lockError)) +
                  ": the lock " + lockPath + " cannot be taken";
        return false;
    }
    claimed.locks.push_back(std::move(lock));
    const std::uint32_t folderError =
        MakeFolder(std::filesystem::path(socketPath).parent_path().string());
    if (folderError != platform::kErrorSuccess) {
        message = CannotListen(windowsName, socketPath, platform::SystemErrorReason(folderError));
        return false;
    }
    return true;
}

bool ClaimPipe(const platform::LanePaths& paths, ClaimedSockets& claimed, std::string& message) {
    const std::string windowsName = "\\\\.\\pipe\\" + std::string(kSimulatorPipeName);
    const std::string path = paths.Internal("pipe", kSimulatorPipeName);
    if (!Prepare(paths, std::string("lanesim pipe ") + kSimulatorPipeName, windowsName, path,
                 claimed, message)) {
        return false;
    }
    const std::uint32_t error = platform::ListenPipe(paths, kSimulatorPipeName, claimed.pipe);
    if (error != platform::kErrorSuccess) {
        message = CannotListen(windowsName, path, platform::SystemErrorReason(error));
        return false;
    }
    claimed.paths.push_back(path);
    return true;
}

bool ClaimDevice(const platform::LanePaths& paths, const char* name,
                 std::unique_ptr<platform::DeviceServer>& server, ClaimedSockets& claimed,
                 std::string& message) {
    const std::string windowsName = "\\\\.\\" + std::string(name);
    const std::string path = paths.Internal("driver", name);
    if (!Prepare(paths, std::string("lanesim driver ") + name, windowsName, path, claimed,
                 message)) {
        return false;
    }
    const std::uint32_t error = platform::ListenDevice(paths, name, server);
    if (error != platform::kErrorSuccess) {
        message = CannotListen(windowsName, path, platform::SystemErrorReason(error));
        return false;
    }
    claimed.paths.push_back(path);
    return true;
}

}  // namespace

bool ClaimSockets(const platform::LanePaths& paths, bool pipe, bool module, ClaimedSockets& claimed,
                  std::string& message) {
    claimed = ClaimedSockets{};
    const bool done =
        (!pipe || ClaimPipe(paths, claimed, message)) &&
        (!module || (ClaimDevice(paths, kModuleUsbDeviceName, claimed.usb, claimed, message) &&
                     ClaimDevice(paths, kModuleBoardDeviceName, claimed.board, claimed, message)));
    if (!done) {
        // Servers before locks: the sockets stop listening while they are still ours.
        claimed.pipe.reset();
        claimed.usb.reset();
        claimed.board.reset();
        claimed.locks.clear();
        claimed.paths.clear();
    }
    return done;
}

}  // namespace lane::sim
