// Fuzz target of the ".reg" reader: any bytes parse without a fault, and whatever was read is
// written in a form that reads back to the same text (the hive's round trip) with nothing left
// out of it (a rewrite of our own text never has lines to keep aside).
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "platform/RegText.h"

namespace {

void CheckRoundTrip(std::string_view bytes) {
    lane::platform::RegHive hive;
    if (lane::platform::ParseRegHive(bytes, hive) != lane::platform::RegTextStatus::Ok) {
        return;
    }
    const std::string written = lane::platform::WriteRegText(hive);
    lane::platform::RegHive again;
    std::vector<lane::platform::RegSkippedStatement> skipped;
    if (lane::platform::ParseRegHive(written, again, &skipped) !=
            lane::platform::RegTextStatus::Ok ||
        !skipped.empty() || lane::platform::WriteRegText(again) != written) {
        std::abort();
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    CheckRoundTrip(bytes);
    // Most random inputs lack the header; with one in front they reach the statement parser.
    CheckRoundTrip(std::string(lane::platform::kRegFileHeader) + "\r\n" + std::string(bytes));
    lane::platform::RegBatch batch;
    std::size_t skipped = 0;
    (void)lane::platform::ParseRegBatch(bytes, batch, skipped);
    return 0;
}
