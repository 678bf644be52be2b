// Child processes on POSIX: posix_spawn with output on a pipe, poll, SIGKILL and waitpid.
#include "platform/Process.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <thread>

#include "platform/SystemError.h"

namespace lane::platform {

namespace {

inline constexpr std::size_t kReadChunk = 4096;
// How often WaitFor looks whether the child has ended.
inline constexpr std::int64_t kExitPollMs = 10;

bool ValidVariableName(const std::string& name) {
    return !name.empty() && name.find('=') == std::string::npos;
}

// True when the "NAME=value" entry names `name`.
bool EntryNames(const char* entry, const std::string& name) {
    return std::strncmp(entry, name.c_str(), name.size()) == 0 && entry[name.size()] == '=';
}

// This process's environment with the additions, each replacing a variable of its name.
std::vector<std::string> ChildEnvironment(
    const std::vector<std::pair<std::string, std::string>>& additions) {
    std::vector<std::string> entries;
    for (char** entry = environ; entry != nullptr && *entry != nullptr; ++entry) {
        const bool replaced =
            std::any_of(additions.begin(), additions.end(),
                        [&](const auto& addition) { return EntryNames(*entry, addition.first); });
        if (!replaced) {
            entries.emplace_back(*entry);
        }
    }
    for (const auto& [name, value] : additions) {
        entries.push_back(name + "=" + value);
    }
    return entries;
}

// Null-terminated pointers to the strings, as exec wants them; valid while `strings` lives.
std::vector<char*> PointerList(std::vector<std::string>& strings) {
    std::vector<char*> pointers;
    pointers.reserve(strings.size() + 1);
    for (std::string& text : strings) {
        pointers.push_back(text.data());
    }
    pointers.push_back(nullptr);
    return pointers;
}

// Spawns with the write end of the pipe as standard output (and standard error when
// `mergeErrorOutput`), and `inputReadFd` as standard input unless it is -1; returns 0 or the
// errno value. The child starts with no signal blocked, whatever this process blocks for its own
// signal handling.
int SpawnWithOutput(const std::string& program, std::vector<std::string>& argv,
                    std::vector<std::string>& envp, int outputWriteFd, bool mergeErrorOutput,
                    int inputReadFd, pid_t& pid) {
    posix_spawn_file_actions_t actions;
    int error = posix_spawn_file_actions_init(&actions);
    if (error != 0) {
        return error;
    }
    posix_spawnattr_t attributes;
    error = posix_spawnattr_init(&attributes);
    if (error != 0) {
        posix_spawn_file_actions_destroy(&actions);
        return error;
    }
    sigset_t none;
    sigemptyset(&none);
    sigset_t defaults;
    sigemptyset(&defaults);
    sigaddset(&defaults, SIGTERM);
    sigaddset(&defaults, SIGINT);
    sigaddset(&defaults, SIGHUP);
    sigaddset(&defaults, SIGPIPE);
    error = posix_spawnattr_setsigmask(&attributes, &none);
    if (error == 0) {
        error = posix_spawnattr_setsigdefault(&attributes, &defaults);
    }
    if (error == 0) {
        error =
            posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);
    }
    if (error == 0) {
        error = posix_spawn_file_actions_adddup2(&actions, outputWriteFd, STDOUT_FILENO);
    }
    if (error == 0 && mergeErrorOutput) {
        error = posix_spawn_file_actions_adddup2(&actions, outputWriteFd, STDERR_FILENO);
    }
    if (error == 0 && inputReadFd >= 0) {
        error = posix_spawn_file_actions_adddup2(&actions, inputReadFd, STDIN_FILENO);
    }
    if (error == 0) {
        std::vector<char*> argPointers = PointerList(argv);
        std::vector<char*> envPointers = PointerList(envp);
        error = posix_spawn(&pid, program.c_str(), &actions, &attributes, argPointers.data(),
                            envPointers.data());
    }
    posix_spawnattr_destroy(&attributes);
    posix_spawn_file_actions_destroy(&actions);
    return error;
}

// Milliseconds left until `deadline`, never negative.
int RemainingMs(std::chrono::steady_clock::time_point deadline) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
        deadline - std::chrono::steady_clock::now());
    return static_cast<int>(std::clamp<std::int64_t>(left.count(), 0, 1000 * 1000 * 1000));
}

}  // namespace

ChildProcess::~ChildProcess() {
    if (pid_ > 0) {
        ::kill(pid_, SIGKILL);
        int status = 0;
        while (::waitpid(pid_, &status, 0) < 0 && errno == EINTR) {
        }
    }
    CloseOutput();
    CloseInput();
}

void ChildProcess::CloseOutput() {
    if (outputFd_ >= 0) {
        ::close(outputFd_);
        outputFd_ = -1;
    }
}

void ChildProcess::CloseInput() {
    if (inputFd_ >= 0) {
        ::close(inputFd_);
        inputFd_ = -1;
    }
}

std::uint32_t ChildProcess::Start(
    const std::string& program, const std::vector<std::string>& arguments,
    const std::vector<std::pair<std::string, std::string>>& environment, bool mergeErrorOutput) {
    return StartChild(program, arguments, environment, mergeErrorOutput, false);
}

std::uint32_t ChildProcess::StartWithInput(
    const std::string& program, const std::vector<std::string>& arguments,
    const std::vector<std::pair<std::string, std::string>>& environment, bool mergeErrorOutput) {
    return StartChild(program, arguments, environment, mergeErrorOutput, true);
}

std::uint32_t ChildProcess::WriteInput(std::string_view bytes) {
    if (inputFd_ < 0) {
        return kErrorInvalidHandle;
    }
    while (!bytes.empty()) {
        // A socket rather than a pipe: a child that has gone gives EPIPE, not SIGPIPE.
        const ssize_t sent = ::send(inputFd_, bytes.data(), bytes.size(), MSG_NOSIGNAL);
        if (sent < 0 && errno == EINTR) {
            continue;
        }
        if (sent < 0) {
            return errno == EPIPE || errno == ECONNRESET ? kErrorBrokenPipe
                                                         : WindowsErrorFromErrno(errno);
        }
        bytes.remove_prefix(static_cast<std::size_t>(sent));
    }
    return kErrorSuccess;
}

std::uint32_t ChildProcess::StartChild(
    const std::string& program, const std::vector<std::string>& arguments,
    const std::vector<std::pair<std::string, std::string>>& environment, bool mergeErrorOutput,
    bool withInput) {
    if (pid_ > 0 || program.empty()) {
        return kErrorInvalidParameter;
    }
    for (const auto& addition : environment) {
        if (!ValidVariableName(addition.first)) {
            return kErrorInvalidParameter;
        }
    }
    int fds[2] = {-1, -1};
    if (::pipe2(fds, O_CLOEXEC) != 0) {
        return WindowsErrorFromErrno(errno);
    }
    int input[2] = {-1, -1};  // [0] ours, [1] the child's standard input
    if (withInput && ::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, input) != 0) {
        const std::uint32_t failure = WindowsErrorFromErrno(errno);
        ::close(fds[0]);
        ::close(fds[1]);
        return failure;
    }
    std::vector<std::string> argv;
    argv.push_back(program);
    argv.insert(argv.end(), arguments.begin(), arguments.end());
    std::vector<std::string> envp = ChildEnvironment(environment);
    pid_t pid = -1;
    const int error = SpawnWithOutput(program, argv, envp, fds[1], mergeErrorOutput, input[1], pid);
    ::close(fds[1]);
    if (input[1] >= 0) {
        ::close(input[1]);
    }
    if (error != 0) {
        ::close(fds[0]);
        if (input[0] >= 0) {
            ::close(input[0]);
        }
        return WindowsErrorFromErrnoForPath(error, program);
    }
    CloseOutput();
    CloseInput();
    pending_.clear();
    pid_ = pid;
    outputFd_ = fds[0];
    inputFd_ = input[0];
    return kErrorSuccess;
}

std::uint32_t ChildProcess::ReadLine(std::string& line, std::int64_t timeoutMs) {
    const auto deadline = std::chrono::steady_clock::now() +
                          std::chrono::milliseconds(std::max<std::int64_t>(timeoutMs, 0));
    for (;;) {
        const std::size_t end = pending_.find('\n');
        if (end != std::string::npos || pending_.size() >= kProcessMaxLineBytes) {
            const std::size_t take = std::min(end, kProcessMaxLineBytes);
            line.assign(pending_, 0, take);
            pending_.erase(0, take == end ? take + 1 : take);  // the line end goes too
            return kErrorSuccess;
        }
        if (outputFd_ < 0) {
            line = std::move(pending_);
            pending_.clear();
            return kProcessOutputEnded;
        }
        pollfd ready{outputFd_, POLLIN, 0};
        const int polled = ::poll(&ready, 1, RemainingMs(deadline));
        if (polled < 0 && errno == EINTR) {
            continue;
        }
        if (polled == 0) {
            return kProcessReadTimeout;
        }
        char chunk[kReadChunk];
        const ssize_t got = polled < 0 ? -1 : ::read(outputFd_, chunk, sizeof chunk);
        if (got < 0 && errno == EINTR) {
            continue;
        }
        if (got <= 0) {
            CloseOutput();  // end of output, or a pipe that cannot be read any more
            continue;
        }
        pending_.append(chunk, static_cast<std::size_t>(got));
    }
}

std::uint32_t ChildProcess::Kill() {
    if (pid_ <= 0) {
        return kErrorInvalidHandle;
    }
    return ::kill(pid_, SIGKILL) == 0 ? kErrorSuccess : WindowsErrorFromErrno(errno);
}

std::uint32_t ChildProcess::Terminate() {
    if (pid_ <= 0) {
        return kErrorInvalidHandle;
    }
    return ::kill(pid_, SIGTERM) == 0 ? kErrorSuccess : WindowsErrorFromErrno(errno);
}

std::uint32_t ChildProcess::SendServiceRequest() {
    if (pid_ <= 0) {
        return kErrorInvalidHandle;
    }
    return ::kill(pid_, SIGUSR1) == 0 ? kErrorSuccess : WindowsErrorFromErrno(errno);
}

std::uint32_t ChildProcess::SendReloadRequest() {
    if (pid_ <= 0) {
        return kErrorInvalidHandle;
    }
    return ::kill(pid_, SIGHUP) == 0 ? kErrorSuccess : WindowsErrorFromErrno(errno);
}

std::uint32_t ChildProcess::Wait(ProcessExit& exit) {
    if (pid_ <= 0) {
        return kErrorInvalidHandle;
    }
    int status = 0;
    pid_t done = -1;
    do {
        done = ::waitpid(pid_, &status, 0);
    } while (done < 0 && errno == EINTR);
    if (done < 0) {
        return WindowsErrorFromErrno(errno);
    }
    pid_ = -1;
    exit.signalled = WIFSIGNALED(status);
    exit.code = exit.signalled ? WTERMSIG(status) : WEXITSTATUS(status);
    return kErrorSuccess;
}

std::uint32_t ChildProcess::WaitFor(ProcessExit& exit, std::int64_t timeoutMs) {
    if (pid_ <= 0) {
        return kErrorInvalidHandle;
    }
    const auto deadline = std::chrono::steady_clock::now() +
                          std::chrono::milliseconds(std::max<std::int64_t>(timeoutMs, 0));
    for (;;) {
        int status = 0;
        const pid_t done = ::waitpid(pid_, &status, WNOHANG);
        if (done < 0 && errno == EINTR) {
            continue;
        }
        if (done < 0) {
            return WindowsErrorFromErrno(errno);
        }
        if (done == pid_) {
            pid_ = -1;
            exit.signalled = WIFSIGNALED(status);
            exit.code = exit.signalled ? WTERMSIG(status) : WEXITSTATUS(status);
            return kErrorSuccess;
        }
        if (std::chrono::steady_clock::now() >= deadline) {
            return kProcessReadTimeout;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(
            std::min<std::int64_t>(kExitPollMs, std::max(RemainingMs(deadline), 1))));
    }
}

bool ProcessRunning(long processId) {
    if (processId <= 0 || processId != static_cast<long>(static_cast<pid_t>(processId))) {
        return false;
    }
    // Signal 0 only asks whether the process exists; EPERM means it does, but is not ours.
    return ::kill(static_cast<pid_t>(processId), 0) == 0 || errno == EPERM;
}

long CurrentProcessId() {
    return static_cast<long>(::getpid());
}

}  // namespace lane::platform
