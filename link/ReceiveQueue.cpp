// The utility's receive queue: packets gathered by the reader threads, oldest first.
#include "link/ReceiveQueue.h"

#include <algorithm>

namespace lane::link {

void CReceiveQueue::Add(const LinkPacket& packet) {
    LinkPacket record;
    record.DA = packet.DA;
    record.DC = packet.DC;
    record.DL = packet.DL;
    std::copy_n(packet.data.begin(), std::min<std::size_t>(packet.DL, kLinkPacketDataSize),
                record.data.begin());
    std::lock_guard<std::mutex> lock(mutex_);
    if (records_.size() >= kReceiveQueueLimit) {
        records_.pop_front();
        ++dropped_;
    }
    records_.push_back(record);
}

bool CReceiveQueue::Take(LinkPacket& packet) {
    packet = LinkPacket{};
    std::lock_guard<std::mutex> lock(mutex_);
    if (records_.empty()) {
        return false;
    }
    packet = records_.front();
    records_.pop_front();
    return true;
}

std::size_t CReceiveQueue::Size() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return records_.size();
}

std::size_t CReceiveQueue::Dropped() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return dropped_;
}

}  // namespace lane::link
