// lanesim's lane settings: reads answer the value in force, writes change it.
#include "sim/LaneSettings.h"

#include <cstdio>

namespace lane::sim {

namespace {

std::string Hex(std::uint8_t byte) {
    char text[4];
    std::snprintf(text, sizeof text, "%02X", static_cast<unsigned>(byte));
    return text;
}

bool IsSwitchCode(std::uint8_t code) {
    return code == 'C' || code == 'D' || code == 'E' || code == 'F' || code == '9' || code == 'B';
}

std::string Key(char letter, std::uint8_t code) {
    return std::string{letter, static_cast<char>(code)};
}

}  // namespace

bool LaneSettings::Answer(const std::vector<std::uint8_t>& request,
                          std::vector<std::string>& replies, std::vector<std::string>& notes) {
    if (request.size() < 2) {
        return false;
    }
    const std::uint8_t letter = request[0];
    const std::uint8_t code = request[1];
    if (letter == 'Z' && IsSwitchCode(code)) {
        if (request.size() < 3) {
            return true;  // neither a read nor a write: not answered
        }
        std::uint8_t& value = state_.values[Key('Z', code)];
        if (request[2] != '?') {
            value = request[2];
            notes.push_back("lane setting Z" + std::string(1, static_cast<char>(code)) + " = " +
                            Hex(value));
        }
        replies.push_back(std::string{'z', static_cast<char>(code), static_cast<char>(value)});
        return true;
    }
    if (letter == 'A' && (code == '5' || code == '9')) {
        const std::uint8_t value = state_.values[Key('A', code)];
        replies.push_back(std::string{'a', static_cast<char>(code), static_cast<char>(value)});
        return true;
    }
    if (letter == 'A' && (code == '4' || code == '8')) {
        if (request.size() < 3) {
            return true;
        }
        const std::uint8_t readCode = code == '4' ? '5' : '9';
        state_.values[Key('A', readCode)] = request[2];
        notes.push_back(
            std::string(code == '4' ? "curtain break window = " : "curtain saturation window = ") +
            std::to_string(request[2]));
        replies.push_back(std::string{'a', static_cast<char>(code), static_cast<char>(request[2])});
        return true;
    }
    if (letter == 'X' && code == '2') {
        if (request.size() >= 3) {
            state_.values["X2"] = request[2];
            notes.push_back("EAS type = " + Hex(request[2]));
        }
        return true;
    }
    return false;
}

}  // namespace lane::sim
