// Synthetic firmware images: deterministic content with the trailing checksum the utility checks.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace lane::fwimage {

// The utility reads at most this many bytes of an image, and an image needs its two checksum
// bytes.
constexpr std::size_t kMaxImageBytes = 65536;
constexpr std::size_t kMinImageBytes = 2;

// The sum of bytes 0 to n-3 modulo 65536 (0 for an image shorter than its checksum).
[[nodiscard]] std::uint16_t InternalSum(const std::vector<std::uint8_t>& image);

// The checksum stored in the last two bytes, high byte first (0 for an image of fewer bytes).
[[nodiscard]] std::uint16_t StoredChecksum(const std::vector<std::uint8_t>& image);

// `size` bytes: pseudo-random content drawn from `seed`, then the internal sum, high byte first.
// The same size and seed always give the same bytes. Sizes outside kMinImageBytes..kMaxImageBytes
// give an empty vector.
[[nodiscard]] std::vector<std::uint8_t> MakeImage(std::size_t size, std::uint64_t seed);

// Writes the image under a temporary name beside `path` and renames it into place, so the file
// is never seen half written. 0 on success, 1 when the temporary file cannot be written, 2 when
// the rename fails; `error` then holds the reason.
[[nodiscard]] int WriteImageFile(const std::string& path, const std::vector<std::uint8_t>& image,
                                 std::string& error);

}  // namespace lane::fwimage
