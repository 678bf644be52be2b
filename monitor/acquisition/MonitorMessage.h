// One message cut from the remote-monitor stream.
#pragma once

#include <array>
#include <cstdint>
#include <ctime>

namespace lane::monitor {

inline constexpr int kMonitorMessageDataSize = 128;

struct MonitorMessage {
    std::uint8_t code = 0;     // 0xA0 to 0xB2: which device
    std::uint8_t subCode = 0;  // second byte of the frame
    std::time_t time = 0;      // when the frame was cut from the stream, whole seconds
    std::uint32_t milliseconds = 0;
    std::int32_t length = 0;                                   // valid bytes in data, 0 to 128
    std::array<std::uint8_t, kMonitorMessageDataSize> data{};  // zero past length
};

}  // namespace lane::monitor
