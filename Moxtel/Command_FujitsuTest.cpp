// The Fujitsu bill dispenser's screens over its data block (status and error registers, log
// counters, thickness sensor graph, clearing of the counters) and its service menu.
#include "Moxtel/Command_FujitsuTest.h"

#include <cstdio>
#include <string>

#include "Moxtel/FujitsuSession.h"
#include "Moxtel/FujitsuTexts.h"
#include "Moxtel/OperatorInput.h"
#include "Moxtel/PortRequest.h"

namespace lane::moxtel {

namespace {

// Positions in the status block (frame 1).
constexpr std::size_t kErrorCodesAt = 6;
constexpr std::size_t kErrorRegistersAt = 12;
constexpr std::size_t kSensorRegistersAt = 15;
constexpr std::size_t kStatusRegisterAt = 20;
constexpr std::size_t kCassetteStatusAt = 21;
constexpr std::size_t kThicknessAt = 25;
constexpr std::size_t kCassettes = 3;
// Positions in the log block (frame 2).
constexpr std::size_t kStoredMessageAt = 40;
constexpr std::size_t kCassetteCountersAt = 80;
constexpr std::size_t kCassetteCountersSize = 32;

std::string Format(const char* format, unsigned value) {
    char text[160];
    std::snprintf(text, sizeof text, format, value);
    return text;
}

std::string Hex(std::uint8_t value) {
    return Format("%.2X", value);
}

// The dispenser's stored message: up to 40 characters, to its first zero.
std::string StoredMessage(const FujitsuDataBlock& block) {
    std::string text;
    for (std::size_t i = 0; i < kFujitsuMessageChars; ++i) {
        const std::uint8_t c = block.bytes[kStoredMessageAt + i];
        if (c == 0) {
            break;
        }
        text.push_back(static_cast<char>(c));
    }
    return text;
}

// The currency code (three letters) and the last error codes (two bytes): false after logging.
bool RequestIsoAndLastErrors(FujitsuSession& session, char currency[3], std::uint8_t errors[2]) {
    struct Step {
        char code;
        std::size_t bytes;
    };
    const Step steps[] = {{'5', 3}, {'6', 2}};
    for (const Step& step : steps) {
        link::LinkPacket reply;
        if (!session.Send(std::string{'D', step.code})) {
            session.Show("ERROR 33: Fujitsu Bill Request Failed.");
            return false;
        }
        const int result = session.AwaitReply(static_cast<std::uint8_t>(step.code), reply);
        if (result != kPortReplyMatched) {
            session.Show(result == kPortTooManyPackets ? "ERROR 32: Read ISO Code."
                                                       : kFujitsuNoData);
            session.Show("ERROR 33: Fujitsu Bill Request Failed.");
            return false;
        }
        for (std::size_t i = 0; i < step.bytes; ++i) {
            const std::uint8_t byte = PacketByte(reply, 6 + i);
            if (step.code == '5') {
                currency[i] = static_cast<char>(byte);
            } else {
                errors[i] = byte;
            }
        }
    }
    return true;
}

void ShowStatusBlock(FujitsuSession& session, const FujitsuDataBlock& block, const char currency[3],
                     const std::uint8_t lastErrors[2]) {
    const auto at = [&](std::size_t n) { return block.bytes[n]; };
    const auto ch = [&](std::size_t n) { return std::string(1, static_cast<char>(at(n))); };
    session.Show(std::string(79, '='));
    std::string firmware;
    for (std::size_t n = 48; n <= 53; ++n) {
        firmware += ch(n);
    }
    session.Prompt("Firmware Version " + firmware + ", ");
    session.Prompt("  Release Date: " + ch(44) + ch(45) + "/" + ch(46) + ch(47) + "/20" + ch(42) +
                   ch(43));
    session.Prompt("  Currency Code:");
    session.Show(FujitsuCurrencyName(currency[0], currency[1]));
    session.Show("");
    for (std::size_t c = 0; c < kCassettes; ++c) {
        const std::uint8_t status = at(kCassetteStatusAt + c);
        session.Prompt(Format("Cassette %u Status:", static_cast<unsigned>(c + 1)) +
                       Hex(status & 0x7F) + " - ");
        session.Show(FujitsuCassetteText(status));
    }
    session.Show("");
    session.Prompt("Status Register  :" + Hex(at(kStatusRegisterAt)) + " - ");
    session.Show(FujitsuRegisterText(FujitsuRegister::Status, at(kStatusRegisterAt)));
    session.Show(" ");
    session.Prompt("Error Codes      :" + Hex(at(kErrorCodesAt)) + "-");
    session.Show(Hex(at(kErrorCodesAt + 1)));
    session.Prompt("Last Error Codes :" + Hex(lastErrors[0]) + "-");
    session.Show(Hex(lastErrors[1]));
    const FujitsuRegister errors[] = {FujitsuRegister::Error1, FujitsuRegister::Error2,
                                      FujitsuRegister::Error3};
    for (std::size_t r = 0; r < 3; ++r) {
        const std::uint8_t value = at(kErrorRegistersAt + r);
        session.Prompt(Format("Error Register %u :", static_cast<unsigned>(r + 1)) + Hex(value) +
                       " - ");
        session.Show(FujitsuRegisterText(errors[r], value));
    }
    session.Show(" ");
    const FujitsuRegister sensors[] = {FujitsuRegister::Sensor1, FujitsuRegister::Sensor2,
                                       FujitsuRegister::Sensor3};
    for (std::size_t r = 0; r < 3; ++r) {
        const std::uint8_t value = at(kSensorRegistersAt + r);
        session.Prompt(Format("Sensor Register %u:", static_cast<unsigned>(r + 1)) + Hex(value) +
                       " - ");
        session.Show(FujitsuRegisterText(sensors[r], value));
    }
    session.Show("Sensor Register 4:" + Hex(at(kSensorRegistersAt + 3)));
    session.Show("Sensor Register 5:" + Hex(at(kSensorRegistersAt + 4)));
    session.Show(" ");
    session.Prompt(Format("Thickness Sensor %.3u --->> 231 is Normal, Valid Range is 223 to 239",
                          at(kThicknessAt)));
    session.Show("\n\n");
}

struct CounterRow {
    const char* name;  // padded to the first column
    std::size_t offset;
    std::size_t bytes;
    bool gapAfter;
};

constexpr CounterRow kCounterRows[] = {
    {"Pick Operations                 ", 0, 4, true},
    {"Length Long Errors              ", 4, 2, false},
    {"Length Short Errors             ", 6, 2, true},
    {"Thickness Errors                ", 10, 2, false},
    {"Spacing Errors                  ", 12, 2, true},
    {"Pick From Wrong Cassette Errors ", 14, 2, true},
    {"Pick Errors While Bills Not Low ", 16, 2, true},
    {"Count Unmatch Errors            ", 18, 2, true},
    {"Pick Retries                    ", 20, 2, true},
    {"Count Retries by Count Error    ", 22, 2, false},
    {"Retries After Auto-Reject       ", 24, 2, true},
    {"Jam Errors                      ", 26, 2, true},
};

void ShowLogBlock(FujitsuSession& session, const FujitsuDataBlock& block) {
    session.Show("Total Number of               Cassette 1       Cassette 2      Cassette 3");
    for (const CounterRow& row : kCounterRows) {
        unsigned values[kCassettes];
        for (std::size_t c = 0; c < kCassettes; ++c) {
            values[c] = FujitsuCounter(
                block, kCassetteCountersAt + c * kCassetteCountersSize + row.offset, row.bytes);
        }
        char line[160];
        std::snprintf(line, sizeof line, "%s %5u            %5u           %5u", row.name, values[0],
                      values[1], values[2]);
        session.Show(line);
        if (row.gapAfter) {
            session.Show("");
        }
    }
    session.Show("Bill Dispenser Stored Message:" + StoredMessage(block));
    session.Show("");
}

// Requests the data block and shows it, again at each key until X.
template <typename ShowBlock>
int ShowUntilExit(FujitsuSession& session, const std::string& request, ShowBlock show) {
    for (;;) {
        FujitsuDataBlock block;
        if (!session.RequestBlockShown(request, block)) {
            return kFujitsuAborted;
        }
        show(block);
        session.Prompt("R - Refresh, X - Exit");
        if (session.Key() == 'X') {
            session.Show(kFujitsuExiting);
            return kFujitsuOk;
        }
    }
}

}  // namespace

int FujitsuStatusScreen(UtilityRun& run) {
    FujitsuSession session(run);
    int result = session.Start("**** Fujitsu Bill Dispenser Status/Error ****", kFujitsuSyncFailed);
    if (result != 0) {
        return result;
    }
    char currency[3] = {0, 0, 0};
    std::uint8_t lastErrors[2] = {0, 0};
    if (!RequestIsoAndLastErrors(session, currency, lastErrors)) {
        return kFujitsuAborted;
    }
    return ShowUntilExit(session, FujitsuStatusRequest(), [&](const FujitsuDataBlock& block) {
        ShowStatusBlock(session, block, currency, lastErrors);
    });
}

int FujitsuLogScreen(UtilityRun& run) {
    FujitsuSession session(run);
    const int result = session.Start("**** Fujitsu Bill Dispenser Log Data ****",
                                     "ERROR 1C: Sync port 5 Failed, Code = 8.6");
    if (result != 0) {
        return result;
    }
    return ShowUntilExit(session, FujitsuLogRequest(),
                         [&](const FujitsuDataBlock& block) { ShowLogBlock(session, block); });
}

int FujitsuThicknessGraph(UtilityRun& run) {
    FujitsuSession session(run);
    const int result =
        session.Start("**** Fujitsu Bill Dispenser Potentiometer Graph ****", kFujitsuSyncFailed);
    if (result != 0) {
        return result;
    }
    session.Show("Press any key to exit");
    for (;;) {
        FujitsuDataBlock block;
        if (!session.RequestBlock(FujitsuStatusRequest(), block)) {
            session.Show(kFujitsuAbortedText);
            return kFujitsuAborted;
        }
        run.console.Write(FujitsuThicknessGraphLine(block.bytes[kThicknessAt]));
        if (session.KeyPressed()) {
            static_cast<void>(session.SilentKey());
            session.Show(kFujitsuExiting);
            return kFujitsuOk;
        }
    }
}

int FujitsuClearTotals(UtilityRun& run) {
    FujitsuSession session(run);
    const int result =
        session.Start("**** Fujitsu Bill Dispenser Clear Log Data ****", kFujitsuSyncFailed);
    if (result != 0) {
        return result;
    }
    for (;;) {
        FujitsuDataBlock block;
        if (!session.RequestBlockShown(FujitsuLogRequest(), block)) {
            return kFujitsuAborted;
        }
        session.Commands().ClearScreen();
        session.Show("Current Stored Bill Dispenser Message:" + StoredMessage(block));
        session.Show("\n");
        session.Show("Totals Clearing Options:");
        session.Show("");
        session.Show(" 1 - Clear Error Counters and Retry Counters Only");
        session.Show(" 2 - Clear Pick Counters Only");
        session.Show(" 3 - Clear all Counters");
        session.Show(" X - Exit This Menu");
        session.Show("");
        session.Prompt(" Enter Option :");
        const char option = session.SilentKey();
        if (option == 'X') {
            session.Show(kFujitsuExiting);
            return kFujitsuOk;
        }
        session.Prompt("Are you sure you want to clear the totals Y/N :");
        if (session.Key() != 'Y') {
            continue;
        }
        session.Show("\n");
        session.Prompt("Enter message (40 characters max) :");
        const std::string message =
            ReadOperatorLine(run.console, kOperatorLineChars).substr(0, kFujitsuMessageChars);
        session.Show("Updating!");
        if (option >= '1' && option <= '3' &&
            !session.Send(FujitsuClearRequest(static_cast<std::uint8_t>(option - '0'), message))) {
            session.Show("ERROR 34: Update Failed!");
            continue;
        }
        if (ReadFujitsuBlock(run, session.Commands(), block) != 0) {
            session.Show("ERROR 34: Update Failed!");
        }
    }
}

void FujitsuDispenserMenu(UtilityRun& run) {
    SecurityModuleCommands commands(run);
    for (;;) {
        commands.ClearScreen();
        run.console.Write("\n**** Fujitsu Bill Dispenser Menu ****\n\n");
        run.console.Write(
            " 1 - Report Status/Error Data\n 2 - Report Log Data\n 3 - Set Thickness Sensor\n"
            " 4 - Test Dispense\n 5 - Clear Totals\n X - Exit This Menu\n");
        run.console.Write("\nEnter Function :");
        char key = 'X';
        if (run.options.acknowledgeResults && !run.console.InputEnded()) {
            key = ReadMenuKey(run);
            run.console.Write("\n");
            if (run.console.InputEnded()) {
                key = 'X';
            }
        }
        int result = kFujitsuOk;
        switch (key) {
            case 'X':
                return;
            case '1':
                result = FujitsuStatusScreen(run);
                break;
            case '2':
                result = FujitsuLogScreen(run);
                break;
            case '3':
                result = FujitsuThicknessGraph(run);
                break;
            case '4':
                result = FujitsuTestDispense(run);
                break;
            case '5':
                result = FujitsuClearTotals(run);
                break;
            default:
                break;
        }
        if (result != kFujitsuOk && !run.console.InputEnded()) {
            commands.WaitForKey();
        }
    }
}

}  // namespace lane::moxtel
