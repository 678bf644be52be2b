// Whole-file reads, crash-safe file replacement and flock-based lock files.
#include "platform/posix/HostFile.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

namespace lane::platform::posix {

namespace {

inline constexpr mode_t kNewFileMode = 0666;  // less the process's umask
inline constexpr std::size_t kReadChunk = 64 * 1024;

int WriteAll(int fd, std::string_view bytes) {
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t written = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (written < 0) {
            if (errno == EINTR) {
                continue;
            }
            return errno;
        }
        done += static_cast<std::size_t>(written);
    }
    return 0;
}

std::string FolderOf(const std::string& path) {
    const std::size_t slash = path.rfind('/');
    if (slash == std::string::npos) {
        return ".";
    }
    return slash == 0 ? "/" : path.substr(0, slash);
}

int SyncFolder(const std::string& folder) {
    const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) {
        return errno;
    }
    const int result = ::fsync(fd) == 0 ? 0 : errno;
    ::close(fd);
    // Some file systems cannot flush a folder; the rename itself has happened.
    return (result == EINVAL || result == EROFS) ? 0 : result;
}

}  // namespace

int ReadWholeFile(const std::string& path, std::string& bytes) {
    bytes.clear();
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        return errno;
    }
    struct stat info {};
    if (::fstat(fd, &info) == 0 && S_ISDIR(info.st_mode)) {
        ::close(fd);
        return EISDIR;
    }
    if (info.st_size > 0) {
        bytes.reserve(static_cast<std::size_t>(info.st_size));
    }
    char chunk[kReadChunk];
    for (;;) {
        const ssize_t got = ::read(fd, chunk, sizeof chunk);
        if (got < 0) {
            if (errno == EINTR) {
                continue;
            }
            const int error = errno;
            ::close(fd);
            return error;
        }
        if (got == 0) {
            break;
        }
        bytes.append(chunk, static_cast<std::size_t>(got));
    }
    ::close(fd);
    return 0;
}

int CreateFresh(const std::string& path, unsigned mode) {
    // A leftover of a crashed run (or a link planted in its place) goes first; the new file is
    // then created exclusively, so nothing is ever written through a symbolic link.
    ::unlink(path.c_str());
    return ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC,
                  static_cast<mode_t>(mode));
}

int ReplaceFile(const std::string& path, const std::string& tempPath, std::string_view bytes) {
    const int fd = CreateFresh(tempPath, kNewFileMode);
    if (fd < 0) {
        return errno;
    }
    struct stat old {};
    if (::lstat(path.c_str(), &old) == 0 && S_ISREG(old.st_mode)) {
        (void)::fchmod(fd, old.st_mode & 07777);
    }
    int error = WriteAll(fd, bytes);
    if (error == 0 && ::fsync(fd) != 0) {
        error = errno;
    }
    if (::close(fd) != 0 && error == 0) {
        error = errno;
    }
    if (error == 0 && ::rename(tempPath.c_str(), path.c_str()) != 0) {
        error = errno;
    }
    if (error != 0) {
        ::unlink(tempPath.c_str());
        return error;
    }
    return SyncFolder(FolderOf(path));
}

FileLock::~FileLock() {
    Release();
}

void FileLock::Release() {
    if (fd_ >= 0) {
        ::close(fd_);  // closing the only descriptor of the open file drops its flock
        fd_ = -1;
    }
}

int FileLock::Acquire(const std::string& lockPath, Mode mode, bool create) {
    return Lock(lockPath, mode, create, true);
}

int FileLock::TryAcquire(const std::string& lockPath, Mode mode, bool create) {
    return Lock(lockPath, mode, create, false);
}

int FileLock::Lock(const std::string& lockPath, Mode mode, bool create, bool wait) {
    Release();
    int fd = ::open(lockPath.c_str(), O_RDWR | O_CLOEXEC | (create ? O_CREAT : 0), kNewFileMode);
    if (fd < 0 && errno == EACCES && mode == Mode::Shared) {
        fd = ::open(lockPath.c_str(), O_RDONLY | O_CLOEXEC);  // a reader may lack write access
    }
    if (fd < 0) {
        return errno;
    }
    const int operation = (mode == Mode::Shared ? LOCK_SH : LOCK_EX) | (wait ? 0 : LOCK_NB);
    while (::flock(fd, operation) != 0) {
        if (errno == EINTR) {
            continue;
        }
        const int error = errno;
        ::close(fd);
        return error;
    }
    fd_ = fd;
    return 0;
}

}  // namespace lane::platform::posix
