// A program run under a pseudo-terminal: POSIX pseudo-terminal pair and posix_spawn.
#include "platform/PseudoTerminal.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/ioctl.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>

extern char** environ;

namespace lane::platform {

namespace {

constexpr std::uint32_t kErrorInvalidHandle = 6;
constexpr std::uint32_t kErrorFileNotFound = 2;
constexpr std::uint32_t kErrorInvalidParameter = 87;
constexpr std::uint32_t kErrorGenFailure = 31;

std::vector<std::string> WithAdditions(
    const std::vector<std::pair<std::string, std::string>>& additions) {
    std::vector<std::string> entries;
    for (char** entry = environ; entry != nullptr && *entry != nullptr; ++entry) {
        const bool replaced = std::any_of(additions.begin(), additions.end(), [&](const auto& a) {
            return std::strncmp(*entry, a.first.c_str(), a.first.size()) == 0 &&
                   (*entry)[a.first.size()] == '=';
        });
        if (!replaced) {
            entries.emplace_back(*entry);
        }
    }
    for (const auto& [name, value] : additions) {
        entries.push_back(name + "=" + value);
    }
    return entries;
}

std::vector<char*> Pointers(std::vector<std::string>& strings) {
    std::vector<char*> pointers;
    for (std::string& text : strings) {
        pointers.push_back(text.data());
    }
    pointers.push_back(nullptr);
    return pointers;
}

int RemainingMs(std::chrono::steady_clock::time_point deadline) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
        deadline - std::chrono::steady_clock::now());
    return static_cast<int>(std::clamp<std::int64_t>(left.count(), 0, 1000 * 1000 * 1000));
}

bool SetSize(int fd, int rows, int columns) {
    winsize size{};
    size.ws_row = static_cast<unsigned short>(rows);
    size.ws_col = static_cast<unsigned short>(columns);
    return ::ioctl(fd, TIOCSWINSZ, &size) == 0;
}

}  // namespace

PseudoTerminalProcess::~PseudoTerminalProcess() {
    if (pid_ > 0) {
        ::kill(pid_, SIGKILL);
        int status = 0;
        while (::waitpid(pid_, &status, 0) < 0 && errno == EINTR) {
        }
    }
    if (masterFd_ >= 0) {
        ::close(masterFd_);
    }
}

std::uint32_t PseudoTerminalProcess::Start(
    const std::string& program, const std::vector<std::string>& arguments,
    const std::vector<std::pair<std::string, std::string>>& environment, int rows, int columns) {
    if (pid_ > 0 || masterFd_ >= 0) {
        return kErrorInvalidParameter;
    }
    if (::access(program.c_str(), X_OK) != 0) {
        return kErrorFileNotFound;
    }
    const int master = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (master < 0 || ::grantpt(master) != 0 || ::unlockpt(master) != 0 ||
        !SetSize(master, rows, columns)) {
        if (master >= 0) {
            ::close(master);
        }
        return kErrorGenFailure;
    }
    char slaveName[128] = {};
    if (::ptsname_r(master, slaveName, sizeof slaveName) != 0) {
        ::close(master);
        return kErrorGenFailure;
    }
    posix_spawn_file_actions_t actions;
    posix_spawnattr_t attributes;
    posix_spawn_file_actions_init(&actions);
    posix_spawnattr_init(&attributes);
    // A new session: the terminal opened first becomes its controlling terminal.
    posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, slaveName, O_RDWR, 0);
    posix_spawn_file_actions_adddup2(&actions, STDIN_FILENO, STDOUT_FILENO);
    posix_spawn_file_actions_adddup2(&actions, STDIN_FILENO, STDERR_FILENO);
    sigset_t none;
    sigemptyset(&none);
    sigset_t defaults;
    sigfillset(&defaults);
    posix_spawnattr_setsigmask(&attributes, &none);
    posix_spawnattr_setsigdefault(&attributes, &defaults);
    posix_spawnattr_setflags(&attributes,
                             POSIX_SPAWN_SETSID | POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);
    std::vector<std::string> argv{program};
    argv.insert(argv.end(), arguments.begin(), arguments.end());
    std::vector<std::string> envp = WithAdditions(environment);
    std::vector<char*> argPointers = Pointers(argv);
    std::vector<char*> envPointers = Pointers(envp);
    pid_t pid = -1;
    const int error = ::posix_spawn(&pid, program.c_str(), &actions, &attributes,
                                    argPointers.data(), envPointers.data());
    posix_spawnattr_destroy(&attributes);
    posix_spawn_file_actions_destroy(&actions);
    if (error != 0) {
        ::close(master);
        return kErrorGenFailure;
    }
    pid_ = pid;
    masterFd_ = master;
    return 0;
}

std::uint32_t PseudoTerminalProcess::Type(std::string_view keys) {
    if (masterFd_ < 0) {
        return kErrorInvalidHandle;
    }
    while (!keys.empty()) {
        const ssize_t written = ::write(masterFd_, keys.data(), keys.size());
        if (written < 0) {
            if (errno == EINTR) {
                continue;
            }
            return kErrorInvalidHandle;
        }
        keys.remove_prefix(static_cast<std::size_t>(written));
    }
    return 0;
}

bool PseudoTerminalProcess::ReadAvailable(int waitMs) {
    if (masterFd_ < 0) {
        return false;
    }
    pollfd poll{masterFd_, POLLIN, 0};
    const int ready = ::poll(&poll, 1, waitMs);
    if (ready <= 0) {
        return ready == 0 || errno == EINTR;
    }
    char buffer[4096];
    const ssize_t count = ::read(masterFd_, buffer, sizeof buffer);
    if (count > 0) {
        output_.append(buffer, static_cast<std::size_t>(count));
        return true;
    }
    // EIO: every process holding the terminal has closed it.
    return count < 0 && errno == EINTR;
}

std::uint32_t PseudoTerminalProcess::ReadUntil(std::string_view text, std::int64_t timeoutMs) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    for (;;) {
        const std::size_t found = output_.find(text, searchFrom_);
        if (found != std::string::npos) {
            searchFrom_ = found + text.size();
            return 0;
        }
        const int left = RemainingMs(deadline);
        if (left == 0) {
            return kProcessReadTimeout;
        }
        if (!ReadAvailable(left)) {
            return output_.find(text, searchFrom_) != std::string::npos ? 0 : kProcessOutputEnded;
        }
    }
}

std::uint32_t PseudoTerminalProcess::Resize(int rows, int columns) {
    if (masterFd_ < 0 || pid_ <= 0) {
        return kErrorInvalidHandle;
    }
    if (!SetSize(masterFd_, rows, columns)) {
        return kErrorGenFailure;
    }
    // The terminal tells its foreground process group; the child leads its own session.
    (void)::kill(pid_, SIGWINCH);
    return 0;
}

std::uint32_t PseudoTerminalProcess::WaitFor(ProcessExit& exit, std::int64_t timeoutMs) {
    if (pid_ <= 0) {
        return kErrorInvalidHandle;
    }
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    // The child's end is waited for on a process descriptor beside the terminal's output.
    const int processFd = static_cast<int>(::syscall(SYS_pidfd_open, pid_, 0));
    bool outputOpen = true;
    std::uint32_t result = kProcessReadTimeout;
    for (;;) {
        int status = 0;
        if (::waitpid(pid_, &status, WNOHANG) == pid_) {
            pid_ = -1;
            exit.signalled = WIFSIGNALED(status);
            exit.code = exit.signalled ? WTERMSIG(status) : WEXITSTATUS(status);
            result = 0;
            break;
        }
        const int left = RemainingMs(deadline);
        if (left == 0) {
            break;
        }
        pollfd polls[2] = {{outputOpen ? masterFd_ : -1, POLLIN, 0}, {processFd, POLLIN, 0}};
        if (::poll(polls, 2, left) > 0 && (polls[0].revents & (POLLIN | POLLHUP | POLLERR)) != 0) {
            outputOpen = ReadAvailable(0);
        }
    }
    if (processFd >= 0) {
        ::close(processFd);
    }
    // What the program wrote last.
    while (masterFd_ >= 0) {
        pollfd poll{masterFd_, POLLIN, 0};
        if (::poll(&poll, 1, 0) <= 0 || (poll.revents & POLLIN) == 0 || !ReadAvailable(0)) {
            break;
        }
    }
    return result;
}

}  // namespace lane::platform
