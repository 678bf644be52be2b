// Lane events of a scenario ("bill stacked 20", "coin 25", "transaction end"): what happens at
// the lane, expanded to the remote-monitor frames the security module sends for it.
#include "sim/LaneEvents.h"

#include <initializer_list>
#include <string_view>

#include "sim/DispenserEvents.h"

namespace lane::sim::parse {

namespace {

constexpr std::uint8_t kCoinAcceptor = 0xA8;
constexpr std::uint8_t kBillAcceptor = 0xA9;
constexpr std::uint8_t kCommand = 0x01;  // the lane to the device (0xA8: output)
constexpr std::uint8_t kReply = 0x02;    // the device's reply

// The bill acceptor's status reply as the module forwards it: the reply's start and length
// bytes, then the state, conditions, power-and-value, flash and message-type bytes.
constexpr std::uint8_t kReplyStart = 0x02;
constexpr std::uint8_t kReplyLength = 0x0B;
constexpr std::uint8_t kIdling = 0x01;
constexpr std::uint8_t kEscrowed = 0x04;
constexpr std::uint8_t kStacked = 0x10;
constexpr std::uint8_t kReturned = 0x40;
constexpr std::uint8_t kRejected = 0x02;
constexpr std::uint8_t kJammed = 0x04;
constexpr std::uint8_t kStackerFull = 0x08;

// The coin acceptor's status bit for "enabled", added to the coin code of each coin reply.
constexpr std::uint8_t kCoinEnabled = 0x08;

struct BillValue {
    const char* word;
    std::uint8_t code;  // bits 5..3 of the power byte
};
constexpr BillValue kBillValues[] = {
    {"1", 1}, {"2", 2}, {"5", 3}, {"10", 4}, {"20", 5}, {"50", 6}, {"100", 7},
};

struct CoinValue {
    const char* word;     // hundredths
    std::uint8_t code;    // the status reply's coin code
    std::uint8_t number;  // the 'C' report's coin number
};
constexpr CoinValue kCoinValues[] = {
    {"1", 0x01, 1},   {"5", 0x02, 2},  {"10", 0x03, 3},  {"25", 0x04, 4},   {"50", 0x05, 5},
    {"100", 0x06, 6}, {"2", 0x21, 33}, {"20", 0x22, 34}, {"200", 0x23, 35},
};

void Frame(std::vector<std::uint8_t>& frames, std::uint8_t code, std::uint8_t subCode,
           std::initializer_list<std::uint8_t> data) {
    frames.push_back(code);
    frames.push_back(subCode);
    frames.push_back(static_cast<std::uint8_t>(data.size()));
    frames.insert(frames.end(), data.begin(), data.end());
}

void BillReply(std::vector<std::uint8_t>& frames, std::uint8_t state, std::uint8_t conditions,
               std::uint8_t value) {
    Frame(frames, kBillAcceptor, kReply,
          {kReplyStart, kReplyLength, state, conditions, static_cast<std::uint8_t>(value << 3),
           0x00, 0x00});
}

void BillCommand(std::vector<std::uint8_t>& frames, char command, std::uint8_t argument) {
    Frame(frames, kBillAcceptor, kCommand, {static_cast<std::uint8_t>(command), argument});
}

bool BillFrames(const std::vector<std::string>& words, std::vector<std::uint8_t>& frames) {
    const std::string& what = words[1];
    if (what == "stacked" && words.size() == 3) {
        for (const BillValue& value : kBillValues) {
            if (words[2] == value.word) {
                // Escrowed, the lane's stack command, then stacked.
                BillReply(frames, kEscrowed, 0, value.code);
                BillCommand(frames, '3', 0);
                BillReply(frames, kIdling | kStacked, 0, value.code);
                return true;
            }
        }
        return false;
    }
    if (words.size() != 2) {
        return false;
    }
    if (what == "rejected") {
        BillReply(frames, kIdling, kRejected, 0);
    } else if (what == "returned") {
        // Escrowed, the lane's return command, then returned.
        BillReply(frames, kEscrowed, 0, 0);
        BillCommand(frames, '3', 1);
        BillReply(frames, kIdling | kReturned, 0, 0);
    } else if (what == "jam") {
        BillReply(frames, 0, kJammed, 0);
    } else if (what == "unjam") {
        BillReply(frames, kIdling, 0, 0);
    } else if (what == "stacker-full") {
        BillReply(frames, 0, kStackerFull, 0);
    } else {
        return false;
    }
    return true;
}

bool CoinFrames(const std::vector<std::string>& words, std::vector<std::uint8_t>& frames) {
    if (words.size() != 2) {
        return false;
    }
    for (const CoinValue& coin : kCoinValues) {
        if (words[1] == coin.word) {
            // The coin report the trace names, then the status reply that counts it.
            Frame(frames, kCoinAcceptor, kReply, {'C', coin.number});
            Frame(frames, kCoinAcceptor, kReply,
                  {'x', '1', static_cast<std::uint8_t>(kCoinEnabled | coin.code)});
            return true;
        }
    }
    return false;
}

bool TransactionFrames(const std::vector<std::string>& words, std::vector<std::uint8_t>& frames) {
    if (words.size() != 2 || (words[1] != "start" && words[1] != "end")) {
        return false;
    }
    Frame(frames, kCoinAcceptor, kCommand,
          {static_cast<std::uint8_t>(words[1] == "start" ? '2' : '3')});
    return true;
}

std::string Lower(std::string_view word) {
    std::string lower(word);
    for (char& c : lower) {
        if (c >= 'A' && c <= 'Z') {
            c = static_cast<char>(c - 'A' + 'a');
        }
    }
    return lower;
}

}  // namespace

bool LaneEventFrames(const std::vector<std::string>& words, std::vector<std::uint8_t>& frames) {
    frames.clear();
    if (words.size() < 2) {
        return false;
    }
    bool known = false;
    if (words[0] == "bill") {
        known = BillFrames(words, frames);
    } else if (words[0] == "coin") {
        known = CoinFrames(words, frames);
    } else if (words[0] == "transaction") {
        known = TransactionFrames(words, frames);
    } else {
        return DispenserEventFrames(words, frames);
    }
    if (!known) {
        frames.clear();
    }
    return known;
}

bool ParseLaneEvent(const Tokens& tokens, LineParser& parser, Step& step, int& rc) {
    const std::string_view command = tokens[0];
    if (!SameWord(command, "bill") && !SameWord(command, "coin") &&
        !SameWord(command, "transaction") && !IsDispenserEvent(command)) {
        return false;
    }
    std::vector<std::string> words;
    for (const std::string_view token : tokens) {
        words.push_back(Lower(token));
    }
    step.kind = StepKind::Send;
    if (!LaneEventFrames(words, step.bytes)) {
        rc = parser.Fail(kScenarioBadArguments,
                         "lane event " + Quoted(command) +
                             " takes: bill stacked 1|2|5|10|20|50|100, bill rejected|returned|"
                             "jam|unjam|stacker-full, coin 1|2|5|10|20|25|50|100|200, "
                             "transaction start|end, " +
                             kDispenserEventForms);
        return true;
    }
    rc = kScenarioOk;
    return true;
}

}  // namespace lane::sim::parse
