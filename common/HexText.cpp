// Hex dumps of byte runs as the trace and the logs print them.
#include "common/HexText.h"

namespace lane {

void AppendHexBytes(std::string& text, const std::uint8_t* bytes, std::size_t count,
                    std::size_t stopAtLength) {
    static constexpr char kDigits[] = "0123456789ABCDEF";
    const std::size_t start = text.size();
    if (start >= stopAtLength) {
        return;
    }
    // A byte is added while the text is shorter than the stop length.
    const std::size_t room = (stopAtLength - start + 2) / 3;
    const std::size_t taken = count < room ? count : room;
    text.resize(start + taken * 3);
    char* out = text.data() + start;
    for (std::size_t i = 0; i < taken; ++i) {
        out[0] = kDigits[bytes[i] >> 4];
        out[1] = kDigits[bytes[i] & 0x0F];
        out[2] = ' ';
        out += 3;
    }
}

}  // namespace lane
