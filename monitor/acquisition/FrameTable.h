// The remote-monitor frame table: shape, allowed sub-codes, tracing and destination per code.
#pragma once

#include <cstdint>

namespace lane::monitor {

inline constexpr std::uint8_t kFirstMonitorCode = 0xA0;
inline constexpr std::uint8_t kLastMonitorCode = 0xB2;

enum class FrameShape {
    TwoByte,       // code, sub-code
    Length,        // code, sub-code, n, n bytes
    FourByte,      // code, sub-code, two data bytes
    ThreeByte,     // code, sub-code, one data byte
    NestedLength,  // code, sub-code, two bytes, m, m bytes
};

// The device whose decoder receives a message, in the order of the monitors' start.
enum class Device {
    CoinAcceptor,
    BillAcceptor,
    CoinDispenser,
    BillDispenser,
    SecurityModule,
    SecurityScale,
    Conveyor,
};
inline constexpr int kDeviceCount = 7;

struct FrameRule {
    FrameShape shape = FrameShape::TwoByte;
    bool subCodeAllowed = true;
    // An unlisted sub-code is found before the frame's bytes are taken off the stream, so the
    // unrecognised bytes shown include the frame's own two.
    bool rejectBeforeRemoval = false;
    bool traced = true;
    Device destination = Device::SecurityModule;
    // Messages for the security module and the conveyor mark the module as heard from.
    bool communicated = false;
    // A second, identical message goes to the coin acceptor.
    bool copyToCoinAcceptor = false;
};

inline bool IsMonitorCode(std::uint8_t code) {
    return code >= kFirstMonitorCode && code <= kLastMonitorCode;
}

// The rule for a frame of a known code (IsMonitorCode) and the sub-code found in it.
FrameRule RuleFor(std::uint8_t code, std::uint8_t subCode);

}  // namespace lane::monitor
