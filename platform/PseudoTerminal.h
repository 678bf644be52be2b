// A program run under a pseudo-terminal, as a person at a terminal would run it: keys typed in,
// the screen's bytes read out, the window resized. Used by the end-to-end tests of the window.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "platform/Process.h"

namespace lane::platform {

class PseudoTerminalProcess {
  public:
    PseudoTerminalProcess() = default;
    // A child still running is killed and waited for.
    ~PseudoTerminalProcess();
    PseudoTerminalProcess(const PseudoTerminalProcess&) = delete;
    PseudoTerminalProcess& operator=(const PseudoTerminalProcess&) = delete;

    // Starts `program` in a new session whose controlling terminal is a new pseudo-terminal of
    // `rows` by `columns`, as its standard input, output and error, in this process's
    // environment with `environment` added. Returns 0 or the Windows error number (2 when the
    // program does not exist, 87 when already started).
    [[nodiscard]] std::uint32_t Start(
        const std::string& program, const std::vector<std::string>& arguments,
        const std::vector<std::pair<std::string, std::string>>& environment, int rows, int columns);

    // Types `keys` at the terminal. Returns 0, or 6 when nothing runs.
    [[nodiscard]] std::uint32_t Type(std::string_view keys);

    // Reads what the program wrote to its terminal until `text` is among the bytes read since
    // the last call that found its text (those bytes are then given up to the end of `text`),
    // waiting at most `timeoutMs`. Returns 0, kProcessReadTimeout, or kProcessOutputEnded.
    [[nodiscard]] std::uint32_t ReadUntil(std::string_view text, std::int64_t timeoutMs);
    // Everything the program wrote so far.
    const std::string& Output() const { return output_; }

    // Gives the terminal a new size (the program gets its size-change signal).
    [[nodiscard]] std::uint32_t Resize(int rows, int columns);

    // Waits at most `timeoutMs` for the program to end, reading its output meanwhile so that it
    // never blocks on a full terminal. Returns 0, kProcessReadTimeout, or 6 without a child.
    [[nodiscard]] std::uint32_t WaitFor(ProcessExit& exit, std::int64_t timeoutMs);

  private:
    // Reads what is there within `waitMs`; false once the terminal has no writer any more.
    bool ReadAvailable(int waitMs);

    int pid_ = -1;
    int masterFd_ = -1;
    std::string output_;
    std::size_t searchFrom_ = 0;
};

}  // namespace lane::platform
