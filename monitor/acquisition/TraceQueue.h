// Lines waiting for the trace-file writer, with the events that wake it.
#pragma once

#include <deque>
#include <mutex>
#include <string>
#include <vector>

#include "common/Waitable.h"

namespace lane::monitor {

class CTraceQueue {
  public:
    // Queues a finished line ("<time> : <text>"); wakes the writer when the queue was empty.
    void Push(std::string line);
    // Queues the lines in order as one batch, with at most one wake of the writer; empties `lines`.
    void PushAll(std::vector<std::string>& lines);

    std::mutex& Lock() { return queueLock_; }
    // Under Lock().
    std::deque<std::string>& Lines() { return lines_; }

    ManualResetEvent lineQueued;
    // Waited on by the writer beside lineQueued; nothing sets it.
    ManualResetEvent secondQueueEvent;

  private:
    std::mutex queueLock_;
    std::deque<std::string> lines_;
};

}  // namespace lane::monitor
