// Plain-file reads on POSIX: open with O_NONBLOCK, fstat the open file, then read.
#include "platform/RegularFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "platform/SystemError.h"

namespace lane::platform {

namespace {

class Descriptor {
  public:
    explicit Descriptor(int fd) : fd_(fd) {}
    ~Descriptor() {
        if (fd_ >= 0) {
            ::close(fd_);
        }
    }
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;
    int Get() const { return fd_; }

  private:
    int fd_;
};

FileKind KindOf(mode_t mode) {
    if (S_ISREG(mode)) {
        return FileKind::Regular;
    }
    return S_ISDIR(mode) ? FileKind::Folder : FileKind::Other;
}

}  // namespace

std::uint32_t ReadRegularFile(const std::string& hostPath, std::size_t maxBytes, std::string& bytes,
                              FileKind& kind) {
    bytes.clear();
    kind = FileKind::Other;
    // What is not a plain file is refused before it is opened (opening a pipe's read end would
    // release a writer waiting for a reader). The type is checked again on the open file, in
    // case something else was put in place meanwhile; O_NONBLOCK keeps such a pipe from holding
    // the open.
    struct stat named {};
    if (::stat(hostPath.c_str(), &named) == 0) {
        kind = KindOf(named.st_mode);
        if (kind != FileKind::Regular) {
            return kErrorAccessDenied;
        }
    }
    const Descriptor file(::open(hostPath.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
    if (file.Get() < 0) {
        return WindowsErrorFromErrnoForPath(errno, hostPath);
    }
    struct stat info {};
    if (::fstat(file.Get(), &info) != 0) {
        return WindowsErrorFromErrno(errno);
    }
    kind = KindOf(info.st_mode);
    if (kind != FileKind::Regular) {
        return kErrorAccessDenied;
    }
    bytes.resize(maxBytes);
    std::size_t count = 0;
    while (count < maxBytes) {
        const ssize_t got = ::read(file.Get(), bytes.data() + count, maxBytes - count);
        if (got < 0 && errno == EINTR) {
            continue;
        }
        if (got < 0) {
            const int error = errno;
            bytes.clear();
            return WindowsErrorFromErrno(error);
        }
        if (got == 0) {
            break;
        }
        count += static_cast<std::size_t>(got);
    }
    bytes.resize(count);
    return kErrorSuccess;
}

}  // namespace lane::platform
