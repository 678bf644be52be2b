// lanesim's proximity calibration, scale capacity, EAS lane light and EAS controller answers.
#include "sim/ServiceItems.h"

namespace lane::sim {

namespace {

std::string Reply(char letter, std::uint8_t code, std::uint8_t value) {
    return std::string{letter, static_cast<char>(code), static_cast<char>(value)};
}

// A '?' reads the setting, anything else writes it; the reply carries the value in force.
void ReadOrWrite(const std::vector<std::uint8_t>& request, std::uint8_t& value, const char* name,
                 std::vector<std::string>& replies, std::vector<std::string>& notes) {
    if (request.size() < 3) {
        return;  // neither a read nor a write: not answered
    }
    if (request[2] != '?') {
        value = request[2];
        notes.push_back(std::string(name) + " = " + std::string(1, static_cast<char>(value)));
    }
    replies.push_back(Reply('z', request[1], value));
}

}  // namespace

bool ServiceItems::Answer(const std::vector<std::uint8_t>& request, const LaneSettings& settings,
                          std::vector<std::string>& replies, std::vector<std::string>& notes) {
    if (request.size() < 2) {
        return false;
    }
    const std::uint8_t letter = request[0];
    const std::uint8_t code = request[1];
    if (letter == 'Z') {
        switch (code) {
            case 'P':
                if (request.size() >= 3) {
                    notes.push_back(state_.proximityCalibrates ? "proximity sensor calibrated"
                                                               : "proximity calibration failed");
                    replies.push_back(Reply('z', code, state_.proximityCalibrates ? '1' : '0'));
                }
                return true;
            case 'H':
                ReadOrWrite(request, state_.highWeight, "high weight capacity", replies, notes);
                return true;
            case 'A':
                ReadOrWrite(request, state_.easLaneLight, "EAS as lane light", replies, notes);
                return true;
            default:
                return false;
        }
    }
    if (letter != 'X') {
        return false;
    }
    switch (code) {
        case '1':
            if (request.size() >= 3) {
                state_.easLightOnTime = request[2];
                notes.push_back("EAS light on time = " + std::to_string(request[2]));
                replies.push_back(Reply('x', code, state_.easLightOnTime));
            }
            return true;
        case '3': {
            const auto type = settings.State().values.find("X2");
            std::string reply = Reply('x', code, state_.easLightOnTime);
            reply.push_back(
                static_cast<char>(type == settings.State().values.end() ? '0' : type->second));
            replies.push_back(reply);
            return true;
        }
        case '4':
            replies.push_back(Reply('x', code, state_.hardtagDetected));
            return true;
        case '5':
        case '6':
        case '7':
        case '8': {
            state_.controllerEnabled = code == '5' || code == '8';
            const bool servicePort = code == '7' || code == '8';
            notes.push_back(std::string("EAS controller ") +
                            (state_.controllerEnabled ? "enabled" : "disabled") +
                            (servicePort ? " through its service port" : ""));
            replies.push_back(std::string{'x', static_cast<char>(code)});
            return true;
        }
        default:
            return false;  // the controller type and anything else: not these items
    }
}

}  // namespace lane::sim
