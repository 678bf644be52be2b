// The command interpreter: finds each program through the lane paths, runs it and waits for it.
#include "platform/CommandInterpreter.h"

#include "platform/File.h"
#include "platform/Process.h"
#include "platform/SystemError.h"
#include "platform/posix/HostFile.h"

namespace lane::platform {

namespace {

// The interpreter's exit code for a command it could not find (9009, as cmd sets ERRORLEVEL).
inline constexpr int kExitCommandNotFound = 9009;
// Batch files calling batch files nest at most this deep.
inline constexpr int kMaxBatchDepth = 16;
// How long one read of a program's output waits before it looks again (the program itself is
// waited for without limit, as the interpreter does, unless it is stopped).
inline constexpr std::int64_t kOutputPollMs = 100;

char LowerAscii(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

bool EndsWithIgnoringCase(const std::string& text, const std::string& tail) {
    if (text.size() < tail.size()) {
        return false;
    }
    for (std::size_t i = 0; i < tail.size(); ++i) {
        if (LowerAscii(text[text.size() - tail.size() + i]) != tail[i]) {
            return false;
        }
    }
    return true;
}

bool IsBatchFile(const std::string& path) {
    return EndsWithIgnoringCase(path, ".bat") || EndsWithIgnoringCase(path, ".cmd");
}

bool IsFile(const std::string& hostPath) {
    std::uint32_t attributes = 0;
    return GetFileAttributes(hostPath, attributes) == 0 &&
           (attributes & kFileAttributeDirectory) == 0;
}

std::string WithoutLineEnd(std::string text) {
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) {
        text.pop_back();
    }
    return text;
}

// Ends a program we were asked to stop: asked first, killed when it takes too long.
void EndChild(ChildProcess& child) {
    static_cast<void>(child.Terminate());
    ProcessExit exit;
    if (child.WaitFor(exit, kChildStopWaitMs) == kProcessReadTimeout) {
        static_cast<void>(child.Kill());
        static_cast<void>(child.Wait(exit));
    }
}

}  // namespace

std::uint32_t ChildProgramRunner::Run(const std::string& hostProgram,
                                      const std::vector<std::string>& arguments, int& exitCode) {
    exitCode = 0;
    ChildProcess child;
    const std::uint32_t started = child.Start(hostProgram, arguments, {});
    if (started != 0) {
        return started;
    }
    std::string line;
    for (;;) {
        if (Stopped()) {
            EndChild(child);
            return kErrorOperationAborted;
        }
        const std::uint32_t result = child.ReadLine(line, kOutputPollMs);
        if (result == kProcessReadTimeout) {
            continue;
        }
        if (result != 0) {
            if (!line.empty()) {
                output_(line);
            }
            break;
        }
        output_(line);
    }
    // The output has ended; the program may still be finishing.
    ProcessExit exit;
    for (;;) {
        if (Stopped()) {
            EndChild(child);
            return kErrorOperationAborted;
        }
        const std::uint32_t waited = child.WaitFor(exit, kOutputPollMs);
        if (waited == kProcessReadTimeout) {
            continue;
        }
        if (waited != 0) {
            return waited;
        }
        break;
    }
    exitCode = exit.signalled ? -1 : exit.code;
    return 0;
}

CommandInterpreter::CommandInterpreter(const LanePaths& paths, ProgramRunner& runner,
                                       std::function<void(const std::string&)> errorOutput,
                                       const ManualResetEvent* stop)
    : paths_(paths), runner_(runner), errorOutput_(std::move(errorOutput)), stop_(stop) {}

std::uint32_t CommandInterpreter::Run(const std::string& commandLine, int& exitCode) {
    // The interpreter works in the current directory; without one it cannot start.
    if (CurrentDirectory().empty()) {
        exitCode = 1;
        return kErrorPathNotFound;
    }
    exitCode = RunLine(ParseBatchLine(commandLine), 0);
    return Stopped() ? kErrorOperationAborted : 0;
}

std::string CommandInterpreter::FindProgram(const std::string& program) const {
    if (program.empty()) {
        return {};
    }
    const std::string asWritten = paths_.Map(program);
    if (IsFile(asWritten)) {
        return asWritten;
    }
    const std::string withExe = paths_.Map(program + ".exe");
    return IsFile(withExe) ? withExe : std::string();
}

int CommandInterpreter::RunLine(const BatchLine& line, int depth) {
    if (line.kind != BatchLine::Kind::Command) {
        return 0;
    }
    const std::string hostPath = FindProgram(line.program);
    if (hostPath.empty()) {
        errorOutput_("'" + line.program +
                     "' is not recognized as an internal or external command, operable program "
                     "or batch file.");
        return kExitCommandNotFound;
    }
    if (IsBatchFile(hostPath)) {
        return RunBatchFile(hostPath, depth + 1);
    }
    if (Stopped()) {
        return 1;
    }
    int exitCode = 0;
    const std::uint32_t error = runner_.Run(hostPath, line.arguments, exitCode);
    if (error == kErrorOperationAborted) {
        return 1;
    }
    if (error != 0) {
        errorOutput_(WithoutLineEnd(SystemErrorText(error)));
        return 1;
    }
    return exitCode;
}

int CommandInterpreter::RunBatchFile(const std::string& hostPath, int depth) {
    if (depth > kMaxBatchDepth) {
        errorOutput_("******  B A T C H   R E C U R S I O N  exceeds STACK limits ******");
        return 1;
    }
    std::string text;
    const int readError = posix::ReadWholeFile(hostPath, text);
    if (readError != 0) {
        errorOutput_(WithoutLineEnd(SystemErrorText(WindowsErrorFromErrno(readError))));
        return 1;
    }
    int exitCode = 0;
    for (const std::string& textLine : SplitBatchLines(text)) {
        if (Stopped()) {
            return 1;
        }
        const BatchLine line = ParseBatchLine(textLine);
        if (line.kind != BatchLine::Kind::Command) {
            continue;
        }
        const std::string program = FindProgram(line.program);
        exitCode = RunLine(line, depth);
        // A batch file started without `call` takes over: the caller's remaining lines never run.
        if (!line.call && !program.empty() && IsBatchFile(program)) {
            break;
        }
    }
    return exitCode;
}

}  // namespace lane::platform
