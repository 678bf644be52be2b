// CSaveReporter: makes a failed registry save of the settings or statistics seen, never silent.
#include "monitor/acquisition/SaveReporter.h"

#include "platform/SystemError.h"

namespace lane::monitor {

namespace {

const char* BlockName(SavedBlock block) {
    return block == SavedBlock::Settings ? "settings" : "statistics";
}

}  // namespace

std::uint32_t CSaveReporter::Note(SavedBlock block, std::uint32_t result, bool atStop) {
    const auto index = static_cast<std::size_t>(block);
    bool firstFailure = false;
    bool recovered = false;
    {
        std::lock_guard<std::mutex> lock(lock_);
        firstFailure = result != 0 && !failing_[index];
        recovered = result == 0 && failing_[index];
        failing_[index] = result != 0;
    }
    const std::string name = BlockName(block);
    if (recovered) {
        trace_.TraceNote("The " + name + " are saved to the registry again");
        return result;
    }
    if (result == 0) {
        return result;
    }
    const std::string reason =
        platform::SystemErrorText(result) + " (error " + std::to_string(result) + ")";
    trace_.TraceNote("The " + name + " could not be saved to the registry: " + reason +
                     (atStop ? "" : "; the next save tries again"));
    if (firstFailure || atStop) {
        // Outside the lock: the box may wait for the user.
        messageBox_.Show("The " + name + " could not be saved to " + hiveFile_ + ": " + reason +
                             (atStop ? ". They are lost." : ". The next save tries again."),
                         "Registry", platform::MessageIcon::Error);
    }
    return result;
}

bool CSaveReporter::Unsaved() const {
    std::lock_guard<std::mutex> lock(lock_);
    return failing_[0] || failing_[1];
}

}  // namespace lane::monitor
