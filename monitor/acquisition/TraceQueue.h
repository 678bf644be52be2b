// Lines waiting for the trace-file writer, with the events that wake it.
#pragma once

#include <condition_variable>
#include <cstddef>
#include <mutex>
#include <string>
#include <string_view>

#include "common/Waitable.h"

namespace lane::monitor {

// The queue is the text the writer appends to the file: whole lines, each ending with a line feed.
inline constexpr std::size_t kMaxQueuedTraceBytes = 4 * 1024 * 1024;

class CTraceQueue {
  public:
    // Queues a finished line ("<time> : <text>", without its line feed); wakes the writer when
    // the queue was empty.
    void Push(std::string_view line);
    // Queues `lines` (whole lines, each ending with a line feed) as one batch, with at most one
    // wake of the writer; empties `lines`, which may come back with the room of an earlier batch.
    // While kMaxQueuedTraceBytes wait for the writer, waits until it takes them (or the queue is
    // closed), so a writer slower than the stream holds the batching threads back instead of
    // growing memory.
    void PushText(std::string& lines);
    // The writer took the queued text: batches that wait for room go on.
    void Taken();
    // The stop: from now on nothing waits for room.
    void Close();

    std::mutex& Lock() { return queueLock_; }
    // Under Lock().
    std::string& Text() { return text_; }

    ManualResetEvent lineQueued;
    // Waited on by the writer beside lineQueued; nothing sets it.
    ManualResetEvent secondQueueEvent;

  private:
    std::mutex queueLock_;
    std::condition_variable roomFreed_;
    bool closed_ = false;
    std::string text_;
};

}  // namespace lane::monitor
