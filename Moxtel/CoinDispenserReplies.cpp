// The coin dispenser's replies read into texts, model, codes and the configuration block image.
#include "Moxtel/CoinDispenserReplies.h"

#include <algorithm>
#include <cstdio>

namespace lane::moxtel {

namespace {

// Wire bytes before the data (DA, DC, DL).
constexpr std::size_t kWireHeader = 3;
// Wire bytes of a block reply: its offset, then its contents.
constexpr std::size_t kBlockOffsetByte = 6;
constexpr std::size_t kBlockFirstByte = 7;

struct CodeName {
    std::uint8_t code;
    const char* name;
};

constexpr CodeName kTFlexNames[] = {
    {'A', "Turkey"}, {'B', "USA"},  {'C', "Canada"}, {'E', "UK"},     {'F', "Australia"},
    {'G', "Japan"},  {'I', "Euro"}, {'J', "Mexico"}, {'L', "Poland"}, {'P', "Swedish"},
};
constexpr CodeName kCx25Names[] = {
    {'E', "USA03 - USA/Older Config"},
    {'I', "UK003 - UK"},
    {'M', "CAN01 - Canada"},
    {'U', "AUS01 - Australian"},
    {'Z', "SEK03 - Sweden"},
    {'b', "BGN01 - Bulgaria"},
    {'e', "USA06 - USA"},
    {'f', "PLN02 - Poland"},
    {'i', "Eur06 - Euro"},
};
constexpr CodeName kHopperNames[] = {
    {'E', "USA"},    {'I', "UK"},      {'L', "Euro"},     {'M', "Canada"},  {'U', "Australia"},
    {'Z', "Sweden"}, {'r', "Croatia"}, {0x83, "Croatia"}, {'t', "Serbian"},
};

struct KeyCode {
    char key;
    std::uint8_t code;
    const char* line;
};

constexpr KeyCode kTFlexKeys[] = {
    {'1', 'B', "1 - USA"},    {'2', 'C', "2 - Canada"},    {'3', 'I', "3 - EURO"},
    {'4', 'E', "4 - UK"},     {'5', 'F', "5 - Australia"}, {'6', 'L', "6 - Poland"},
    {'7', 'P', "7 - Sweden"},
};
// Key 2 writes ']', a code the CX25's own list of names does not hold.
constexpr KeyCode kCx25Keys[] = {
    {'1', 'e', "1 - USA"},    {'2', ']', "2 - Canada"},    {'3', 'i', "3 - EURO"},
    {'4', 'I', "4 - UK"},     {'5', 'U', "5 - Australia"}, {'6', 'b', "6 - Bulgaria"},
    {'7', 'Z', "7 - Sweden"}, {'8', 'f', "8 - Poland"},
};
constexpr KeyCode kHopperKeys[] = {
    {'1', 'E', "1 - USA"},    {'2', 'M', "2 - Canada"},    {'3', 'L', "3 - EURO"},
    {'4', 'I', "4 - UK"},     {'5', 'U', "5 - Australia"}, {'6', 'r', "6 - Croatia"},
    {'7', 'Z', "7 - Sweden"},
};

template <std::size_t N>
const char* FindName(const CodeName (&names)[N], std::uint8_t code) {
    for (const CodeName& entry : names) {
        if (entry.code == code) {
            return entry.name;
        }
    }
    return nullptr;
}

std::string CodeText(const char* format, std::uint8_t code) {
    char text[32];
    std::snprintf(text, sizeof text, format, static_cast<unsigned>(code));
    return text;
}

}  // namespace

std::uint8_t CashReplyByte(const link::LinkPacket& reply, std::size_t n) {
    if (n < kWireHeader) {
        return n == 0 ? reply.DA : n == 1 ? reply.DC : reply.DL;
    }
    const std::size_t index = n - kWireHeader;
    if (index >= reply.DL || index >= reply.data.size()) {
        return 0;
    }
    return reply.data[index];
}

std::string CashReplyText(const link::LinkPacket& reply, std::size_t first) {
    std::string text;
    const std::size_t end = std::min<std::size_t>(reply.DL, reply.data.size()) + kWireHeader;
    for (std::size_t n = first; n < end; ++n) {
        const std::uint8_t byte = CashReplyByte(reply, n);
        if (byte == 0) {
            break;
        }
        text.push_back(static_cast<char>(byte));
    }
    return text;
}

std::string CoinStatusText(std::uint8_t statusBits) {
    static constexpr const char* kBitTexts[] = {"Comm Error, ", "Function Error, ", "Offline, ",
                                                "Busy, ", "Low Coins, "};
    std::string text;
    for (std::size_t bit = 0; bit < std::size(kBitTexts); ++bit) {
        if ((statusBits >> bit) & 1U) {
            text += kBitTexts[bit];
        }
    }
    return text.empty() ? "Okay" : text;
}

CoinDispenserModel CoinModelFromByte(std::uint8_t modelByte) {
    switch (modelByte) {
        case '1':
            return CoinDispenserModel::Hopper;
        case '2':
            return CoinDispenserModel::Cx25;
        default:
            return CoinDispenserModel::TFlex;
    }
}

const char* CoinModelName(std::uint8_t modelByte) {
    switch (modelByte) {
        case '0':
            return "T-Flex";
        case '1':
            return "CoinXpress/Hopper";
        case '2':
            return "CX25/Hopper";
        default:
            return "Invalid";
    }
}

std::string CoinConfigurationLine(CoinDispenserModel model, std::uint8_t code,
                                  const std::string& text) {
    std::string line;
    const char* name = nullptr;
    switch (model) {
        case CoinDispenserModel::TFlex:
            line = "Cassette Config : ";
            name = FindName(kTFlexNames, code);
            line += name != nullptr ? std::string(name) : CodeText("Invalid %2x", code);
            break;
        case CoinDispenserModel::Cx25:
            line = "CX25 Bin Config : ";
            name = FindName(kCx25Names, code);
            line += name != nullptr ? std::string(name) : CodeText("Code = %2x", code);
            break;
        case CoinDispenserModel::Hopper:
            line = "CX Bin Config   : ";
            name = FindName(kHopperNames, code);
            line += name != nullptr ? std::string(name) : CodeText("Invalid %2x", code);
            break;
    }
    return line + " = " + text;
}

bool CoinConfigurationForKey(CoinDispenserModel model, char key, std::uint8_t& code,
                             const char*& listLine) {
    const auto find = [&](const auto& keys) {
        for (const KeyCode& entry : keys) {
            if (entry.key == key) {
                code = entry.code;
                listLine = entry.line;
                return true;
            }
        }
        return false;
    };
    switch (model) {
        case CoinDispenserModel::TFlex:
            return find(kTFlexKeys);
        case CoinDispenserModel::Cx25:
            return find(kCx25Keys);
        case CoinDispenserModel::Hopper:
            return find(kHopperKeys);
    }
    return false;
}

std::size_t CopyCoinBlockReply(CoinDispenserBlock& block, const link::LinkPacket& reply) {
    const std::size_t held = std::min<std::size_t>(reply.DL, reply.data.size()) + kWireHeader;
    if (held <= kBlockFirstByte) {
        return 0;  // no offset, or no contents after it
    }
    const std::size_t offset = CashReplyByte(reply, kBlockOffsetByte);
    const std::size_t carried = std::min(held - kBlockFirstByte, kCoinBlockReplyBytes);
    if (offset >= block.size()) {
        return 0;
    }
    const std::size_t count = std::min(carried, block.size() - offset);
    for (std::size_t i = 0; i < count; ++i) {
        block[offset + i] = CashReplyByte(reply, kBlockFirstByte + i);
    }
    return count;
}

std::string CoinSerialNumber(const CoinDispenserBlock& block) {
    std::string serial;
    for (std::size_t n = kSerialNumberFirst; n <= kSerialNumberLast; ++n) {
        if (block[n] >= ' ' && block[n] <= 'z') {
            serial.push_back(static_cast<char>(block[n]));
        }
    }
    return serial;
}

unsigned CoinDispenseBelow(const CoinDispenserBlock& block) {
    return static_cast<unsigned>(block[kDispenseBelowPosition]) * 256U +
           block[kDispenseBelowPosition + 1];
}

}  // namespace lane::moxtel
