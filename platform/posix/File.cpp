// Files opened the way the trace file is: read and write, shared, created when absent.
#include "platform/File.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>

#include "platform/SystemError.h"

namespace lane::platform {

namespace {

class PosixSharedFile final : public SharedFile {
  public:
    explicit PosixSharedFile(int fd) : fd_(fd) {}
    ~PosixSharedFile() override { ::close(fd_); }

    std::uint64_t Position() const override {
        const off_t position = ::lseek(fd_, 0, SEEK_CUR);
        return position < 0 ? 0 : static_cast<std::uint64_t>(position);
    }

    std::uint32_t SeekToEnd() override {
        return ::lseek(fd_, 0, SEEK_END) < 0 ? WindowsErrorFromErrno(errno) : 0;
    }

    std::uint32_t Truncate() override {
        if (::lseek(fd_, 0, SEEK_SET) < 0 || ::ftruncate(fd_, 0) != 0) {
            return WindowsErrorFromErrno(errno);
        }
        return 0;
    }

    std::uint32_t Write(const char* bytes, std::size_t count) override {
        while (count > 0) {
            const ssize_t written = ::write(fd_, bytes, count);
            if (written < 0) {
                if (errno == EINTR) {
                    continue;
                }
                return WindowsErrorFromErrno(errno);
            }
            bytes += written;
            count -= static_cast<std::size_t>(written);
        }
        return 0;
    }

  private:
    int fd_;
};

}  // namespace

std::uint32_t OpenSharedFile(const std::string& hostPath, std::unique_ptr<SharedFile>& file) {
    if (hostPath.empty()) {
        return kErrorBadPathname;  // the lane refused to map the path
    }
    // Never through a symbolic link: the file is cut to length 0 when it grows too big, and a
    // planted link would turn that on a file elsewhere (ELOOP: 1921).
    const int fd = ::open(hostPath.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0644);
    if (fd < 0) {
        return WindowsErrorFromErrno(errno);
    }
    file = std::make_unique<PosixSharedFile>(fd);
    return 0;
}

}  // namespace lane::platform
