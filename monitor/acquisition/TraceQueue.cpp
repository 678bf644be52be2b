// Lines waiting for the trace-file writer, with the events that wake it.
#include "monitor/acquisition/TraceQueue.h"

namespace lane::monitor {

void CTraceQueue::Push(std::string line) {
    std::lock_guard<std::mutex> lock(queueLock_);
    lines_.push_back(std::move(line));
    // Only the first line of a batch wakes the writer, which takes every line queued by then.
    // The writer clears the event under this lock when it takes a batch, so a line queued
    // after that finds the queue empty again and sets it.
    if (lines_.size() == 1) {
        lineQueued.Set();
    }
}

void CTraceQueue::PushAll(std::vector<std::string>& lines) {
    if (lines.empty()) {
        return;
    }
    {
        std::lock_guard<std::mutex> lock(queueLock_);
        const bool wasEmpty = lines_.empty();
        for (std::string& line : lines) {
            lines_.push_back(std::move(line));
        }
        if (wasEmpty) {
            lineQueued.Set();
        }
    }
    lines.clear();
}

}  // namespace lane::monitor
