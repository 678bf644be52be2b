// The cash dispensers' lane events: the frames the security module sends for each.
#include "sim/DispenserEvents.h"

#include <array>
#include <cctype>
#include <initializer_list>

#include "sim/ScenarioText.h"

namespace lane::sim::parse {

namespace {

constexpr std::uint8_t kCoinDispenser = 0xAA;
constexpr std::uint8_t kBillDispenser = 0xAB;
constexpr std::uint8_t kCashPocket = 0xAE;
constexpr std::uint8_t kOutput = 0x01;
constexpr std::uint8_t kInput = 0x02;
constexpr std::uint8_t kLinkStatus = 0x03;
constexpr std::uint8_t kSeparator = 0x1C;
constexpr std::uint8_t kEnd = 0x03;

// The lane's bill dispenser: feed modules 1 to 4 hold $1, $5, $10 and $20 notes.
struct Cassette {
    const char* value;
    std::uint8_t letter;
};
constexpr std::array<Cassette, 4> kCassettes = {{{"1", 'A'}, {"5", 'B'}, {"10", 'C'}, {"20", 'D'}}};

// Coin dispenser status bits.
constexpr std::uint8_t kCoinsDispensed = 0x20;
constexpr std::uint8_t kCoinsLow = 0x10;
constexpr std::uint8_t kCoinOffline = 0x04;

void LengthFrame(std::vector<std::uint8_t>& frames, std::uint8_t code, std::uint8_t subCode,
                 const std::vector<std::uint8_t>& data) {
    frames.push_back(code);
    frames.push_back(subCode);
    frames.push_back(static_cast<std::uint8_t>(data.size()));
    frames.insert(frames.end(), data.begin(), data.end());
}

// A response of the bill dispenser: the reply's start, '3', a sequence byte and its code.
void Response(std::vector<std::uint8_t>& frames, std::uint8_t code,
              std::initializer_list<std::uint8_t> fields) {
    std::vector<std::uint8_t> data = {0x02, '3', '0', code};
    data.insert(data.end(), fields.begin(), fields.end());
    LengthFrame(frames, kBillDispenser, kInput, data);
}

// A whole number from 1 to `max`, digits only.
bool Number(const std::string& word, int max, int& value) {
    if (word.empty() || word.size() > 3) {
        return false;
    }
    value = 0;
    for (const char c : word) {
        if (!std::isdigit(static_cast<unsigned char>(c))) {
            return false;
        }
        value = value * 10 + (c - '0');
    }
    return value >= 1 && value <= max;
}

void AppendDigits(std::vector<std::uint8_t>& bytes, int value) {
    bytes.push_back(static_cast<std::uint8_t>('0' + value / 100));
    bytes.push_back(static_cast<std::uint8_t>('0' + value / 10 % 10));
    bytes.push_back(static_cast<std::uint8_t>('0' + value % 10));
}

// The dispense command with a group per denomination, then the reply with a group per module.
bool DispenseFrames(const std::vector<std::string>& words, std::vector<std::uint8_t>& frames) {
    if (words.size() < 2 || words.size() > 1 + kCassettes.size()) {
        return false;
    }
    std::array<int, kCassettes.size()> counts{};
    for (std::size_t w = 1; w < words.size(); ++w) {
        const std::size_t x = words[w].find('x');
        if (x == std::string::npos) {
            return false;
        }
        const std::string value = words[w].substr(0, x);
        std::size_t module = kCassettes.size();
        for (std::size_t m = 0; m < kCassettes.size(); ++m) {
            if (value == kCassettes[m].value) {
                module = m;
            }
        }
        int count = 0;
        if (module == kCassettes.size() || counts[module] != 0 ||
            !Number(words[w].substr(x + 1), 999, count)) {
            return false;
        }
        counts[module] = count;
    }
    std::vector<std::uint8_t> command = {0x02, '3', '0', 'B', kSeparator, '0'};
    std::vector<std::uint8_t> reply = {0x02, '3', '0', 'B'};
    for (std::size_t m = 0; m < kCassettes.size(); ++m) {
        if (counts[m] == 0) {
            continue;
        }
        command.push_back(kSeparator);
        command.push_back(kCassettes[m].letter);
        AppendDigits(command, counts[m]);
        reply.push_back(kSeparator);
        reply.push_back(static_cast<std::uint8_t>('1' + m));
        reply.push_back(kCassettes[m].letter);
        AppendDigits(reply, counts[m]);
        AppendDigits(reply, 0);
    }
    LengthFrame(frames, kBillDispenser, kOutput, command);
    LengthFrame(frames, kBillDispenser, kInput, reply);
    return true;
}

// The unsolicited cassette status of the four modules, `missing` the mask of absent ones
// (their letters are the no-cassette mark) and `low` the module reported low (0 for none).
void CassetteStatus(std::vector<std::uint8_t>& frames, std::uint8_t missing, int low) {
    std::vector<std::uint8_t> data = {0x02, '3', '0', 'a', missing, 0x00, kSeparator};
    for (std::size_t m = 0; m < kCassettes.size(); ++m) {
        std::uint8_t letter = kCassettes[m].letter;
        if ((missing & (1u << (m + 1))) != 0) {
            letter = 0x40;
        } else if (static_cast<int>(m) + 1 == low) {
            letter = static_cast<std::uint8_t>(std::tolower(letter));
        }
        data.push_back(letter);
    }
    data.push_back(kEnd);
    LengthFrame(frames, kBillDispenser, kInput, data);
}

bool BillDispenserFrames(const std::vector<std::string>& words, std::vector<std::uint8_t>& frames) {
    const std::string& what = words[1];
    int module = 0;
    if (words.size() == 3 && what == "jam" && Number(words[2], 6, module)) {
        // Modules 1 to 5 are '>' '2' and '5' to '9'; module 6 is '>' '3' '0'.
        const std::uint8_t s1 = module == 6 ? '3' : '2';
        const std::uint8_t s2 = module == 6 ? '0' : static_cast<std::uint8_t>('4' + module);
        Response(frames, 'B', {'>', s1, s2});
    } else if (words.size() == 3 && what == "low" && Number(words[2], 4, module)) {
        CassetteStatus(frames, 0, module);
    } else if (words.size() != 2) {
        return false;
    } else if (what == "unjam") {
        Response(frames, 'B', {kSeparator});
    } else if (what == "refilled") {
        Response(frames, '4', {'1', '1', kSeparator, 'A', 'B', 'C', 'D', kEnd});
    } else if (what == "offline" || what == "online") {
        frames.insert(frames.end(), {kBillDispenser, kLinkStatus,
                                     static_cast<std::uint8_t>(what == "offline" ? 1 : 0)});
    } else {
        return false;
    }
    return true;
}

bool CassetteFrames(const std::vector<std::string>& words, std::vector<std::uint8_t>& frames) {
    int module = 0;
    if (words.size() != 3 || (words[1] != "removed" && words[1] != "replaced") ||
        !Number(words[2], 4, module)) {
        return false;
    }
    CassetteStatus(frames, words[1] == "removed" ? static_cast<std::uint8_t>(1u << module) : 0, 0);
    return true;
}

void CoinStatus(std::vector<std::uint8_t>& frames, std::uint8_t status) {
    LengthFrame(frames, kCoinDispenser, kInput, {'?', '1', status});
}

bool CoinDispenserFrames(const std::vector<std::string>& words, std::vector<std::uint8_t>& frames) {
    if (words[0] == "coins") {
        int hundredths = 0;
        if (words[1] != "dispensed" || words.size() > 3 ||
            (words.size() == 3 && !Number(words[2], 99, hundredths))) {
            return false;
        }
        if (hundredths != 0) {
            // The dispense request carries the cents as two digits.
            LengthFrame(frames, kCoinDispenser, kOutput,
                        {'2', static_cast<std::uint8_t>('0' + hundredths / 10),
                         static_cast<std::uint8_t>('0' + hundredths % 10)});
        }
        CoinStatus(frames, kCoinsDispensed);
        return true;
    }
    if (words.size() != 2) {
        return false;
    }
    if (words[1] == "low") {
        CoinStatus(frames, kCoinsLow);
    } else if (words[1] == "ready") {
        CoinStatus(frames, 0);
    } else if (words[1] == "offline") {
        CoinStatus(frames, kCoinOffline);
    } else {
        return false;
    }
    return true;
}

bool CashPocketFrames(const std::vector<std::string>& words, std::vector<std::uint8_t>& frames) {
    const std::string what = words.size() == 3   ? words[1] + " " + words[2]
                             : words.size() == 2 ? words[1]
                                                 : std::string();
    std::uint8_t subCode = 0;
    if (what == "light on") {
        subCode = 1;
    } else if (what == "buzzer on") {
        subCode = 2;
    } else if (what == "bill") {
        subCode = 3;
    } else if (what == "no-bill") {
        subCode = 4;
    } else if (what == "complete") {
        subCode = 5;
    } else {
        return false;
    }
    frames.insert(frames.end(), {kCashPocket, subCode});
    return true;
}

}  // namespace

bool IsDispenserEvent(std::string_view command) {
    for (const char* word :
         {"dispense", "bill-dispenser", "cassette", "coins", "coin-dispenser", "cash-pocket"}) {
        if (SameWord(command, word)) {
            return true;
        }
    }
    return false;
}

bool DispenserEventFrames(const std::vector<std::string>& words,
                          std::vector<std::uint8_t>& frames) {
    frames.clear();
    if (words.size() < 2) {
        return false;
    }
    bool known = false;
    if (words[0] == "dispense") {
        known = DispenseFrames(words, frames);
    } else if (words[0] == "bill-dispenser") {
        known = BillDispenserFrames(words, frames);
    } else if (words[0] == "cassette") {
        known = CassetteFrames(words, frames);
    } else if (words[0] == "coins" || words[0] == "coin-dispenser") {
        known = CoinDispenserFrames(words, frames);
    } else if (words[0] == "cash-pocket") {
        known = CashPocketFrames(words, frames);
    }
    if (!known) {
        frames.clear();
    }
    return known;
}

}  // namespace lane::sim::parse
