// Fuzz target of lanesim's bill acceptor: the input sets up its firmware size, upload mode and a
// fault, then is cut into cash-port requests that the module answers through it. Every reply
// fits a USB packet, the block held stays within the upload, and a completed upload is whole
// blocks within the utility's buffer.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "sim/BillAcceptor.h"
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
    if (size < 4) {
        return 0;
    }
    BillAcceptorSetup setup;
    setup.imageBytes = static_cast<std::uint32_t>(data[0] << 8 | data[1]);
    setup.uploadMode = (data[2] & 0x80) != 0;
    setup.held = setup.uploadMode ? static_cast<std::int32_t>(data[2] & 0x3F) - 1 : -1;
    setup.faults[data[3] & 0x0F] = {static_cast<BillBlockFault>((data[3] >> 4) & 0x03),
                                    static_cast<std::uint32_t>(data[3] >> 6)};
    ModuleAnswerState state;
    state.billAcceptor = BillAcceptor(setup);
    const ModuleIdentity identity;
    // Each request: a length byte, then that many data bytes; an odd length starts with 'B'.
    std::size_t at = 4;
    while (at < size) {
        const std::size_t length = std::min<std::size_t>(data[at], size - at - 1);
        ModulePacket request;
        request.DA = kModuleCashPort;
        request.DC = kModulePortData;
        request.data.resize(length + ((data[at] & 1) != 0 ? 1 : 0));
        std::size_t to = 0;
        if ((data[at] & 1) != 0) {
            request.data[to++] = kBillAcceptorLetter;
        }
        for (std::size_t i = 0; i < length; ++i) {
            request.data[to++] = data[at + 1 + i];
        }
        at += 1 + length;
        const ModuleAnswer answer = AnswerPacket(request, identity, state);
        for (const ModulePacket& response : answer.responses) {
            Check(response.DA == kModuleCashPort && response.data.size() <= kModuleUsbMaxData);
        }
        const std::int32_t held = state.billAcceptor.Held();
        Check(held >= -1 && held < static_cast<std::int32_t>(kMaxBillAcceptorBlocks));
        Check(state.billAcceptor.UploadMode() || held == -1);
        std::vector<std::uint8_t> image;
        if (state.billAcceptor.TakeCompleted(image)) {
            Check(!image.empty() && image.size() % kBillAcceptorBlockBytes == 0 &&
                  image.size() <= kMaxBillAcceptorBlocks * kBillAcceptorBlockBytes);
            Check(image.size() >= setup.imageBytes);
        }
    }
    return 0;
}
