// FirmwareImage: a security-module firmware image as the utility reads it: the version digits of
// its path, its bytes in the upload buffer, its two sums, and the reader step of the upload.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <istream>
#include <string>
#include <string_view>

#include "Moxtel/UtilityRun.h"
#include "platform/RegularFile.h"

namespace lane::moxtel {

// The upload buffer: the most of a file that is read, zero past the image.
inline constexpr std::size_t kFirmwareBufferSize = 65536;
using FirmwareBuffer = std::array<std::uint8_t, kFirmwareBufferSize>;

// The smallest image: one content byte and the two bytes of its internal checksum.
inline constexpr std::size_t kSmallestImage = 3;
// The largest image: its length must fit the two length bytes of the start packet.
inline constexpr std::size_t kLargestImage = kFirmwareBufferSize - 1;

// The version an image's path names: its first three decimal digits (hundreds, tens, units),
// places without a digit counting as 0. `generation` is the first digit found.
struct ImageVersion {
    int digits = 0;  // how many were found, 0 to 3
    unsigned version = 0;
    char generation = 0;
};
[[nodiscard]] ImageVersion ImageVersionFromPath(std::string_view path);

struct ImageSums {
    std::uint32_t inputSum = 0;        // all `count` bytes, unsigned 32-bit
    std::uint16_t internalSum = 0;     // all but the last two bytes, modulo 65536
    std::uint16_t storedChecksum = 0;  // the last two bytes, high byte first
};
// The sums of the first `count` bytes (at most the buffer's size); with fewer than two bytes the
// internal sum and the stored checksum are 0.
[[nodiscard]] ImageSums SumImage(const FirmwareBuffer& buffer, std::size_t count);

// Zero-fills `buffer` and reads `in` into it up to end of file or the buffer's size; gives the
// number of bytes read.
[[nodiscard]] std::size_t LoadImage(std::istream& in, FirmwareBuffer& buffer);

// Why an image file at the Windows path `path` could not be opened (the reason after "Can not
// open File"): a folder, something that is not a plain file, or the system's error text.
[[nodiscard]] std::string ImageOpenFailureReason(const std::string& path, std::uint32_t error,
                                                 platform::FileKind kind);

// ReadFirmwareImage's results.
inline constexpr int kImageAccepted = 0;
inline constexpr int kImageNoChange = 1;  // auto update: the module holds this image already
inline constexpr int kImageOpenFailed = 2;
inline constexpr int kImageWrongSize = 3;
inline constexpr int kImageInputChecksumFailed = 4;
inline constexpr int kImageInternalChecksumFailed = 5;

// The reader step of the upload: opens the image at the Windows path `path`, reads it into
// `buffer`, checks it against the run's input file checksum and its own internal checksum, and,
// with auto update, against the checksum the module reported. Gives kImageAccepted with `count`
// set, kImageNoChange, or a failure it has logged.
[[nodiscard]] int ReadFirmwareImage(UtilityRun& run, const std::string& path,
                                    FirmwareBuffer& buffer, std::size_t& count);

}  // namespace lane::moxtel
