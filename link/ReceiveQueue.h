// The utility's receive queue: packets gathered by the reader threads, oldest first.
#pragma once

#include <cstddef>
#include <deque>
#include <mutex>

#include "link/TMCB_Support.h"

namespace lane::link {

// Packets held at most; when a module floods the link and nobody reads, the oldest go first.
inline constexpr std::size_t kReceiveQueueLimit = 4096;

class CReceiveQueue {
  public:
    // Adds a record at the tail with DA, DC, DL and DL data bytes of `packet`.
    void Add(const LinkPacket& packet);
    // Takes the oldest record into `packet` (cleared first); false when the queue is empty.
    bool Take(LinkPacket& packet);
    std::size_t Size() const;
    // Records dropped because the queue was full.
    std::size_t Dropped() const;

  private:
    mutable std::mutex mutex_;
    std::deque<LinkPacket> records_;
    std::size_t dropped_ = 0;
};

}  // namespace lane::link
