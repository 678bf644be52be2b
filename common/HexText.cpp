// Hex dumps of byte runs as the trace and the logs print them.
#include "common/HexText.h"

namespace lane {

void AppendHexBytes(std::string& text, const std::uint8_t* bytes, std::size_t count,
                    std::size_t stopAtLength) {
    static constexpr char kDigits[] = "0123456789ABCDEF";
    for (std::size_t i = 0; i < count && text.size() < stopAtLength; ++i) {
        text.push_back(kDigits[bytes[i] >> 4]);
        text.push_back(kDigits[bytes[i] & 0x0F]);
        text.push_back(' ');
    }
}

}  // namespace lane
