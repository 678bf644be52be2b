// Whole-file reads with a size bound, and the kind of a host path.
#include "platform/FileRead.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "platform/SystemError.h"

namespace lane::platform {

namespace {

inline constexpr std::size_t kReadChunkBytes = 64 * 1024;

// Reads from `fd` to its end, or fails with 223 once more than `maxBytes` came.
std::uint32_t ReadToEnd(int fd, const std::string& hostPath, std::size_t maxBytes,
                        std::string& bytes) {
    char chunk[kReadChunkBytes];
    for (;;) {
        const ssize_t got = ::read(fd, chunk, sizeof chunk);
        if (got < 0) {
            if (errno == EINTR) {
                continue;
            }
            return WindowsErrorFromErrnoForPath(errno, hostPath);
        }
        if (got == 0) {
            return kErrorSuccess;
        }
        if (static_cast<std::size_t>(got) > maxBytes - bytes.size()) {
            bytes.clear();
            return kErrorFileTooLarge;
        }
        bytes.append(chunk, static_cast<std::size_t>(got));
    }
}

}  // namespace

std::uint32_t ReadWholeHostFile(const std::string& hostPath, std::size_t maxBytes,
                                std::string& bytes) {
    bytes.clear();
    // Without O_NONBLOCK the open of a FIFO would wait for a writer that may never come.
    const int fd = ::open(hostPath.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        return WindowsErrorFromErrnoForPath(errno, hostPath);
    }
    struct stat info {};
    std::uint32_t result = kErrorSuccess;
    if (::fstat(fd, &info) != 0) {
        result = WindowsErrorFromErrno(errno);
    } else if (S_ISDIR(info.st_mode)) {
        result = kErrorDirectoryNotSupported;
    } else if (S_ISREG(info.st_mode) && static_cast<std::uint64_t>(info.st_size) > maxBytes) {
        result = kErrorFileTooLarge;
    } else if (::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK) != 0) {
        result = WindowsErrorFromErrno(errno);
    } else {
        if (S_ISREG(info.st_mode)) {
            bytes.reserve(static_cast<std::size_t>(info.st_size));
        }
        result = ReadToEnd(fd, hostPath, maxBytes, bytes);
    }
    ::close(fd);
    if (result != kErrorSuccess) {
        bytes.clear();
    }
    return result;
}

HostPathKind KindOfHostPath(const std::string& hostPath) {
    struct stat info {};
    if (::stat(hostPath.c_str(), &info) != 0) {
        return HostPathKind::Missing;
    }
    if (S_ISREG(info.st_mode)) {
        return HostPathKind::RegularFile;
    }
    return S_ISDIR(info.st_mode) ? HostPathKind::Folder : HostPathKind::Other;
}

}  // namespace lane::platform
