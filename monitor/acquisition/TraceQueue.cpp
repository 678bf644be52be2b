// Lines waiting for the trace-file writer, with the events that wake it.
#include "monitor/acquisition/TraceQueue.h"

namespace lane::monitor {

void CTraceQueue::Push(std::string_view line) {
    std::lock_guard<std::mutex> lock(queueLock_);
    const bool wasEmpty = text_.empty();
    text_ += line;
    text_ += '\n';
    // Only the first line of a batch wakes the writer, which takes every line queued by then.
    // The writer clears the event under this lock when it takes a batch, so a line queued
    // after that finds the queue empty again and sets it.
    if (wasEmpty) {
        lineQueued.Set();
    }
}

void CTraceQueue::PushText(std::string& lines) {
    if (lines.empty()) {
        return;
    }
    std::lock_guard<std::mutex> lock(queueLock_);
    if (text_.empty()) {
        // The batch becomes the queue; the caller keeps the emptied text's room for its next.
        text_.swap(lines);
        lineQueued.Set();
    } else {
        text_ += lines;
    }
    lines.clear();
}

}  // namespace lane::monitor
