// Fuzz target of the firmware image reader: any file is loaded without reading or writing past
// the buffer, the sums agree with the bytes loaded, and any path gives a version of at most three
// digits.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <sstream>
#include <string>
#include <string_view>

#include "Moxtel/FirmwareImage.h"

namespace {

void Check(bool condition) {
    if (!condition) {
        std::abort();
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace lane::moxtel;
    const std::string bytes(reinterpret_cast<const char*>(data), size);
    static FirmwareBuffer buffer;
    std::istringstream file(bytes);
    const std::size_t count = LoadImage(file, buffer);
    Check(count == std::min(size, kFirmwareBufferSize));
    Check(std::equal(buffer.begin(), buffer.begin() + static_cast<std::ptrdiff_t>(count), data));
    Check(std::all_of(buffer.begin() + static_cast<std::ptrdiff_t>(count), buffer.end(),
                      [](std::uint8_t byte) { return byte == 0; }));
    const ImageSums sums = SumImage(buffer, count);
    std::uint32_t total = 0;
    for (std::size_t index = 0; index < count; ++index) {
        total += buffer[index];
    }
    Check(sums.inputSum == total);
    if (count >= 2) {
        const std::uint32_t tail = buffer[count - 2] + buffer[count - 1];
        Check(sums.internalSum == ((total - tail) & 0xFFFFu));
        Check(sums.storedChecksum == buffer[count - 2] * 256u + buffer[count - 1]);
    }
    const ImageVersion version = ImageVersionFromPath(std::string_view(bytes));
    Check(version.digits >= 0 && version.digits <= 3 && version.version <= 999);
    Check((version.digits == 0) == (version.generation == 0));
    return 0;
}
