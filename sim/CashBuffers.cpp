// lanesim's cash counting buffers: zeroing and the dump.
#include "sim/CashBuffers.h"

namespace lane::sim {

namespace {

constexpr std::size_t kStampChars = 12;
// The two bytes after 's' '6' that say what a dump packet holds.
constexpr const char* kDumpMarks[kCashBufferDevices] = {"BA", "BD", "CA", "CD"};

}  // namespace

bool CashBuffers::Answer(const std::vector<std::uint8_t>& request,
                         std::vector<std::string>& replies, std::vector<std::string>& notes) {
    if (request.size() < 2 || request[0] != 'S' || (request[1] != '5' && request[1] != '6')) {
        return false;
    }
    if (request[1] == '5') {
        if (request.size() < 2 + kStampChars) {
            notes.push_back("cash buffers zeroing refused (" + std::to_string(request.size() - 2) +
                            " of 12 characters)");
            return true;
        }
        state_.lastZeroed.assign(request.begin() + 2, request.begin() + 2 + kStampChars);
        for (auto& device : state_.counts) {
            device.fill(0);
        }
        notes.push_back("cash buffers zeroed " + state_.lastZeroed);
        replies.push_back("s5");
        return true;
    }
    replies.push_back("s6DT" + state_.lastZeroed);
    for (std::size_t device = 0; device < kCashBufferDevices; ++device) {
        std::string data = std::string("s6") + kDumpMarks[device];
        for (std::size_t i = 0; i < kCashBufferCounts[device]; ++i) {
            const std::uint16_t count = state_.counts[device][i];
            data.push_back(static_cast<char>(count >> 8));
            data.push_back(static_cast<char>(count & 0xFF));
        }
        replies.push_back(data);
    }
    return true;
}

}  // namespace lane::sim
