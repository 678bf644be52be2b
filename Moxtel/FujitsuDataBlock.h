// The Fujitsu bill dispenser's data block as the security module passes its frames through on
// the cash port: data packets ('d' '4' 'D', then data) appended to a 512-byte block until the
// end packet ('d' '4' 'X'). The hardware version report reads the firmware version from it.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>

#include "Moxtel/UtilityRun.h"
#include "Moxtel/securitymodule_commands.h"

namespace lane::moxtel {

inline constexpr std::size_t kFujitsuBlockSize = 512;
// The replies of the data block are awaited this long (in steps of 100 ms).
inline constexpr int kFujitsuWaitCount = 200;
// A block ends after this many replies even without its end packet.
inline constexpr int kFujitsuMostReplies = 99;

struct FujitsuDataBlock {
    std::array<std::uint8_t, kFujitsuBlockSize> bytes{};
    std::size_t length = 0;  // bytes filled
};

// Adds a data packet's bytes (wire byte 7 on, DL - 4 of them) to the block; what would run past
// its 512 bytes is dropped. True when the packet ends the block ('X' in wire byte 6).
bool TakeFujitsuReply(FujitsuDataBlock& block, const link::LinkPacket& reply);

// The requests that answer with a data block: the status data (frame 1), the log data (frame 2),
// and the clearing of the log counters (option 1, 2 or 3) with the dispenser's new stored message.
std::string FujitsuStatusRequest();
std::string FujitsuLogRequest();
inline constexpr std::size_t kFujitsuMessageChars = 40;
// `message` is cut or padded with blanks to its 40 characters.
std::string FujitsuClearRequest(std::uint8_t option, const std::string& message);

// Reads the block's replies (the request was sent): 0, or kPortNoReply after logging
// "ERROR 30: Reading Data From Fujitsu Bill Dispenser.".
[[nodiscard]] int ReadFujitsuBlock(UtilityRun& run, SecurityModuleCommands& commands,
                                   FujitsuDataBlock& block);

// Sends the status request (frame 1) and reads the block. 0, or non-zero after logging
// "ERROR 30: Reading Data From Fujitsu Bill Dispenser." (or the write's ERROR 11).
[[nodiscard]] int ReadFujitsuStatusBlock(UtilityRun& run, SecurityModuleCommands& commands,
                                         FujitsuDataBlock& block);

// A counter of `bytes` bytes (at most 4), high byte first, from `position`; 0 past the block.
std::uint32_t FujitsuCounter(const FujitsuDataBlock& block, std::size_t position,
                             std::size_t bytes);

// "VVVVVV MM/DD/20YY": the firmware version (positions 48 to 53) and its release date
// (positions 44, 45 / 46, 47 / 42, 43) of a status block.
std::string FujitsuFirmwareText(const FujitsuDataBlock& block);

}  // namespace lane::moxtel
