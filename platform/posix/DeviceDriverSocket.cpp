// Socket plumbing of the device stand-in: socket paths, connect, listen, whole sends and timed
// frame reads.
#include "platform/posix/DeviceDriverSocket.h"

#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>

#include "platform/SystemError.h"

namespace lane::platform::device {

namespace {

char LowerAscii(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

bool EqualIgnoringCase(const std::string& a, const std::string& b) {
    if (a.size() != b.size()) {
        return false;
    }
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (LowerAscii(a[i]) != LowerAscii(b[i])) {
            return false;
        }
    }
    return true;
}

// Windows spells devices "\\.\NAME"; callers may pass the whole spelling or the name alone.
std::string DeviceName(const std::string& name) {
    constexpr const char kPrefix[] = "\\\\.\\";
    constexpr std::size_t kPrefixLength = sizeof(kPrefix) - 1;
    if (name.compare(0, kPrefixLength, kPrefix) == 0) {
        return name.substr(kPrefixLength);
    }
    return name;
}

}  // namespace

std::string DeviceSocketPath(const LanePaths& paths, const std::string& name) {
    const std::string deviceName = DeviceName(name);
    const std::string folder = paths.Internal("driver", "");
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator(folder, error)) {
        const std::string entryName = entry.path().filename().string();
        if (EqualIgnoringCase(entryName, deviceName)) {
            return paths.Internal("driver", entryName);
        }
    }
    return paths.Internal("driver", deviceName);
}

FrameRead ReadFrame(int fd, FrameReader& reader, const Deadline& deadline) {
    for (;;) {
        pollfd fds[1] = {{fd, POLLIN, 0}};
        const int rc = PollUntil(fds, 1, deadline);
        if (rc < 0) {
            return FrameRead::Closed;
        }
        if (rc == 0) {
            return FrameRead::TimedOut;
        }
        const ssize_t n = recv(fd, reader.Space(), reader.Needed(), MSG_DONTWAIT);
        if (n == 0) {
            return FrameRead::Closed;
        }
        if (n < 0) {
            if (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR) {
                continue;
            }
            return FrameRead::Closed;
        }
        switch (reader.Commit(static_cast<std::size_t>(n))) {
            case FrameReader::Result::Frame:
                return FrameRead::Frame;
            case FrameReader::Result::Bad:
                return FrameRead::Bad;
            case FrameReader::Result::NeedMore:
                break;
        }
    }
}

}  // namespace lane::platform::device
