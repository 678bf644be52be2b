// Child processes: start with arguments and environment, read output lines, kill, wait for exit.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace lane::platform {

// Windows numbers ReadLine reports besides 0.
inline constexpr std::uint32_t kProcessOutputEnded = 38;    // ERROR_HANDLE_EOF
inline constexpr std::uint32_t kProcessReadTimeout = 1460;  // ERROR_TIMEOUT

// The longest line ReadLine collects; a longer run of bytes is handed out in pieces this long.
inline constexpr std::size_t kProcessMaxLineBytes = 64 * 1024;

struct ProcessExit {
    bool signalled = false;  // ended by a signal (a kill) rather than by exiting
    int code = 0;            // the exit code, or the signal's number when signalled
};

// One child process. Its standard output comes to us through a pipe; its standard input (unless
// started with StartWithInput) and standard error are ours.
class ChildProcess {
  public:
    ChildProcess() = default;
    // A child still running is killed and waited for.
    ~ChildProcess();
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    // Starts `program` (a host path) with `arguments` after the program name, in this process's
    // environment with each NAME=value of `environment` added (replacing a variable of that
    // name). With `mergeErrorOutput` its standard error comes through the same pipe as its
    // standard output. Returns 0, or the Windows error number (2 when the program does not
    // exist, 87 when a child is already started or a name is empty or holds '=').
    [[nodiscard]] std::uint32_t Start(
        const std::string& program, const std::vector<std::string>& arguments,
        const std::vector<std::pair<std::string, std::string>>& environment,
        bool mergeErrorOutput = false);

    // As Start, but the child's standard input comes from us: WriteInput feeds it, CloseInput
    // (or the end of this object) ends it, and the child then reads the end of its input.
    [[nodiscard]] std::uint32_t StartWithInput(
        const std::string& program, const std::vector<std::string>& arguments,
        const std::vector<std::pair<std::string, std::string>>& environment,
        bool mergeErrorOutput = false);

    // Writes every byte to the child's standard input. Returns 0; 6 when the child was not
    // started with StartWithInput or its input is closed; 109 when the child no longer reads it.
    [[nodiscard]] std::uint32_t WriteInput(std::string_view bytes);

    // Ends the child's standard input.
    void CloseInput();

    // Reads the next line of the child's output, without its line end, waiting at most
    // `timeoutMs` for it. Returns 0; kProcessReadTimeout when no whole line came in time;
    // kProcessOutputEnded when the output ended first (`line` then holds the unterminated rest,
    // possibly empty).
    [[nodiscard]] std::uint32_t ReadLine(std::string& line, std::int64_t timeoutMs);

    // Ends the child at once (it gets no chance to clean up). Returns 0, or 6 when there is no
    // child to kill.
    [[nodiscard]] std::uint32_t Kill();

    // Asks the child to end (SIGTERM), as service staff or a shutdown would. Returns 0, or 6
    // when there is no child.
    [[nodiscard]] std::uint32_t Terminate();

    // Sends the child the service request (SIGUSR1), with which staff ask Tavrik for a status
    // report now. Returns 0, or 6 when there is no child.
    [[nodiscard]] std::uint32_t SendServiceRequest();
    // Sends the child the reload request (SIGHUP), with which staff have Tavrik read its settings
    // again. Returns 0, or 6 when there is no child.
    [[nodiscard]] std::uint32_t SendReloadRequest();

    // Blocks until the child has ended and collects its exit status. Returns 0, or 6 when
    // there is no child to wait for.
    [[nodiscard]] std::uint32_t Wait(ProcessExit& exit);

    // As Wait, but for at most `timeoutMs`: kProcessReadTimeout when the child is still running
    // then.
    [[nodiscard]] std::uint32_t WaitFor(ProcessExit& exit, std::int64_t timeoutMs);

    // True from a successful Start until Wait has collected the exit status.
    bool Running() const { return pid_ > 0; }

  private:
    void CloseOutput();
    std::uint32_t StartChild(const std::string& program, const std::vector<std::string>& arguments,
                             const std::vector<std::pair<std::string, std::string>>& environment,
                             bool mergeErrorOutput, bool withInput);

    int pid_ = -1;
    int outputFd_ = -1;
    int inputFd_ = -1;     // our end of the child's standard input (StartWithInput)
    std::string pending_;  // output read but not yet handed out
};

// True when a process with this id runs now (whoever owns it); false when there is none.
bool ProcessRunning(long processId);

// This process's id.
long CurrentProcessId();

}  // namespace lane::platform
