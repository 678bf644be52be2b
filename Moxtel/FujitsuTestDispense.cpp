// The Fujitsu bill dispenser's test dispense: the cassettes found in its status block, the count
// the operator asks for (one cassette; in manufacturing mode each inserted cassette), one
// dispense command and the dispenser's response.
#include <cstdio>
#include <string>
#include <vector>

#include "Moxtel/Command_FujitsuTest.h"
#include "Moxtel/FujitsuSession.h"
#include "Moxtel/FujitsuTexts.h"
#include "Moxtel/OperatorInput.h"
#include "Moxtel/PortRequest.h"

namespace lane::moxtel {

namespace {

constexpr std::size_t kCassetteStatusAt = 21;
constexpr std::size_t kCassettes = 3;
constexpr unsigned kMostBills = 20;
// The dispense response: error codes at bytes 6 to 8, then per cassette its letter, the bills
// dispensed as two digits and the bills rejected as one.
constexpr std::size_t kResponseErrorsAt = 6;
constexpr std::size_t kResponseCassettesAt = 9;
constexpr std::size_t kResponseCassetteSize = 4;

struct Dispense {
    char letter;
    unsigned bills;
};

// "D38B", separators, then per cassette its letter, '0' and the count as two digits.
std::string DispenseCommand(const std::vector<Dispense>& dispenses) {
    std::string command{'D', '3', '8', 'B', '\x1C', '1', '\x1C'};
    for (const Dispense& d : dispenses) {
        command.push_back(d.letter);
        command.push_back('0');
        command.push_back(static_cast<char>('0' + d.bills / 10 % 10));
        command.push_back(static_cast<char>('0' + d.bills % 10));
    }
    return command;
}

void ShowResponse(FujitsuSession& session, const link::LinkPacket& reply) {
    const auto at = [&](std::size_t n) { return PacketByte(reply, n); };
    session.Prompt("Bill Dispenser Response:\n");
    const std::uint8_t e1 = at(kResponseErrorsAt);
    const std::uint8_t e2 = at(kResponseErrorsAt + 1);
    const std::uint8_t e3 = at(kResponseErrorsAt + 2);
    if (e1 == 0 && e2 == 0 && e3 == 0) {
        session.Prompt("No Errors\n");
    } else {
        char text[48];
        std::snprintf(text, sizeof text, "Error Codes: %.2x.%.2x.%.2x\n", e1, e2, e3);
        session.Prompt(text);
    }
    const std::size_t held = reply.DL + 3U;
    for (std::size_t c = 0; c < kCassettes; ++c) {
        const std::size_t first = kResponseCassettesAt + c * kResponseCassetteSize;
        if (first + kResponseCassetteSize > held) {
            break;
        }
        char text[64];
        std::snprintf(text, sizeof text, "Cassette %c, %c%c Bills Dispensed, %c Bills Rejected",
                      at(first), at(first + 1), at(first + 2), at(first + 3));
        session.Show(text);
    }
}

// What to dispense: false (after its message) when there is nothing to send.
bool AskDispenses(FujitsuSession& session, const FujitsuDataBlock& block,
                  std::vector<Dispense>& dispenses) {
    UtilityRun& run = session.Run();
    std::vector<std::uint8_t> inserted;
    session.Prompt("Cassettes found\n");
    for (std::size_t c = 0; c < kCassettes; ++c) {
        const std::uint8_t status = block.bytes[kCassetteStatusAt + c];
        char label[32];
        std::snprintf(label, sizeof label, "Cassette %u: ", static_cast<unsigned>(c + 1));
        session.Show(label + FujitsuCassetteText(status));
        if ((status & 0x0F) != 0) {
            inserted.push_back(status);
        }
    }
    if (!run.options.manufacturingMode) {
        if (inserted.size() != 1) {
            session.Show(inserted.empty() ? "ERROR: 1 cassette must be inserted!"
                                          : "ERROR: Only 1 cassette must be inserted!");
            return false;
        }
        const char letter = FujitsuCassetteLetter(inserted.front());
        if (letter == 0) {
            session.Show("Invalid Cassette ID");
            return false;
        }
        session.Prompt("Enter number of bills to dispense (1-20) :");
        const std::uint32_t bills =
            DecimalPrefix(ReadOperatorLine(run.console, kOperatorLineChars));
        if (bills < 1 || bills > kMostBills) {
            session.Show("Invalid number of bills.");
            return false;
        }
        dispenses.push_back({letter, bills});
        return true;
    }
    for (const std::uint8_t status : inserted) {
        const char letter = FujitsuCassetteLetter(status);
        if (letter == 0) {
            session.Show("Invalid Cassette ID");
            continue;
        }
        char prompt[64];
        std::snprintf(prompt, sizeof prompt,
                      "Enter number of bills to dispense for cassette %c :", letter);
        session.Prompt(prompt);
        const char key = session.Key();
        if (key >= '1' && key <= '9') {
            dispenses.push_back({letter, static_cast<unsigned>(key - '0')});
        } else {
            session.Prompt("None\n");
        }
    }
    return !dispenses.empty();
}

}  // namespace

int FujitsuTestDispense(UtilityRun& run) {
    FujitsuSession session(run);
    const int result =
        session.Start("**** Fujitsu Bill Dispenser Test Dispense ****", kFujitsuSyncFailed);
    if (result != 0) {
        return result;
    }
    for (;;) {
        FujitsuDataBlock block;
        if (!session.RequestBlockShown(FujitsuStatusRequest(), block)) {
            return kFujitsuAborted;
        }
        std::vector<Dispense> dispenses;
        if (!AskDispenses(session, block, dispenses)) {
            return kFujitsuNoCassette;
        }
        if (!session.Send(DispenseCommand(dispenses))) {
            return kFujitsuAborted;
        }
        link::LinkPacket reply;
        const int awaited = session.AwaitReply('3', reply);
        if (awaited != kPortReplyMatched) {
            session.Show(kFujitsuNoData);
            return kFujitsuAborted;
        }
        ShowResponse(session, reply);
        session.Prompt("R - Retry, X - Exit");
        if (session.Key() != 'R') {
            session.Show(kFujitsuExiting);
            return kFujitsuOk;
        }
    }
}

}  // namespace lane::moxtel
