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
    std::unique_lock<std::mutex> lock(queueLock_);
    roomFreed_.wait(lock, [this] { return closed_ || text_.size() < kMaxQueuedTraceBytes; });
    if (text_.empty()) {
        // The batch becomes the queue; the caller keeps the emptied text's room for its next.
        text_.swap(lines);
        lineQueued.Set();
    } else {
        text_ += lines;
    }
    lines.clear();
}

void CTraceQueue::Taken() {
    roomFreed_.notify_all();
}

void CTraceQueue::Close() {
    {
        std::lock_guard<std::mutex> lock(queueLock_);
        closed_ = true;
    }
    roomFreed_.notify_all();
}

}  // namespace lane::monitor
