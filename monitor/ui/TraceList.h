// The list of trace lines shown in display mode, capped so a long run cannot exhaust memory.
#pragma once

#include <cstddef>
#include <deque>
#include <functional>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

namespace lane::monitor {

struct TraceListItem {
    std::string time;     // column "Time"
    std::string message;  // column "Device Message"
};

class CTraceList {
  public:
    // Lines kept; the oldest go first once the list is full.
    static constexpr std::size_t kMaxLines = 10000;

    explicit CTraceList(std::size_t maxLines = kMaxLines) : maxLines_(maxLines) {}

    // Appends one item as a unit; the observer (the screen) sees it under the list lock, so two
    // lines never mix. Once the list is full the new line takes the oldest one's storage,
    // unless that is more than twice what the line needs.
    void Append(std::string_view time, std::string_view message);
    // The screen: `observer` sees each line as it comes; `flush` (optional) is told where a run
    // of lines ends, so that a screen that holds lines back shows them then.
    void SetObserver(std::function<void(const TraceListItem&)> observer,
                     std::function<void()> flush = {});
    // The end of a run of lines (a batch, or a line by itself).
    void Flush();

    std::size_t Count() const;
    // The storage the items' texts hold, in bytes: what the cap bounds.
    std::size_t TextBytes() const;
    std::vector<TraceListItem> Snapshot() const;
    // The newest `count` items, oldest first (a copy taken briefly under the list lock).
    std::vector<TraceListItem> Newest(std::size_t count) const;

  private:
    const std::size_t maxLines_;
    mutable std::mutex listLock_;
    std::deque<TraceListItem> items_;
    std::function<void(const TraceListItem&)> observer_;
    std::function<void()> flush_;
};

}  // namespace lane::monitor
