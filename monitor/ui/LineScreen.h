// The list as plain lines on a stream (standard output when it is not a terminal): each line
// goes into the stream's buffer, and the buffer is written out at the end of each run of lines.
#pragma once

#include <atomic>
#include <cstdio>
#include <functional>
#include <string>

#include "monitor/ui/TraceList.h"

namespace lane::monitor {

class CLineScreen {
  public:
    // `closed` runs once, when a write fails (nobody reads the stream any more); the screen then
    // shows nothing more.
    CLineScreen(std::FILE* out, std::function<void()> closed)
        : out_(out), closed_(std::move(closed)) {}

    // "<time>  <message>", each up to its first NUL. List lock held.
    void Show(const TraceListItem& item);
    // Writes out what the buffer holds. List lock held.
    void Flush();
    bool Open() const { return open_; }

  private:
    void Closed();

    std::FILE* const out_;
    std::function<void()> closed_;
    std::atomic<bool> open_{true};
    std::string line_;  // built under the list lock
};

}  // namespace lane::monitor
