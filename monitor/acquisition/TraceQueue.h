// Lines waiting for the trace-file writer, with the events that wake it.
#pragma once

#include <mutex>
#include <string>
#include <string_view>

#include "common/Waitable.h"

namespace lane::monitor {

// The queue is the text the writer appends to the file: whole lines, each ending with a line feed.
class CTraceQueue {
  public:
    // Queues a finished line ("<time> : <text>", without its line feed); wakes the writer when
    // the queue was empty.
    void Push(std::string_view line);
    // Queues `lines` (whole lines, each ending with a line feed) as one batch, with at most one
    // wake of the writer; empties `lines`, which may come back with the room of an earlier batch.
    void PushText(std::string& lines);

    std::mutex& Lock() { return queueLock_; }
    // Under Lock().
    std::string& Text() { return text_; }

    ManualResetEvent lineQueued;
    // Waited on by the writer beside lineQueued; nothing sets it.
    ManualResetEvent secondQueueEvent;

  private:
    std::mutex queueLock_;
    std::string text_;
};

}  // namespace lane::monitor
