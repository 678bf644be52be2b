// Which of lanesim's port 3, 4 and 6 packets the E-Box and the UPS take.
#include "sim/CarouselPorts.h"

#include <string>
#include <string_view>

namespace lane::sim {

namespace {

constexpr std::uint8_t kUpsPort = 3;
constexpr std::uint8_t kEBoxPort = 4;
constexpr std::uint8_t kServicePort = 6;

// The carousel control requests on port 6: 'S', then 'F' (polling) or 'H' (default override),
// then the switch.
const char* ControlNote(std::string_view request) {
    if (request == "SFD") {
        return "ebox polling off";
    }
    if (request == "SFE") {
        return "ebox polling on";
    }
    if (request == "SHL") {
        return "ebox default override off";
    }
    if (request == "SH ") {
        return "ebox default override on";
    }
    return nullptr;
}

}  // namespace

bool CarouselPorts::Answer(std::uint8_t port, const std::vector<std::uint8_t>& data,
                           DeviceAnswer& answer) {
    const std::string request(data.begin(), data.end());
    switch (port) {
        case kEBoxPort:
            answer = ebox_.Answer(request);
            return true;
        case kUpsPort:
            answer = ups_.Answer(request);
            return true;
        case kServicePort:
            if (const char* note = ControlNote(request)) {
                answer.notes.emplace_back(note);
                return true;
            }
            return false;
        default:
            return false;
    }
}

}  // namespace lane::sim
