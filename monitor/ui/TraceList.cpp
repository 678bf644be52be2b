// The list of trace lines shown in display mode, capped so a long run cannot exhaust memory.
#include "monitor/ui/TraceList.h"

namespace lane::monitor {

void CTraceList::Append(std::string_view time, std::string_view message) {
    std::lock_guard<std::mutex> lock(listLock_);
    if (maxLines_ == 0) {
        return;
    }
    if (items_.size() >= maxLines_) {
        items_.pop_front();
    }
    items_.push_back(TraceListItem{std::string(time), std::string(message)});
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
