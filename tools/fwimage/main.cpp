// lanefwimage: writes one synthetic firmware image (build step of firmware/).
#include <cstdint>
#include <cstdlib>
#include <iostream>
#include <string>

#include "tools/fwimage/FirmwareImage.h"

namespace {

// Reads a whole decimal or 0x-prefixed hexadecimal number; false on anything else.
bool ParseNumber(const std::string& text, std::uint64_t& value) {
    if (text.empty() || text[0] == '-') {
        return false;
    }
    char* end = nullptr;
    value = std::strtoull(text.c_str(), &end, 0);
    return end != nullptr && *end == '\0';
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 4) {
        std::cerr << "usage: lanefwimage OUTPUT SIZE SEED\n";
        return 2;
    }
    std::uint64_t size = 0;
    std::uint64_t seed = 0;
    if (!ParseNumber(argv[2], size) || size < lane::fwimage::kMinImageBytes ||
        size > lane::fwimage::kMaxImageBytes) {
        std::cerr << "lanefwimage: SIZE must be a number from " << lane::fwimage::kMinImageBytes
                  << " to " << lane::fwimage::kMaxImageBytes << ", not '" << argv[2] << "'\n";
        return 2;
    }
    if (!ParseNumber(argv[3], seed)) {
        std::cerr << "lanefwimage: SEED must be a number, not '" << argv[3] << "'\n";
        return 2;
    }
    const auto image = lane::fwimage::MakeImage(static_cast<std::size_t>(size), seed);
    std::string error;
    if (lane::fwimage::WriteImageFile(argv[1], image, error) != 0) {
        std::cerr << "lanefwimage: " << error << "\n";
        return 3;
    }
    return 0;
}
