// Synthetic firmware images: content generator, checksums and a crash-safe file write.
#include "tools/fwimage/FirmwareImage.h"

#include <string>
#include <string_view>

#include "platform/File.h"

namespace lane::fwimage {

namespace {

// splitmix64: a small generator whose output depends only on the seed, on every compiler and
// standard library (unlike the std distributions).
class CSplitMix {
  public:
    explicit CSplitMix(std::uint64_t seed) : state(seed) {}
    std::uint64_t Next() {
        state += 0x9E3779B97F4A7C15ull;
        std::uint64_t z = state;
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
        return z ^ (z >> 31);
    }

  private:
    std::uint64_t state;
};

}  // namespace

std::uint16_t InternalSum(const std::vector<std::uint8_t>& image) {
    if (image.size() < 2) {
        return 0;
    }
    std::uint32_t sum = 0;
    for (std::size_t i = 0; i + 2 < image.size(); ++i) {
        sum += image[i];
    }
    return static_cast<std::uint16_t>(sum & 0xFFFFu);
}

std::uint16_t StoredChecksum(const std::vector<std::uint8_t>& image) {
    if (image.size() < 2) {
        return 0;
    }
    const std::size_t n = image.size();
    return static_cast<std::uint16_t>((image[n - 2] << 8) | image[n - 1]);
}

std::vector<std::uint8_t> MakeImage(std::size_t size, std::uint64_t seed) {
    std::vector<std::uint8_t> image;
    if (size < kMinImageBytes || size > kMaxImageBytes) {
        return image;
    }
    image.reserve(size);
    CSplitMix random(seed);
    std::uint64_t word = 0;
    for (std::size_t i = 0; i + 2 < size; ++i) {
        if (i % 8 == 0) {
            word = random.Next();
        }
        image.push_back(static_cast<std::uint8_t>(word >> (8 * (i % 8))));
    }
    image.push_back(0);
    image.push_back(0);
    const std::uint16_t sum = InternalSum(image);
    image[size - 2] = static_cast<std::uint8_t>(sum >> 8);
    image[size - 1] = static_cast<std::uint8_t>(sum & 0xFF);
    return image;
}

int WriteImageFile(const std::string& path, const std::vector<std::uint8_t>& image,
                   std::string& error) {
    const std::uint32_t result = platform::WriteWholeFile(
        path, std::string_view(reinterpret_cast<const char*>(image.data()), image.size()));
    if (result != 0) {
        error = "cannot write " + path + " (system error " + std::to_string(result) + ")";
        return 1;
    }
    return 0;
}

}  // namespace lane::fwimage
