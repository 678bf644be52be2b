// The installer's success and failure logs, named after the lane.
#include "installer/InstallerLog.h"

#include <filesystem>
#include <memory>
#include <system_error>

#include "common/TimeText.h"
#include "installer/InstallerText.h"
#include "platform/File.h"

namespace lane::quillan {

namespace {

inline constexpr std::string_view kErrorPrefix = "ERROR";

}  // namespace

std::string LogFileName(int laneNumber, char letter) {
    return FormatText("%s%d_%c.log", kLogFilePrefix, laneNumber, letter);
}

std::string FormatLogLine(std::time_t seconds, std::string_view text) {
    const std::tm local = LocalTm(seconds);
    char stamp[64];
    if (std::strftime(stamp, sizeof stamp, "%m/%d/%y-%H:%M:%S :-", &local) == 0) {
        stamp[0] = '\0';
    }
    std::string line = stamp;
    line.append(" - ");
    line.append(text);
    line.append(" \n");
    return line;
}

void CInstallerLog::Open(int laneNumber) {
    laneNumber_ = laneNumber;
    for (const char letter : {'S', 'F'}) {
        static_cast<void>(platform::DeleteFile(HostPath(letter)));
    }
}

std::string CInstallerLog::HostPath(char letter) const {
    return paths_.Map(LogFileName(laneNumber_, letter));
}

void CInstallerLog::Log(const std::string& text) {
    if (text.compare(0, kErrorPrefix.size(), kErrorPrefix) != 0) {
        lastInfoMessage_ = text;
    }
    const std::string line = FormatLogLine(clock_.Now().seconds, text);
    Append('S', line);
    Append('F', line);
}

void CInstallerLog::Append(char letter, const std::string& line) {
    const std::string path = HostPath(letter);
    std::unique_ptr<platform::SharedFile> file;
    std::uint32_t error = platform::OpenSharedFile(path, file);
    if (error != 0) {
        // The software-distribution folder (even drive c) may be missing on a lane set up by
        // hand: make it, so that the run is not left without its record.
        std::error_code ignored;
        std::filesystem::create_directories(std::filesystem::path(path).parent_path(), ignored);
        error = platform::OpenSharedFile(path, file);
    }
    if (error == 0) {
        error = file->SeekToEnd();
    }
    if (error == 0) {
        error = file->Write(line.data(), line.size());
    }
    if (error != 0 && writeError_ == 0) {
        writeError_ = error;
        failedPath_ = path;
    }
}

void CInstallerLog::Finish(bool success) {
    static_cast<void>(platform::DeleteFile(HostPath(success ? 'F' : 'S')));
}

}  // namespace lane::quillan
