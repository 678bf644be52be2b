// Fuzz target of lanesim's E-Box and UPS: the input is cut into written packets (port, length,
// data) that the devices answer in turn, with the packet size of the first byte. Every answer
// fits the module's packets and is whole: the pieces of an E-Box reply join to CR, text, LF.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "sim/CarouselPorts.h"

namespace {

using namespace lane::sim;

void Check(bool condition) {
    if (!condition) {
        __builtin_trap();
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) {
        return 0;
    }
    CarouselPortsSetup setup;
    setup.ebox.split = data[0] % (kEBoxPacketData + 1);
    setup.ebox.faults = {EBoxFault{'R', '3', 2}, EBoxFault{'W', '\0', 1}};
    CarouselPorts ports(setup);
    std::size_t at = 1;
    while (size - at >= 2) {
        const std::uint8_t port = data[at] & 0x07U;
        const std::size_t length = std::min<std::size_t>(data[at + 1], size - at - 2);
        const std::vector<std::uint8_t> request(data + at + 2, data + at + 2 + length);
        at += 2 + length;
        DeviceAnswer answer;
        if (!ports.Answer(port, request, answer)) {
            Check(answer.packets.empty() && answer.notes.empty());
            continue;
        }
        std::string joined;
        for (const std::string& packet : answer.packets) {
            Check(!packet.empty() && packet.size() <= kEBoxPacketData);
            Check(port != 3 || packet.size() == 1);
            joined += packet;
        }
        if (port == 4 && !joined.empty()) {
            Check(joined.front() == '\r' && joined.back() == '\n');
        }
        Check(ports.EBox().Options().size() == kEBoxOptionsLength);
    }
    return 0;
}
