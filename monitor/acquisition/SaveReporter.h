// CSaveReporter: makes a failed registry save of the settings or statistics seen, never silent.
#pragma once

#include <array>
#include <cstdint>
#include <mutex>
#include <string>

#include "monitor/acquisition/TraceLog.h"
#include "platform/MessageBox.h"

namespace lane::monitor {

enum class SavedBlock { Settings, Statistics };

class CSaveReporter {
  public:
    CSaveReporter(CTraceLog& trace, platform::MessageBoxService& messageBox, std::string hiveFile)
        : trace_(trace), messageBox_(messageBox), hiveFile_(std::move(hiveFile)) {}

    // Takes the result of one save (0 or the registry's error) and returns it. Every failure is
    // a trace note; the first of a run of failures is also shown to the user (standard error and
    // the system log) unless `show` is false. A success after failures notes the recovery.
    // Any thread.
    std::uint32_t Note(SavedBlock block, std::uint32_t result, bool show = true);

    // After the stop's last saves: when the latest save of a block failed, says once, in the
    // trace and to the user, that what it held is lost. Returns true when something was lost.
    bool ReportLoss();

  private:
    static std::string Reason(std::uint32_t error);

    CTraceLog& trace_;
    platform::MessageBoxService& messageBox_;
    const std::string hiveFile_;
    std::mutex lock_;
    std::array<std::uint32_t, 2> lastError_{};  // by SavedBlock; 0 after a good save
};

}  // namespace lane::monitor
