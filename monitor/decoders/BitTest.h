// IsBitSet, and the copy of a message that the decoders read.
#pragma once

#include <cstddef>
#include <cstdint>

#include "monitor/acquisition/MonitorMessage.h"

namespace lane::monitor {

// True when bit `n` of `value` is set; bit 0 is tested for n of 32 or more.
constexpr bool IsBitSet(std::uint32_t value, unsigned n) {
    const std::uint32_t mask = n < 32 ? (std::uint32_t{1} << n) : std::uint32_t{1};
    return (value & mask) == mask;
}

// The message with `length` held to 0..128 and every byte past it zero, so a decoder may read
// any byte of `data` whatever the message's source.
inline MonitorMessage ZeroFilled(const MonitorMessage& message) {
    MonitorMessage copy = message;
    if (copy.length < 0) {
        copy.length = 0;
    }
    if (copy.length > kMonitorMessageDataSize) {
        copy.length = kMonitorMessageDataSize;
    }
    for (int i = copy.length; i < kMonitorMessageDataSize; ++i) {
        copy.data[static_cast<std::size_t>(i)] = 0;
    }
    return copy;
}

}  // namespace lane::monitor
