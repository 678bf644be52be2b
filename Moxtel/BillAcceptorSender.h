// BillAcceptorSender: the bill acceptor's side of the upload on the cash port: the start command
// and the wait for the upload mode, and the image sent in 32-byte blocks, each answered by the
// block number the bill acceptor holds, with the one-block step back it may ask for.
#pragma once

#include <cstddef>
#include <cstdint>

#include "Moxtel/BillAcceptorImage.h"
#include "Moxtel/UtilityRun.h"
#include "Moxtel/securitymodule_commands.h"
#include "link/TMCB_Support.h"

namespace lane::moxtel {

// Bill acceptor commands of the upload: start it, and end (or abort) it.
inline constexpr std::uint8_t kBillAcceptorStartUpload = '7';
inline constexpr std::uint8_t kBillAcceptorEndUpload = '9';
// The request letter and code of a data block.
inline constexpr std::uint8_t kBillAcceptorBlockLetter = 'B';
inline constexpr std::uint8_t kBillAcceptorBlockCode = '8';
// Wait counts: for the upload mode after the start, and for each block's reply.
inline constexpr int kUploadModeWaitCount = 200;
inline constexpr int kBlockReplyWaitCount = 75;
// The block number of a bill acceptor in upload mode that has no block yet.
inline constexpr unsigned kNoBlockYet = 0xFFFF;

// The data packet of block `block` of `image`: the USB module's layout (block number in two
// bytes, the image bytes as they are) when the cash devices go through the module, else the
// board's (the block number and every image byte as 4-bit digits, each OR 0x80).
[[nodiscard]] link::LinkPacket BillAcceptorBlockPacket(const BillAcceptorImage& image,
                                                       unsigned block, bool throughModule);

// A cash-port reply of a bill acceptor in upload mode ('b' '1', status byte 10 with 0x50).
[[nodiscard]] bool IsBlockReply(const link::LinkPacket& reply);
// The block number a reply names, from the low 7 bits of bytes 6 to 9 (4096, 256, 16, 1).
[[nodiscard]] unsigned ReplyBlockNumber(const link::LinkPacket& reply);
// True when each of bytes 6 to 9 holds the digit F: upload mode, no block received yet.
[[nodiscard]] bool ReplyHasNoBlock(const link::LinkPacket& reply);

// StartBillAcceptorUpload's and SendBillAcceptorImage's results.
inline constexpr int kBillStartNotSent = 1;
inline constexpr int kBillStartNoReply = 2;
inline constexpr int kBillStartTooManyPackets = 3;
inline constexpr int kBillBlockFailed = 4;

// Sends the start command and, unless the bill acceptor was already in its upload mode, waits
// until it reports the upload mode with no block yet. 0, or a failure it has logged.
[[nodiscard]] int StartBillAcceptorUpload(UtilityRun& run, SecurityModuleCommands& commands);

// Sends the image's blocks from the run's starting block to the end, each once its predecessor
// was acknowledged; "Bytes Left" on the console follows each. 0, or a failure it has logged.
[[nodiscard]] int SendBillAcceptorImage(UtilityRun& run, SecurityModuleCommands& commands,
                                        const BillAcceptorImage& image);

}  // namespace lane::moxtel
