// The device states and status colours of the statistics record, with their texts.
#pragma once

#include <cstdint>

namespace lane::monitor {

enum class DeviceState : std::uint32_t {
    Ready = 0,
    Low = 1,
    CassetteRemoved = 2,
    CommError = 3,
    Offline = 4,
    Full = 5,
    Jammed = 6,
    Empty = 7,
    CheckSumError = 8,  // the security module's EPROM check failed
    LowUsage = 9,
};

enum class StatusColour : std::uint32_t {
    Red = 0,
    Yellow = 1,
    Green = 2,
};

// "Ready", "Low", ..., "Low Usage"; a value above LowUsage has an empty text.
const char* DeviceStateText(DeviceState state);
// "Red", "Yellow", "Green"; any other value has an empty text.
const char* StatusColourText(StatusColour colour);

}  // namespace lane::monitor
