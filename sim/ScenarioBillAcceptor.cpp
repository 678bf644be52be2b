// The bill acceptor's scenario lines: identity, upload settings and block faults.
#include "sim/ScenarioBillAcceptor.h"

#include <string>

namespace lane::sim::parse {

namespace {

constexpr std::int64_t kMaxTypeOrVersion = 127;  // 7 bits on the wire
constexpr std::int64_t kMaxBlock = 0xFFFE;       // 0xFFFF means no block
constexpr std::int64_t kMaxImageBytes = 524287;
constexpr std::size_t kPartLength = 3;

bool ParseText(std::string_view token, std::size_t length, std::string& text) {
    if (token.size() != length) {
        return false;
    }
    for (const char c : token) {
        if (c <= 0x20 || c >= 0x7F) {
            return false;
        }
    }
    text = std::string(token);
    return true;
}

bool ParseHex(std::string_view token, std::size_t digits, std::uint32_t& value) {
    if (token.empty() || token.size() > digits) {
        return false;
    }
    value = 0;
    for (const char c : token) {
        const int digit = HexDigit(c);
        if (digit < 0) {
            return false;
        }
        value = value * 16 + static_cast<std::uint32_t>(digit);
    }
    return true;
}

// The values after a setting's name, and how many it needs.
struct Cursor {
    const Tokens& tokens;
    std::size_t at;
    bool Has(std::size_t count) const { return at + count <= tokens.size(); }
};

// "type N", "version N", "parts AAA BBB", "iso XXX", "crc HHHH", "status HH HH HH".
int ParseIdentity(Cursor& c, LineParser& parser, BillAcceptorSetup& setup, bool after) {
    const char* usage = after ? "\"bill-acceptor after-upload\" takes version N, parts AAA BBB"
                              : "\"bill-acceptor identity\" takes type N, version N, parts AAA "
                                "BBB, iso XXX, crc HHHH, status HH HH HH";
    if (!c.Has(1)) {
        return parser.Fail(kScenarioBadArguments, usage);
    }
    while (c.at < c.tokens.size()) {
        const std::string_view setting = c.tokens[c.at++];
        std::int64_t number = 0;
        if (SameWord(setting, "version") || (!after && SameWord(setting, "type"))) {
            if (!c.Has(1) || !ParseNumber(c.tokens[c.at], kMaxTypeOrVersion, number)) {
                return parser.Fail(kScenarioBadNumber,
                                   Quoted(setting) + " takes a number from 0 to 127");
            }
            ++c.at;
            auto& field = SameWord(setting, "type") ? setup.typeCode
                          : after                   ? setup.newVersion
                                                    : setup.version;
            field = static_cast<std::uint32_t>(number);
        } else if (SameWord(setting, "parts")) {
            std::string& a = after ? setup.newPartA : setup.partA;
            std::string& b = after ? setup.newPartB : setup.partB;
            if (!c.Has(2) || !ParseText(c.tokens[c.at], kPartLength, a) ||
                !ParseText(c.tokens[c.at + 1], kPartLength, b)) {
                return parser.Fail(kScenarioBadArguments,
                                   "\"parts\" takes two version parts of three characters");
            }
            c.at += 2;
        } else if (!after && SameWord(setting, "iso")) {
            if (!c.Has(1) || !ParseText(c.tokens[c.at], kPartLength, setup.iso)) {
                return parser.Fail(kScenarioBadArguments, "\"iso\" takes three characters");
            }
            ++c.at;
        } else if (!after && SameWord(setting, "crc")) {
            if (!c.Has(1) || !ParseHex(c.tokens[c.at], 4, setup.crc)) {
                return parser.Fail(kScenarioBadArguments, "\"crc\" takes four hex digits");
            }
            ++c.at;
        } else if (!after && SameWord(setting, "status")) {
            for (std::uint8_t& byte : setup.status) {
                std::uint32_t value = 0;
                if (!c.Has(1) || !ParseHex(c.tokens[c.at], 2, value)) {
                    return parser.Fail(kScenarioBadHex,
                                       "\"status\" takes three bytes in hex: state, condition, "
                                       "value");
                }
                byte = static_cast<std::uint8_t>(value);
                ++c.at;
            }
        } else {
            return parser.Fail(kScenarioBadModule,
                               "unknown bill acceptor setting " + Quoted(setting) + "; " + usage);
        }
    }
    return kScenarioOk;
}

int ParseBlock(std::string_view token, LineParser& parser, std::uint32_t& block) {
    std::int64_t number = 0;
    if (!ParseNumber(token, kMaxBlock, number)) {
        return parser.Fail(kScenarioBadNumber, "bad block " + Quoted(token) + " (0 to 65534)");
    }
    block = static_cast<std::uint32_t>(number);
    return kScenarioOk;
}

struct FaultWord {
    const char* word;
    BillBlockFault kind;
};
constexpr FaultWord kFaultWords[] = {
    {"lose-reply", BillBlockFault::LoseReply},
    {"miss-block", BillBlockFault::Miss},
    {"answer-block", BillBlockFault::AnswerOther},
    {"restart-at", BillBlockFault::Restart},
};

int ParseSetting(const Tokens& tokens, LineParser& parser, BillAcceptorSetup& setup) {
    const std::string_view what = tokens[1];
    for (const FaultWord& fault : kFaultWords) {
        if (!SameWord(what, fault.word)) {
            continue;
        }
        const bool answers = fault.kind == BillBlockFault::AnswerOther;
        if (tokens.size() != (answers ? 4u : 3u)) {
            return parser.Fail(kScenarioBadArguments, "\"bill-acceptor " + std::string(fault.word) +
                                                          "\" takes " +
                                                          (answers ? "BLOCK NUMBER" : "BLOCK"));
        }
        BillBlockFaultSetting setting;
        setting.kind = fault.kind;
        std::uint32_t block = 0;
        int rc = ParseBlock(tokens[2], parser, block);
        if (rc == kScenarioOk && answers) {
            rc = ParseBlock(tokens[3], parser, setting.answer);
        }
        if (rc == kScenarioOk) {
            setup.faults[block] = setting;
        }
        return rc;
    }
    if (SameWord(what, "image-size")) {
        std::int64_t bytes = 0;
        if (tokens.size() != 3 || !ParseNumber(tokens[2], kMaxImageBytes, bytes)) {
            return parser.Fail(kScenarioBadNumber,
                               "\"bill-acceptor image-size\" takes a byte count from 0 to 524287");
        }
        setup.imageBytes = static_cast<std::uint32_t>(bytes);
        return kScenarioOk;
    }
    if (SameWord(what, "upload-mode")) {
        setup.uploadMode = true;
        setup.held = -1;
        if (tokens.size() == 2) {
            return kScenarioOk;
        }
        std::uint32_t held = 0;
        if (tokens.size() != 4 || !SameWord(tokens[2], "held")) {
            return parser.Fail(kScenarioBadArguments,
                               "\"bill-acceptor upload-mode\" takes nothing or held BLOCK");
        }
        const int rc = ParseBlock(tokens[3], parser, held);
        setup.held = static_cast<std::int32_t>(held);
        return rc;
    }
    Cursor cursor{tokens, 2};
    if (SameWord(what, "after-upload")) {
        return ParseIdentity(cursor, parser, setup, true);
    }
    if (SameWord(what, "identity")) {
        return ParseIdentity(cursor, parser, setup, false);
    }
    return parser.Fail(kScenarioBadModule,
                       "\"bill-acceptor\" takes identity, after-upload, image-size, upload-mode, "
                       "lose-reply, miss-block, answer-block or restart-at");
}

}  // namespace

bool ParseBillAcceptorLine(const Tokens& tokens, LineParser& parser, bool inBlock,
                           BillAcceptorSetup& setup, int& rc) {
    if (!SameWord(tokens[0], "bill-acceptor")) {
        return false;
    }
    if (inBlock) {
        rc = parser.Fail(kScenarioBadModule,
                         "the bill acceptor's settings are given outside repeat blocks");
        return true;
    }
    if (tokens.size() < 2) {
        rc = parser.Fail(kScenarioBadArguments,
                         "\"bill-acceptor\" takes identity, after-upload, image-size, "
                         "upload-mode, lose-reply, miss-block, answer-block or restart-at");
        return true;
    }
    rc = ParseSetting(tokens, parser, setup);
    return true;
}

}  // namespace lane::sim::parse
