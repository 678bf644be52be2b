// The E-Box and UPS line protocols: request forms, check digit and reply collection.
#include "Moxtel/EBoxLine.h"

#include <cstdio>

#include "link/TMCB_Support.h"

namespace lane::moxtel {

namespace {

constexpr const char* kFactoryDefaults = "DEFAULT";

// True for a packet that may carry the device's reply: port data from `port` with data in it.
bool CarriesReply(const link::LinkPacket& packet, std::uint8_t port) {
    return packet.DA == port && packet.DC == link::TMCB_DC_PORT_DATA && packet.DL > 0;
}

std::size_t DataLength(const link::LinkPacket& packet) {
    return packet.DL < packet.data.size() ? packet.DL : packet.data.size();
}

}  // namespace

char EBoxCheckDigit(std::string_view argument) {
    unsigned sum = 0;
    for (const char c : argument) {
        sum += static_cast<unsigned char>(c) & 0x0FU;
    }
    return static_cast<char>('9' - (sum + 9) % 10);
}

std::string EBoxSingleLetter(char letter) {
    return std::string(1, letter);
}

std::string EBoxFramedQuery(char letter) {
    return std::string{kCarriageReturn, letter, kLineFeed};
}

std::string EBoxFramedCommand(char letter, std::string_view argument) {
    std::string data{kCarriageReturn, letter};
    data.append(argument);
    data.push_back(EBoxCheckDigit(argument));
    data.push_back(kLineFeed);
    return data;
}

std::string EBoxFactoryDefaults() {
    std::string data(1, kCarriageReturn);
    data += kFactoryDefaults;
    data.push_back(kLineFeed);
    return data;
}

// ---- E-Box replies --------------------------------------------------------------------------

void CEBoxReplyReader::Clear() {
    buffer_.fill('\0');
    length_ = 0;
    dropped_ = 0;
    started_ = false;
    complete_ = false;
}

bool CEBoxReplyReader::Take(const link::LinkPacket& packet) {
    if (!CarriesReply(packet, link::kCarouselPort)) {
        return complete_;
    }
    const std::size_t count = DataLength(packet);
    for (std::size_t i = 0; i < count; ++i) {
        const char c = static_cast<char>(packet.data[i]);
        if (!started_) {
            started_ = c == kCarriageReturn;
            continue;
        }
        if (c == kLineFeed) {
            complete_ = true;
            continue;
        }
        // One place stays for the terminating zero.
        if (length_ + 1 < buffer_.size()) {
            buffer_[length_++] = c;
        } else {
            ++dropped_;
        }
    }
    return complete_;
}

void CEBoxReplyReader::SetAt(std::size_t n, char c) {
    if (n + 1 < buffer_.size()) {
        buffer_[n] = c;
    }
}

// ---- UPS replies ----------------------------------------------------------------------------

void CUpsReplyReader::Clear() {
    buffer_.fill('\0');
    length_ = 0;
    dropped_ = 0;
    complete_ = false;
}

bool CUpsReplyReader::Take(const link::LinkPacket& packet) {
    if (complete_ || !CarriesReply(packet, link::kUpsPort)) {
        return complete_;
    }
    const char c = static_cast<char>(packet.data[0]);
    if (length_ + 1 < buffer_.size()) {
        buffer_[length_++] = c;
    } else {
        ++dropped_;
    }
    complete_ = c == kLineFeed;
    return complete_;
}

// ---- Texts ----------------------------------------------------------------------------------

const char* EBoxErrorText(char code) {
    switch (code) {
        case '1':
            return "General failure in load cell unit";
        case '2':
            return "Under-load condition";
        case '3':
            return "Overload condition";
        case '6':
            return "Calibration timeout, unstable weight";
        case '7':
            return "Arithmetic error during calibration";
        case '8':
            return "Missing load cells in the network";
        default:
            return "";
    }
}

std::string WeightRoundingText(char code) {
    switch (code) {
        case '1':
            return "0.01";
        case '2':
            return "0.02";
        case '3':
            return "0.05";
        case '4':
            return "0.10";
        default:
            break;
    }
    char text[32];
    std::snprintf(text, sizeof text, "Value = %x",
                  static_cast<unsigned>(static_cast<unsigned char>(code)));
    return text;
}

}  // namespace lane::moxtel
