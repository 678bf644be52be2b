// The list of trace lines shown in display mode, capped so a long run cannot exhaust memory.
#include "monitor/ui/TraceList.h"

namespace lane::monitor {

namespace {

// Puts `text` into `to`, in the storage `to` has unless that is more than twice what the text
// needs: a slot of the full list takes a line per turn, and must not keep the longest line it
// ever held.
void AssignBounded(std::string& to, std::string_view text) {
    if (to.capacity() > 2 * text.size() + 32) {
        std::string(text).swap(to);
    } else {
        to.assign(text);
    }
}

}  // namespace

void CTraceList::Append(std::string_view time, std::string_view message) {
    std::lock_guard<std::mutex> lock(listLock_);
    if (maxLines_ == 0) {
        return;
    }
    TraceListItem item;
    if (items_.size() >= maxLines_) {
        item = std::move(items_.front());
        items_.pop_front();
    }
    AssignBounded(item.time, time);
    AssignBounded(item.message, message);
    items_.push_back(std::move(item));
    if (observer_) {
        observer_(items_.back());
    }
}

void CTraceList::SetObserver(std::function<void(const TraceListItem&)> observer,
                             std::function<void()> flush) {
    std::lock_guard<std::mutex> lock(listLock_);
    observer_ = std::move(observer);
    flush_ = std::move(flush);
}

void CTraceList::Flush() {
    std::lock_guard<std::mutex> lock(listLock_);
    if (flush_) {
        flush_();
    }
}

std::size_t CTraceList::Count() const {
    std::lock_guard<std::mutex> lock(listLock_);
    return items_.size();
}

std::size_t CTraceList::TextBytes() const {
    std::lock_guard<std::mutex> lock(listLock_);
    std::size_t bytes = 0;
    for (const TraceListItem& item : items_) {
        bytes += item.time.capacity() + item.message.capacity();
    }
    return bytes;
}

std::vector<TraceListItem> CTraceList::Snapshot() const {
    std::lock_guard<std::mutex> lock(listLock_);
    return {items_.begin(), items_.end()};
}

std::vector<TraceListItem> CTraceList::Newest(std::size_t count) const {
    std::lock_guard<std::mutex> lock(listLock_);
    const std::size_t first = items_.size() > count ? items_.size() - count : 0;
    return {items_.begin() + static_cast<std::ptrdiff_t>(first), items_.end()};
}

}  // namespace lane::monitor
