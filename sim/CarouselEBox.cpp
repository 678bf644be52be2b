// lanesim's E-Box: requests in, reply lines (CR, text, LF) out, settings kept.
#include "sim/CarouselEBox.h"

#include <algorithm>
#include <cstdio>

namespace lane::sim {

namespace {

constexpr char kCr = '\r';
constexpr char kLf = '\n';
constexpr std::string_view kFactoryDefaults = "DEFAULT";
constexpr const char* kFactoryOptions = "1366512";
constexpr std::string_view kCalibrationStart = "20000";

char CheckDigit(std::string_view argument) {
    unsigned sum = 0;
    for (const char c : argument) {
        sum += static_cast<unsigned char>(c) & 0x0FU;
    }
    return static_cast<char>('9' - (sum + 9) % 10);
}

bool AllDigits(std::string_view text) {
    return std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
}

// A request as the record shows it: CR and LF as \r and \n.
std::string Printable(std::string_view request) {
    std::string text;
    for (const char c : request) {
        if (c == kCr) {
            text += "\\r";
        } else if (c == kLf) {
            text += "\\n";
        } else if (c < 0x20 || c > 0x7E) {
            char hex[8];
            std::snprintf(hex, sizeof hex, "\\x%02X", static_cast<unsigned char>(c));
            text += hex;
        } else {
            text.push_back(c);
        }
    }
    return text;
}

}  // namespace

void CarouselEBox::Reply(DeviceAnswer& answer, const std::string& text) const {
    std::string line(1, kCr);
    line += text;
    line.push_back(kLf);
    // A line longer than one packet goes out in pieces as the module cuts it.
    const std::size_t piece = setup_.split == 0 ? kEBoxPacketData : setup_.split;
    for (std::size_t at = 0; at < line.size(); at += piece) {
        answer.packets.push_back(line.substr(at, piece));
    }
}

bool CarouselEBox::Faulted(char letter, DeviceAnswer& answer) {
    for (auto fault = setup_.faults.begin(); fault != setup_.faults.end(); ++fault) {
        if (fault->letter != letter) {
            continue;
        }
        if (fault->code == 0) {
            answer.notes.push_back(std::string("ebox did not answer ") + letter);
        } else {
            Reply(answer, std::string("Err ") + fault->code);
            answer.notes.push_back(std::string("ebox answered ") + letter + " with Err " +
                                   fault->code);
        }
        if (--fault->count == 0) {
            setup_.faults.erase(fault);
        }
        return true;
    }
    return false;
}

std::string CarouselEBox::WeightReply() const {
    char text[32];
    std::snprintf(text, sizeof text, "%c%03u.%02uLB", setup_.unstable ? '?' : ' ',
                  static_cast<unsigned>(setup_.weightHundredths / 100),
                  static_cast<unsigned>(setup_.weightHundredths % 100));
    return text;
}

std::string CarouselEBox::SerialsReply() const {
    std::string text;
    for (std::size_t slot = 0; slot < kEBoxSerialSlots; ++slot) {
        text += slot < setup_.serials.size() ? setup_.serials[slot] : "00000";
        text.push_back(' ');
    }
    return text;
}

void CarouselEBox::Single(char letter, DeviceAnswer& answer) {
    switch (letter) {
        case 'W':
            Reply(answer, WeightReply());
            return;
        case 'R':
            answer.notes.push_back("ebox reset");
            Reply(answer, "R");
            return;
        case 'Z':
            answer.notes.push_back("ebox zeroed");
            Reply(answer, "Z");
            return;
        case 'I':
            Reply(answer, setup_.version);
            return;
        case 'C':
            Reply(answer, SerialsReply());
            return;
        default:
            answer.notes.push_back(std::string("ebox ignored ") + Printable({&letter, 1}));
            return;
    }
}

void CarouselEBox::Framed(char letter, std::string_view argument, DeviceAnswer& answer) {
    if (argument.empty()) {
        switch (letter) {
            case 'O':
                Reply(answer, setup_.options);
                return;
            case 'S':
                Reply(answer, setup_.maxWeight);
                return;
            case 'U':
                Reply(answer, std::string("LCNT") + setup_.loadCells);
                return;
            default:
                answer.notes.push_back(std::string("ebox ignored query ") + letter);
                return;
        }
    }
    const std::string_view digits = argument.substr(0, argument.size() - 1);
    const char check = argument.back();
    if (check != CheckDigit(digits)) {
        answer.notes.push_back("ebox refused " + Printable(std::string(1, letter)) +
                               Printable(argument) + " (check digit " + check + ", expected " +
                               CheckDigit(digits) + ")");
        Reply(answer, "Err 1");
        return;
    }
    if (letter == 'O' && digits.size() == kEBoxOptionsLength) {
        setup_.options = std::string(digits);
        answer.notes.push_back("ebox options " + setup_.options);
        Reply(answer, "O");
        return;
    }
    if (letter == 'F' && digits == kCalibrationStart) {
        answer.notes.push_back("ebox calibration started");
        Reply(answer, "F");
        return;
    }
    if (letter == 'L' && digits.size() == kEBoxSerialLength && AllDigits(digits)) {
        answer.notes.push_back("ebox calibrated with " + std::string(digits));
        Reply(answer, std::string(digits));
        Reply(answer, "C");
        return;
    }
    answer.notes.push_back("ebox ignored " + Printable(std::string(1, letter)) +
                           Printable(argument));
}

DeviceAnswer CarouselEBox::Answer(std::string_view request) {
    DeviceAnswer answer;
    if (request.size() == 1) {
        if (!Faulted(request[0], answer)) {
            Single(request[0], answer);
        }
        return answer;
    }
    if (request.size() < 3 || request.front() != kCr || request.back() != kLf) {
        answer.notes.push_back("ebox ignored " + Printable(request));
        return answer;
    }
    const std::string_view inner = request.substr(1, request.size() - 2);
    if (inner == kFactoryDefaults) {
        if (!Faulted('D', answer)) {
            setup_.options = kFactoryOptions;
            answer.notes.push_back("ebox factory defaults");
            Reply(answer, "D");
        }
        return answer;
    }
    if (!Faulted(inner[0], answer)) {
        Framed(inner[0], inner.substr(1), answer);
    }
    return answer;
}

}  // namespace lane::sim
