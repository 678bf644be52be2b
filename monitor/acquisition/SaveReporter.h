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
    // a trace note; the first of a run of failures, and a failure of the stop's last save
    // (`atStop`), are also shown to the user (standard error and the system log). A success after
    // failures notes the recovery. Any thread.
    std::uint32_t Note(SavedBlock block, std::uint32_t result, bool atStop = false);

    // True while the latest save of either block failed: what it held is not in the registry.
    bool Unsaved() const;

  private:
    CTraceLog& trace_;
    platform::MessageBoxService& messageBox_;
    const std::string hiveFile_;
    mutable std::mutex lock_;
    std::array<bool, 2> failing_{};  // by SavedBlock
};

}  // namespace lane::monitor
