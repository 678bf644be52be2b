// Lines waiting for the trace-file writer, with the events that wake it.
#include "monitor/acquisition/TraceQueue.h"

namespace lane::monitor {

void CTraceQueue::Push(std::string line) {
    {
        std::lock_guard<std::mutex> lock(queueLock_);
        lines_.push_back(std::move(line));
    }
    lineQueued.Set();
}

}  // namespace lane::monitor
