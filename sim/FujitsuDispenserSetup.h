// What a scenario says about the Fujitsu bill dispenser behind the module's cash port: its two
// 512-byte data blocks (status data and log data, as the dispenser sends them), its currency and
// last error codes, and how many bytes it sends for a block.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace lane::sim {

inline constexpr std::size_t kFujitsuBlockBytes = 512;
// The most a block reply may carry: a dispenser that sends past its block (bytes 512 on zeros).
inline constexpr std::size_t kFujitsuMostSentBytes = 1024;
// Positions in the status block.
inline constexpr std::size_t kFujitsuCassetteStatusAt = 21;
inline constexpr std::size_t kFujitsuThicknessAt = 25;
inline constexpr std::size_t kFujitsuReleaseAt = 42;   // YYMMDD
inline constexpr std::size_t kFujitsuFirmwareAt = 48;  // six characters
// Positions in the log block: the stored message, and each cassette's 32 bytes of counters.
inline constexpr std::size_t kFujitsuMessageAt = 40;
inline constexpr std::size_t kFujitsuMessageChars = 40;
inline constexpr std::size_t kFujitsuCountersAt = 80;
inline constexpr std::size_t kFujitsuCountersSize = 32;
inline constexpr std::size_t kFujitsuCassettes = 3;

using FujitsuBlock = std::array<std::uint8_t, kFujitsuBlockBytes>;

struct FujitsuDispenserSetup {
    bool present = true;  // false: its requests are never answered
    std::string currency = "USD";
    std::uint8_t lastErrors[2] = {0, 0};
    FujitsuBlock status = DefaultStatus();
    FujitsuBlock log = DefaultLog();
    // The thickness values the status requests report in turn (empty: the block's own byte).
    std::vector<std::uint8_t> thickness;
    std::size_t sentBytes = kFujitsuBlockBytes;  // bytes sent for each block

    // Firmware "F53.1A" released 03/17/25, cassette 1 an A cassette, thickness 231.
    static FujitsuBlock DefaultStatus();
    // The stored message "LANESIM", picks 100, 200 and 0.
    static FujitsuBlock DefaultLog();
};

}  // namespace lane::sim
