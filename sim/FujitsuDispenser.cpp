// lanesim's Fujitsu bill dispenser: its data blocks, dispense and counter clearing.
#include "sim/FujitsuDispenser.h"

#include <algorithm>
#include <cstdio>

namespace lane::sim {

namespace {

constexpr std::uint8_t kLetter = 'D';
// Data bytes a block packet carries: 60 less the sequence byte, 'd', '4' and 'D'.
constexpr std::size_t kBytesPerPacket = 56;
constexpr std::size_t kDispenseHeader = 7;  // 'D' '3' '8' 'B' 1C '1' 1C
constexpr std::size_t kDispenseGroup = 4;   // letter, '0', two digits
constexpr std::size_t kClearBytes = 6 + kFujitsuMessageChars + 1;
constexpr std::uint8_t kUnknownCassetteError = 0x41;
constexpr std::uint8_t kBadCommandError = 0xFF;

struct CassetteType {
    std::uint8_t code;
    char letter;
};
constexpr CassetteType kCassetteTypes[] = {
    {2, 'I'}, {3, 'F'}, {4, 'H'}, {5, 'E'}, {6, 'D'}, {8, 'G'}, {9, 'C'}, {10, 'B'}, {12, 'A'},
};

char LetterOf(std::uint8_t status) {
    for (const CassetteType& type : kCassetteTypes) {
        if (type.code == (status & 0x0F)) {
            return type.letter;
        }
    }
    return 0;
}

bool Starts(const std::vector<std::uint8_t>& request, std::initializer_list<std::uint8_t> head) {
    return request.size() >= head.size() && std::equal(head.begin(), head.end(), request.begin());
}

bool Digit(std::uint8_t c) {
    return c >= '0' && c <= '9';
}

std::uint32_t ReadCounter(const FujitsuBlock& block, std::size_t at) {
    std::uint32_t value = 0;
    for (std::size_t i = 0; i < 4; ++i) {
        value = (value << 8) | block[at + i];
    }
    return value;
}

void WriteCounter(FujitsuBlock& block, std::size_t at, std::uint32_t value) {
    for (std::size_t i = 0; i < 4; ++i) {
        block[at + i] = static_cast<std::uint8_t>(value >> (8 * (3 - i)));
    }
}

void Put(FujitsuBlock& block, std::size_t at, const std::string& text) {
    std::copy(text.begin(), text.end(), block.begin() + static_cast<std::ptrdiff_t>(at));
}

}  // namespace

FujitsuBlock FujitsuDispenserSetup::DefaultStatus() {
    FujitsuBlock block{};
    block[kFujitsuCassetteStatusAt] = 0x0C;  // an A cassette
    block[kFujitsuThicknessAt] = 231;
    Put(block, kFujitsuReleaseAt, "250317");
    Put(block, kFujitsuFirmwareAt, "F53.1A");
    return block;
}

FujitsuBlock FujitsuDispenserSetup::DefaultLog() {
    FujitsuBlock block{};
    Put(block, kFujitsuMessageAt, "LANESIM");
    WriteCounter(block, kFujitsuCountersAt, 100);
    WriteCounter(block, kFujitsuCountersAt + kFujitsuCountersSize, 200);
    return block;
}

bool FujitsuDispenser::Answer(const std::vector<std::uint8_t>& request,
                              std::vector<std::string>& replies, std::vector<std::string>& notes) {
    if (request.size() < 2 || request[0] != kLetter) {
        return false;
    }
    if (!state_.present) {
        return true;
    }
    switch (request[1]) {
        case '5':
            replies.push_back("d5" + state_.currency);
            return true;
        case '6':
            replies.push_back(std::string("d6") + static_cast<char>(state_.lastErrors[0]) +
                              static_cast<char>(state_.lastErrors[1]));
            return true;
        case '3':
            Dispense(request, replies, notes);
            return true;
        case '4':
            break;
        default:
            notes.push_back("fujitsu dispenser request not known");
            return true;
    }
    if (Starts(request, {'D', '4', 0x60, 0x01})) {
        if (!state_.thickness.empty()) {
            state_.status[kFujitsuThicknessAt] =
                state_.thickness[thicknessTurn_++ % state_.thickness.size()];
        }
        SendBlock(state_.status, replies);
    } else if (Starts(request, {'D', '4', 0x60, 0x12, 0x01})) {
        SendBlock(state_.log, replies);
    } else if (Starts(request, {'D', '4', 0x60, 0x12, 0x29})) {
        Clear(request, notes);
        SendBlock(state_.log, replies);
    } else {
        notes.push_back("fujitsu dispenser frame not known");
        replies.push_back("d4X");
    }
    return true;
}

void FujitsuDispenser::SendBlock(const FujitsuBlock& block,
                                 std::vector<std::string>& replies) const {
    const std::size_t sent = std::min(state_.sentBytes, kFujitsuMostSentBytes);
    for (std::size_t at = 0; at < sent; at += kBytesPerPacket) {
        std::string reply = "d4D";
        for (std::size_t i = at; i < sent && i < at + kBytesPerPacket; ++i) {
            reply.push_back(static_cast<char>(i < block.size() ? block[i] : 0));
        }
        replies.push_back(reply);
    }
    replies.push_back("d4X");
}

void FujitsuDispenser::Dispense(const std::vector<std::uint8_t>& request,
                                std::vector<std::string>& replies,
                                std::vector<std::string>& notes) {
    std::string errors(3, '\0');
    std::string cassettes;
    const bool headerRight = Starts(request, {'D', '3', '8', 'B', 0x1C, '1', 0x1C});
    const std::size_t groups =
        request.size() > kDispenseHeader ? (request.size() - kDispenseHeader) / kDispenseGroup : 0;
    if (!headerRight || groups == 0 || groups > kFujitsuCassettes ||
        (request.size() - kDispenseHeader) % kDispenseGroup != 0) {
        errors[0] = static_cast<char>(kBadCommandError);
        notes.push_back("fujitsu dispense refused (" + std::to_string(request.size()) + " bytes)");
        replies.push_back("d3" + errors);
        return;
    }
    for (std::size_t g = 0; g < groups; ++g) {
        const std::uint8_t* group = request.data() + kDispenseHeader + g * kDispenseGroup;
        const char letter = static_cast<char>(group[0]);
        std::size_t index = kFujitsuCassettes;
        for (std::size_t c = 0; c < kFujitsuCassettes; ++c) {
            if (LetterOf(state_.status[kFujitsuCassetteStatusAt + c]) == letter && letter != 0) {
                index = c;
            }
        }
        unsigned bills = 0;
        if (index == kFujitsuCassettes || !Digit(group[2]) || !Digit(group[3])) {
            errors[0] = static_cast<char>(kUnknownCassetteError);
            errors[2] = static_cast<char>(g + 1);
        } else {
            bills = static_cast<unsigned>((group[2] - '0') * 10 + (group[3] - '0'));
            const std::size_t at = kFujitsuCountersAt + index * kFujitsuCountersSize;
            WriteCounter(state_.log, at, ReadCounter(state_.log, at) + bills);
        }
        char text[8];
        std::snprintf(text, sizeof text, "%c%02u0", letter, bills % 100);
        cassettes += text;
        notes.push_back("fujitsu dispensed " + std::to_string(bills) + " from cassette " +
                        (index == kFujitsuCassettes ? std::string("? (") + letter + ")"
                                                    : std::string(1, letter)));
    }
    replies.push_back("d3" + errors + cassettes);
}

void FujitsuDispenser::Clear(const std::vector<std::uint8_t>& request,
                             std::vector<std::string>& notes) {
    if (request.size() < kClearBytes) {
        notes.push_back("fujitsu counters clearing refused (" + std::to_string(request.size()) +
                        " bytes)");
        return;
    }
    const std::uint8_t option = request[5];
    std::size_t from = 0;
    std::size_t to = 0;
    if (option == 1) {
        from = 4;  // errors and retries
        to = kFujitsuCountersSize;
    } else if (option == 2) {
        to = 4;  // picks
    } else if (option == 3) {
        to = kFujitsuCountersSize;
    } else {
        notes.push_back("fujitsu counters clearing refused (option " + std::to_string(option) +
                        ")");
        return;
    }
    for (std::size_t c = 0; c < kFujitsuCassettes; ++c) {
        const std::size_t base = kFujitsuCountersAt + c * kFujitsuCountersSize;
        std::fill(state_.log.begin() + static_cast<std::ptrdiff_t>(base + from),
                  state_.log.begin() + static_cast<std::ptrdiff_t>(base + to), 0);
    }
    std::string message(request.begin() + 6, request.begin() + 6 + kFujitsuMessageChars);
    std::copy(message.begin(), message.end(),
              state_.log.begin() + static_cast<std::ptrdiff_t>(kFujitsuMessageAt));
    while (!message.empty() && (message.back() == ' ' || message.back() == '\0')) {
        message.pop_back();
    }
    for (char& c : message) {
        if (c < 0x20 || c > 0x7E) {
            c = '.';  // the record stays one line of text
        }
    }
    notes.push_back("fujitsu counters cleared (option " + std::to_string(option) + "), message \"" +
                    message + "\"");
}

}  // namespace lane::sim
