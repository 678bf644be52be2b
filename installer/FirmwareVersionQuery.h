// Asks the security module for its firmware version, raw through the USB driver.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>

#include "common/Clock.h"
#include "platform/LanePath.h"
#include "platform/Registry.h"

namespace lane::quillan {

inline constexpr const char* kLaneKey = "SOFTWARE\\Halvern Dynamics, Inc.\\Kel750\\Lane";
inline constexpr const char* kSecurityModuleTypeValue = "SecurityModuleType";
inline constexpr const char* kUsbSecurityModule = "USB_SECURITY_MODULE";
inline constexpr const char* kSecurityModuleDevice = "\\\\.\\SecModuleDevice0";

// Waits between the steps of the query.
inline constexpr std::int64_t kPortSettleMs = 200;
inline constexpr std::int64_t kReplyDelayMs = 50;
// All reads of one query together wait at most this long for the module's replies; then the
// handle is closed and the version is unknown (0).
inline constexpr std::int64_t kReplyBoundMs = 5000;
// Versions below this are too old to tell apart: they count as unknown.
inline constexpr int kLowestKnownVersion = 310;

struct VersionQueryServices {
    const platform::LanePaths& paths;
    const platform::Registry& registry;
    Clock& clock;       // the waits between the steps
    Clock& replyClock;  // the bound on the replies (real time: the module answers at its own pace)
    std::function<void(const std::string&)> output;  // console text
};

// What a reply of the module says, checked against the request's letter and code.
// The version reply carries 'z' '2' in bytes 3 and 4 and the version's digits in bytes 6 to 8.
[[nodiscard]] bool ReplyMatches(const std::uint8_t* reply, std::size_t size, char code);
// The decimal number in bytes 6, 7 and 8 of a version reply (digits up to the first other byte).
[[nodiscard]] int VersionFromReply(const std::uint8_t* reply, std::size_t size);

// The module's firmware version (447 for 4.47), or 0 when the lane has no USB security module,
// the module cannot be reached or does not answer in time, or the version is below 3.10.
[[nodiscard]] int QueryFirmwareVersion(const VersionQueryServices& services);

}  // namespace lane::quillan
