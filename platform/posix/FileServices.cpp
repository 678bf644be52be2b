// Folder and file services with Windows' results: current directory, folders, attributes,
// deletion, copies and whole-file writes that never leave a half-written file behind.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <string>

#include "platform/File.h"
#include "platform/SystemError.h"
#include "platform/posix/HostFile.h"

namespace lane::platform {

namespace {

inline constexpr std::uint32_t kErrorDirectory = 267;  // ERROR_DIRECTORY: not a folder
inline constexpr mode_t kWriteBits = S_IWUSR | S_IWGRP | S_IWOTH;

bool EndsWithExe(const std::string& path) {
    if (path.size() < 4) {
        return false;
    }
    const std::string tail = path.substr(path.size() - 4);
    return tail[0] == '.' && (tail[1] == 'e' || tail[1] == 'E') &&
           (tail[2] == 'x' || tail[2] == 'X') && (tail[3] == 'e' || tail[3] == 'E');
}

// A name beside `path` for the copy being written.
std::string TemporaryBeside(const std::string& path) {
    return path + ".~" + std::to_string(static_cast<long>(::getpid()));
}

// 0 when `path` is missing or writable; 5 when it is a read-only file or a folder.
std::uint32_t CheckReplaceable(const std::string& path) {
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0) {
        return 0;
    }
    if (S_ISDIR(info.st_mode) || (info.st_mode & kWriteBits) == 0) {
        return kErrorAccessDenied;
    }
    return 0;
}

std::uint32_t MakeRunnable(const std::string& path) {
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0) {
        return WindowsErrorFromErrnoForPath(errno, path);
    }
    // Runnable by whoever may read it.
    mode_t mode = info.st_mode & 07777;
    if ((mode & S_IRUSR) != 0) {
        mode |= S_IXUSR;
    }
    if ((mode & S_IRGRP) != 0) {
        mode |= S_IXGRP;
    }
    if ((mode & S_IROTH) != 0) {
        mode |= S_IXOTH;
    }
    return ::chmod(path.c_str(), mode) == 0 ? 0 : WindowsErrorFromErrno(errno);
}

}  // namespace

std::uint32_t SetCurrentDirectory(const std::string& hostPath) {
    if (::chdir(hostPath.c_str()) == 0) {
        return 0;
    }
    const int error = errno;
    struct stat info {};
    if (error == ENOTDIR && ::stat(hostPath.c_str(), &info) == 0 && !S_ISDIR(info.st_mode)) {
        return kErrorDirectory;
    }
    return WindowsErrorFromErrnoForPath(error == ENOTDIR ? ENOENT : error, hostPath);
}

std::string CurrentDirectory() {
    std::string buffer(4096, '\0');
    if (::getcwd(buffer.data(), buffer.size()) == nullptr) {
        return {};
    }
    buffer.resize(buffer.find('\0'));
    return buffer;
}

std::uint32_t CreateDirectory(const std::string& hostPath) {
    if (::mkdir(hostPath.c_str(), 0777) == 0) {
        return 0;
    }
    const int error = errno;
    if (error == EEXIST) {
        return kErrorAlreadyExists;
    }
    if (error == ENOENT || error == ENOTDIR) {
        return kErrorPathNotFound;
    }
    return WindowsErrorFromErrno(error);
}

std::uint32_t GetFileAttributes(const std::string& hostPath, std::uint32_t& attributes) {
    attributes = 0;
    struct stat info {};
    if (::stat(hostPath.c_str(), &info) != 0) {
        return WindowsErrorFromErrnoForPath(errno, hostPath);
    }
    if (S_ISDIR(info.st_mode)) {
        attributes = kFileAttributeDirectory;
    } else if ((info.st_mode & kWriteBits) == 0) {
        attributes = kFileAttributeReadOnly;
    } else {
        attributes = kFileAttributeNormal;
    }
    return 0;
}

std::uint32_t SetFileAttributes(const std::string& hostPath, std::uint32_t attributes) {
    struct stat info {};
    if (::stat(hostPath.c_str(), &info) != 0) {
        return WindowsErrorFromErrnoForPath(errno, hostPath);
    }
    mode_t mode = info.st_mode & 07777;
    if ((attributes & kFileAttributeReadOnly) != 0) {
        mode &= ~kWriteBits;
    } else {
        mode |= S_IWUSR;
    }
    return ::chmod(hostPath.c_str(), mode) == 0 ? 0 : WindowsErrorFromErrno(errno);
}

std::uint32_t DeleteFile(const std::string& hostPath) {
    struct stat info {};
    if (::lstat(hostPath.c_str(), &info) != 0) {
        return WindowsErrorFromErrnoForPath(errno, hostPath);
    }
    // Windows refuses to delete a read-only file, whoever asks.
    if (S_ISDIR(info.st_mode) || (!S_ISLNK(info.st_mode) && (info.st_mode & kWriteBits) == 0)) {
        return kErrorAccessDenied;
    }
    return ::unlink(hostPath.c_str()) == 0 ? 0 : WindowsErrorFromErrnoForPath(errno, hostPath);
}

std::uint32_t CopyFile(const std::string& fromHostPath, const std::string& toHostPath) {
    std::string bytes;
    const int readError = posix::ReadWholeFile(fromHostPath, bytes);
    if (readError != 0) {
        return WindowsErrorFromErrnoForPath(readError, fromHostPath);
    }
    struct stat source {};
    if (::stat(fromHostPath.c_str(), &source) != 0) {
        return WindowsErrorFromErrnoForPath(errno, fromHostPath);
    }
    const std::uint32_t refused = CheckReplaceable(toHostPath);
    if (refused != 0) {
        return refused;
    }
    const std::string temporary = TemporaryBeside(toHostPath);
    // The copy takes the source's permissions: write them on the temporary file first.
    const int fd = posix::CreateFresh(temporary, 0600);
    if (fd < 0) {
        return WindowsErrorFromErrnoForPath(errno, toHostPath);
    }
    const int modeError = ::fchmod(fd, source.st_mode & 07777) == 0 ? 0 : errno;
    ::close(fd);
    if (modeError != 0) {
        ::unlink(temporary.c_str());
        return WindowsErrorFromErrno(modeError);
    }
    // ReplaceFile keeps the permissions of the file it replaces, which is the temporary one.
    const int error = posix::ReplaceFile(temporary, temporary + "~", bytes);
    if (error == 0 && ::rename(temporary.c_str(), toHostPath.c_str()) == 0) {
        return EndsWithExe(toHostPath) ? MakeRunnable(toHostPath) : 0;
    }
    const int failure = error != 0 ? error : errno;
    ::unlink(temporary.c_str());
    return WindowsErrorFromErrnoForPath(failure, toHostPath);
}

std::uint32_t WriteWholeFile(const std::string& hostPath, std::string_view bytes) {
    const std::uint32_t refused = CheckReplaceable(hostPath);
    if (refused != 0) {
        return refused;
    }
    const int error = posix::ReplaceFile(hostPath, TemporaryBeside(hostPath), bytes);
    if (error != 0) {
        return WindowsErrorFromErrnoForPath(error, hostPath);
    }
    return EndsWithExe(hostPath) ? MakeRunnable(hostPath) : 0;
}

}  // namespace lane::platform
