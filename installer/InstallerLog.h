// The installer's log: every line goes to the success (S) and the failure (F) log of the lane;
// the one that does not match the outcome is deleted at the end.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "common/Clock.h"
#include "platform/LanePath.h"

namespace lane::quillan {

// Prefix of the two log file names: "<prefix><lane number>_<S or F>.log".
inline constexpr const char* kLogFilePrefix =
    "C:\\Software Distribution\\KelLaneSuiteFirmwareRMQuillan";

// The Windows path of the lane's log with `letter` 'S' or 'F'.
std::string LogFileName(int laneNumber, char letter);
// One log line: the local time as "%m/%d/%y-%H:%M:%S :-", " - ", the text, " \n".
std::string FormatLogLine(std::time_t seconds, std::string_view text);

class CInstallerLog {
  public:
    CInstallerLog(Clock& clock, const platform::LanePaths& paths) : clock_(clock), paths_(paths) {}

    // Names the logs after the lane and deletes any S or F log left by an earlier run.
    void Open(int laneNumber);
    // Appends the line to both logs, each opened for appending (created when missing, with the
    // folders above it) and closed again, so every line is on disk as soon as it is logged.
    void Log(const std::string& text);
    // The Windows error of the first line that could not be written (0 while every line was),
    // and the host path it failed on.
    std::uint32_t WriteError() const { return writeError_; }
    const std::string& FailedPath() const { return failedPath_; }
    // The host path of the log that stays after Finish(success).
    std::string KeptLogPath(bool success) const { return HostPath(success ? 'S' : 'F'); }
    // The text of the last line logged that is not an error ("" before the first).
    const std::string& LastInfoMessage() const { return lastInfoMessage_; }
    // Deletes the failure log after a success, the success log after a failure.
    void Finish(bool success);

  private:
    void Append(char letter, const std::string& line);
    std::string HostPath(char letter) const;

    Clock& clock_;
    const platform::LanePaths& paths_;
    int laneNumber_ = 0;
    std::string lastInfoMessage_;
    std::uint32_t writeError_ = 0;
    std::string failedPath_;
};

}  // namespace lane::quillan
