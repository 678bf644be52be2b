// lanesim's UPS: connect ('Y'), sensitivity query ('s') and the '+' that follows it.
#include "sim/Ups.h"

namespace lane::sim {

namespace {

void Reply(DeviceAnswer& answer, const std::string& text) {
    for (const char c : text + "\n") {
        answer.packets.emplace_back(1, c);
    }
}

}  // namespace

DeviceAnswer UpsDevice::Answer(std::string_view request) {
    DeviceAnswer answer;
    const char letter = request.empty() ? '\0' : request[0];
    if (setup_.silent) {
        answer.notes.push_back(std::string("ups did not answer ") + letter);
        return answer;
    }
    switch (request.size() == 1 ? letter : '\0') {
        case 'Y':
            answer.notes.push_back("ups connected");
            Reply(answer, setup_.connectReply);
            return answer;
        case 's':
            Reply(answer, std::string(1, setup_.sensitivity) + " SENS");
            return answer;
        case '+':
            answer.notes.push_back("ups +");
            return answer;
        default:
            answer.notes.push_back("ups ignored a request of " + std::to_string(request.size()) +
                                   " bytes");
            return answer;
    }
}

}  // namespace lane::sim
