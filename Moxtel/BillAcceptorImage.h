// BillAcceptorImage: a bill acceptor firmware image as the utility reads it into its upload
// buffer: the file's bytes, then the end-of-file value 0xFF as one more byte, zeros after that;
// the byte count and the file checksum cover that extra byte too.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "Moxtel/UtilityRun.h"

namespace lane::moxtel {

// The upload buffer, and the block the bill acceptor takes at a time.
inline constexpr std::size_t kBillAcceptorBufferSize = 524288;
inline constexpr std::size_t kBillAcceptorBlockBytes = 32;
// The largest file: the buffer less the end-of-file byte.
inline constexpr std::size_t kLargestBillAcceptorFile = kBillAcceptorBufferSize - 1;
// The end-of-file value the reader stores after the file's last byte.
inline constexpr std::uint8_t kEndOfFileByte = 0xFF;

struct BillAcceptorImage {
    std::vector<std::uint8_t> buffer = std::vector<std::uint8_t>(kBillAcceptorBufferSize, 0);
    std::size_t count = 0;       // the file's bytes plus the end-of-file byte
    std::uint32_t checksum = 0;  // the sum of the file's bytes plus 255, unsigned 32-bit
};

// Fills `image` from the file's bytes (at most kLargestBillAcceptorFile of them are taken).
void LoadBillAcceptorImage(std::string_view file, BillAcceptorImage& image);

// ReadBillAcceptorImage's results.
inline constexpr int kBillImageAccepted = 0;
inline constexpr int kBillImageOpenFailed = 1;
inline constexpr int kBillImageEmpty = 2;
inline constexpr int kBillImageTooLarge = 3;
inline constexpr int kBillImageChecksumFailed = 4;

// The reader step of the upload: opens the image at the Windows path `path`, reads it into
// `image` and checks it against the run's input file checksum. 0, or a failure it has logged.
[[nodiscard]] int ReadBillAcceptorImage(UtilityRun& run, const std::string& path,
                                        BillAcceptorImage& image);

}  // namespace lane::moxtel
