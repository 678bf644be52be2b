// lanesim's coin dispenser: its answers and what the program's writes change.
#include "sim/CoinDispenser.h"

#include <cstdio>

namespace lane::sim {

namespace {

constexpr std::uint8_t kRequestLetter = 'A';
constexpr char kWriteFailed = '1';
constexpr char kWriteDone = '0';

std::string Hex(std::uint8_t byte) {
    char text[4];
    std::snprintf(text, sizeof text, "%02X", static_cast<unsigned>(byte));
    return text;
}

std::string Reply(std::uint8_t code, const std::string& data) {
    std::string reply = "a";
    reply.push_back(static_cast<char>(code));
    return reply + data;
}

}  // namespace

std::array<std::uint8_t, kCoinDispenserBlockSize> CoinDispenserSetup::DefaultBlock() {
    std::array<std::uint8_t, kCoinDispenserBlockSize> block{};
    block[8] = 150;
    block[10] = 0;
    block[11] = 20;
    block[12] = 0x01;
    const std::string serial = "TQ0012345";
    for (std::size_t i = 0; i < serial.size(); ++i) {
        block[221 + i] = static_cast<std::uint8_t>(serial[i]);
    }
    return block;
}

bool CoinDispenser::Answer(const std::vector<std::uint8_t>& request,
                           std::vector<std::string>& replies, std::vector<std::string>& notes) {
    if (request.size() < 2 || request[0] != kRequestLetter) {
        return false;
    }
    const std::uint8_t code = request[1];
    if (!state_.present) {
        // Nobody there: the request is taken and never answered.
        return std::string("1345678ABC").find(static_cast<char>(code)) != std::string::npos;
    }
    const auto argument = [&](std::size_t i) -> int {
        return request.size() > 2 + i ? request[2 + i] : -1;
    };
    std::string answer;
    switch (code) {
        case '1':
            answer = std::string(1, static_cast<char>(state_.status));
            break;
        case '3':
            answer = state_.firmware;
            break;
        case '4':
            answer = std::string(1, static_cast<char>(state_.configCode)) + " " + state_.configText;
            break;
        case '5': {
            answer = state_.productId;
            answer.resize(4, ' ');
            answer[1] = static_cast<char>(state_.model);
            break;
        }
        case '6':
            if (argument(0) < 0) {
                return true;  // a write without its code is not answered
            }
            state_.configCode = static_cast<std::uint8_t>(argument(0));
            notes.push_back("coin dispenser configuration " + Hex(state_.configCode));
            answer = std::string(1, static_cast<char>(state_.configCode));
            break;
        case '7':
            for (std::size_t part = 0; part < kCoinDispenserBlockReplies; ++part) {
                const std::size_t offset = part * kCoinDispenserBlockChunk;
                std::string data(1, static_cast<char>(offset));
                for (std::size_t i = 0; i < kCoinDispenserBlockChunk; ++i) {
                    data.push_back(static_cast<char>(state_.block[offset + i]));
                }
                replies.push_back(Reply(code, data));
            }
            return true;
        case '8': {
            if (argument(1) < 0) {
                return true;
            }
            const auto offset = static_cast<std::uint8_t>(argument(0));
            const auto value = static_cast<std::uint8_t>(argument(1));
            if (!state_.refuseWrites && offset < state_.block.size()) {
                state_.block[offset] = value;
                notes.push_back("coin dispenser EEPROM " + std::to_string(offset) + " = " +
                                Hex(value));
                answer = std::string(1, kWriteDone);
            } else {
                notes.push_back("coin dispenser EEPROM " + std::to_string(offset) + " refused");
                answer = std::string(1, kWriteFailed);
            }
            break;
        }
        case 'A': {
            if (argument(0) < 0) {
                return true;
            }
            const auto delay = static_cast<std::uint8_t>(argument(0));
            if (!state_.refuseWrites) {
                state_.block[8] = delay;
                notes.push_back("coin dispenser speed " + std::to_string(delay));
                answer = std::string(1, kWriteDone);
            } else {
                notes.push_back("coin dispenser speed " + std::to_string(delay) + " refused");
                answer = std::string(1, kWriteFailed);
            }
            break;
        }
        case 'B':
            answer = {static_cast<char>(state_.bins[0]), static_cast<char>(state_.bins[1])};
            break;
        case 'C':
            answer = state_.iniVersion;
            answer.resize(5, ' ');
            break;
        default:
            return false;
    }
    replies.push_back(Reply(code, answer));
    return true;
}

}  // namespace lane::sim
