// FirmwareSender: streams a firmware image to the security module's system port, a start packet
// and then data packets of at most 60 bytes, without waiting for any reply between them.
#pragma once

#include <cstddef>
#include <cstdint>

#include "Moxtel/FirmwareImage.h"
#include "Moxtel/UtilityRun.h"
#include "link/TMCB_Support.h"

namespace lane::moxtel {

// Image bytes carried by one data packet.
inline constexpr std::size_t kUploadPacketBytes = 60;

// The start packet announces the image's length (low 16 bits, high byte first) and these marks.
inline constexpr std::uint8_t kUploadStartMarks[3] = {0xAA, 0x55, 0xA0};

[[nodiscard]] link::LinkPacket UploadStartPacket(std::size_t count);

// SendFirmwareImage's results.
inline constexpr int kSendStartFailed = 1;
inline constexpr int kSendDataFailed = 2;

// Sends the first `count` bytes of `buffer` (count at most the buffer's size); 0, or a failure it
// has logged. "Bytes Left" on the console follows each data packet.
[[nodiscard]] int SendFirmwareImage(UtilityRun& run, const FirmwareBuffer& buffer,
                                    std::size_t count);

}  // namespace lane::moxtel
