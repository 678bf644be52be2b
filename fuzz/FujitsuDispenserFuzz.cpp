// Fuzz target of lanesim's Fujitsu bill dispenser: the input sets up its cassettes and how many
// bytes a block sends, then is cut into cash-port requests that the module answers through it.
// Every reply fits a USB packet, a block's data packets carry exactly the bytes it sends, and
// the counters and message stay within the 512-byte log block.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "sim/FujitsuDispenser.h"
#include "sim/ModuleFaceProtocol.h"

namespace {

using namespace lane::sim;

void Check(bool condition) {
    if (!condition) {
        std::abort();
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 5) {
        return 0;
    }
    FujitsuDispenserSetup setup;
    std::copy(data, data + 3, setup.status.begin() + kFujitsuCassetteStatusAt);
    setup.sentBytes = static_cast<std::size_t>(data[3] << 2);  // 0 to 1020
    setup.thickness.assign(data + 4, data + 5);
    ModuleAnswerState state;
    state.fujitsuDispenser = FujitsuDispenser(setup);
    const ModuleIdentity identity;
    // Each request: a length byte (its low 7 bits), then that many data bytes; with the top bit
    // set the request starts with 'D'.
    std::size_t at = 5;
    while (at < size) {
        const std::size_t length = std::min<std::size_t>(data[at] & 0x7F, size - at - 1);
        ModulePacket request;
        request.DA = kModuleCashPort;
        request.DC = kModulePortData;
        const bool lettered = (data[at] & 0x80) != 0;
        request.data.resize(length + (lettered ? 1 : 0));
        std::size_t to = 0;
        if (lettered) {
            request.data[to++] = 'D';
        }
        for (std::size_t i = 0; i < length; ++i) {
            request.data[to++] = data[at + 1 + i];
        }
        at += 1 + length;
        const ModuleAnswer answer = AnswerPacket(request, identity, state);
        std::size_t blockBytes = 0;
        bool blockEnded = false;
        for (const ModulePacket& response : answer.responses) {
            Check(response.DA == kModuleCashPort && response.data.size() <= kModuleUsbMaxData);
            Check(response.data.size() >= 3);
            if (response.data[1] == 'd' && response.data[2] == '4') {
                Check(!blockEnded && response.data.size() >= 4);
                if (response.data[3] == 'X') {
                    blockEnded = true;
                } else {
                    blockBytes += response.data.size() - 4;
                }
            }
        }
        Check(!blockEnded || blockBytes == setup.sentBytes || blockBytes == 0);
    }
    return 0;
}
