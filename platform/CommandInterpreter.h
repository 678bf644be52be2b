// The command-interpreter stand-in: runs `call "x.bat"` and the batch lines the update files use.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "common/Waitable.h"
#include "platform/LanePath.h"

namespace lane::platform {

// What the runner and the interpreter return when they were stopped before their end
// (ERROR_OPERATION_ABORTED).
inline constexpr std::uint32_t kErrorOperationAborted = 995;
// How long a program asked to end (SIGTERM) may take before it is killed.
inline constexpr std::int64_t kChildStopWaitMs = 5000;

// One batch line, read as the command interpreter reads it.
struct BatchLine {
    enum class Kind {
        Nothing,  // empty or blank, a label or comment (":..."), or a remark ("REM ...")
        Command,  // a program (or batch file) to run, with its arguments
    };
    Kind kind = Kind::Nothing;
    bool call = false;  // written with `call`
    // The program as written, quotes removed ("Tembo", "c:\kel lane\applications\Moxtel").
    std::string program;
    // The arguments as the program's run-time library splits its command line: blanks separate,
    // quotes group and are removed, Windows paths are kept as written.
    std::vector<std::string> arguments;
};

// Reads one line (without its line end). Never fails: what is not a comment is a command.
BatchLine ParseBatchLine(std::string_view line);
// The lines of a batch file, split at CR LF or LF, without their line ends.
std::vector<std::string> SplitBatchLines(std::string_view text);

// Starts one program and waits for it to end: the part of the interpreter that touches processes.
class ProgramRunner {
  public:
    virtual ~ProgramRunner() = default;
    // Runs `hostProgram` with `arguments` in the current directory and waits for it. Returns 0
    // with its exit code, or the Windows error of the start (the program ran not at all).
    [[nodiscard]] virtual std::uint32_t Run(const std::string& hostProgram,
                                            const std::vector<std::string>& arguments,
                                            int& exitCode) = 0;
};

// Runs each program through ChildProcess; the program's output lines go to `output`. When
// `stop` (optional) is set while a program runs, the program is asked to end, killed when it has
// not ended within kChildStopWaitMs, and Run returns kErrorOperationAborted.
class ChildProgramRunner final : public ProgramRunner {
  public:
    explicit ChildProgramRunner(std::function<void(const std::string&)> output,
                                const ManualResetEvent* stop = nullptr)
        : output_(std::move(output)), stop_(stop) {}
    [[nodiscard]] std::uint32_t Run(const std::string& hostProgram,
                                    const std::vector<std::string>& arguments,
                                    int& exitCode) override;

  private:
    bool Stopped() const { return stop_ != nullptr && stop_->IsSet(); }

    std::function<void(const std::string&)> output_;
    const ManualResetEvent* stop_;
};

// The interpreter. Programs are looked up through the lane paths (a bare name in the current
// directory), first as written and then with ".exe"; a name ending in ".bat" or ".cmd" is read
// and run line by line. Each program runs in turn and is waited for. A program that cannot be
// found or started is reported on `errorOutput` in the interpreter's words, and the batch goes on.
// Once `stop` (optional) is set, no further line runs.
class CommandInterpreter {
  public:
    CommandInterpreter(const LanePaths& paths, ProgramRunner& runner,
                       std::function<void(const std::string&)> errorOutput,
                       const ManualResetEvent* stop = nullptr);
    virtual ~CommandInterpreter() = default;
    CommandInterpreter(const CommandInterpreter&) = delete;
    CommandInterpreter& operator=(const CommandInterpreter&) = delete;

    // Runs one command line (`call "c:\kel lane\firmwareupdate\UpdateProcess.bat"`) and waits
    // for everything it starts. Returns 0 with the exit code of the last command (1 when a
    // command could not be found), kErrorOperationAborted when it was stopped before the end, or
    // the Windows error when the interpreter itself could not run.
    [[nodiscard]] virtual std::uint32_t Run(const std::string& commandLine, int& exitCode);

  private:
    int RunLine(const BatchLine& line, int depth);
    int RunBatchFile(const std::string& hostPath, int depth);
    // The host path of the program, or empty when there is none.
    std::string FindProgram(const std::string& program) const;
    bool Stopped() const { return stop_ != nullptr && stop_->IsSet(); }

    const LanePaths& paths_;
    ProgramRunner& runner_;
    std::function<void(const std::string&)> errorOutput_;
    const ManualResetEvent* stop_;
};

}  // namespace lane::platform
