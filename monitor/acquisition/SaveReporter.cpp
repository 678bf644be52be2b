// CSaveReporter: makes a failed registry save of the settings or statistics seen, never silent.
#include "monitor/acquisition/SaveReporter.h"

#include "platform/SystemError.h"

namespace lane::monitor {

namespace {

const char* BlockName(SavedBlock block) {
    return block == SavedBlock::Settings ? "settings" : "statistics";
}

}  // namespace

std::string CSaveReporter::Reason(std::uint32_t error) {
    std::string text = platform::SystemErrorText(error);
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r' || text.back() == '.')) {
        text.pop_back();
    }
    return text + " (error " + std::to_string(error) + ")";
}

std::uint32_t CSaveReporter::Note(SavedBlock block, std::uint32_t result, bool show) {
    const auto index = static_cast<std::size_t>(block);
    std::uint32_t previous = 0;
    {
        std::lock_guard<std::mutex> lock(lock_);
        previous = lastError_[index];
        lastError_[index] = result;
    }
    const std::string name = BlockName(block);
    if (result == 0) {
        if (previous != 0) {
            trace_.TraceNote("The " + name + " are saved to the registry again");
        }
        return result;
    }
    trace_.TraceNote("The " + name + " could not be saved to the registry: " + Reason(result) +
                     "; the next save tries again");
    if (show && previous == 0) {
        // Outside the lock: the box may wait for the user.
        messageBox_.Show("The " + name + " could not be saved to " + hiveFile_ + ": " +
                             Reason(result) + ". The next save tries again.",
                         "Registry", platform::MessageIcon::Error);
    }
    return result;
}

bool CSaveReporter::ReportLoss() {
    std::array<std::uint32_t, 2> errors{};
    {
        std::lock_guard<std::mutex> lock(lock_);
        errors = lastError_;
    }
    const bool settingsLost = errors[0] != 0;
    const bool statisticsLost = errors[1] != 0;
    if (!settingsLost && !statisticsLost) {
        return false;
    }
    const std::string what = settingsLost && statisticsLost ? "settings and statistics"
                             : settingsLost                 ? "settings"
                                                            : "statistics";
    const std::string reason = Reason(statisticsLost ? errors[1] : errors[0]);
    trace_.TraceNote("The " + what + " could not be saved at the stop and are lost: " + reason);
    messageBox_.Show("The " + what + " could not be saved to " + hiveFile_ +
                         " at the stop: " + reason + ". They are lost.",
                     "Registry", platform::MessageIcon::Error);
    return true;
}

}  // namespace lane::monitor
