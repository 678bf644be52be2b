// The bill acceptor's status screen and bezel setting: port 5 opened and synchronised, the
// requests, what the replies say, port 5 closed.
#include "Moxtel/Command_BillAcceptorStatus.h"

#include <cctype>
#include <cstddef>
#include <cstdint>
#include <string>

#include "Moxtel/securitymodule_commands.h"

namespace lane::moxtel {

namespace {

constexpr const char* kModule = "Command_BillAcceptorUpload";

// The bezel setting needs a module above 4.63.
constexpr unsigned kBezelFrom = 464;
// Bill acceptor commands of the status screen, with their arguments where they take one.
constexpr std::uint8_t kEnableCommand = '2';  // argument 1 enables, 0 disables
constexpr std::uint8_t kRejectCommand = '3';  // argument 1 rejects the bill in escrow
constexpr std::uint8_t kCalibrateCommand = '6';
constexpr std::uint8_t kBezelCommand = 'F';
// The last bill's value, bits 3 to 5 of the third status byte.
constexpr int kBillValues[8] = {0, 1, 2, 5, 10, 20, 50, 100};

enum StatusScreenFailure : int { kPort5Open = 1, kPort5Sync, kBezelWrite, kBezelNoReply };

void Show(UtilityRun& run, int line, const char* text) {
    run.log.LogMessage(kLogShow, kCategoryCommand, kModule, line, "%s", text);
}

bool Bit(std::uint8_t value, int bit) {
    return (value & (1u << bit)) != 0;
}

// A bill acceptor command with its argument: port 5, 'B', the command, the argument.
void SendWithArgument(UtilityRun& run, std::uint8_t command, std::uint8_t argument) {
    link::LinkPacket packet;
    packet.DA = link::kCashPort;
    packet.DC = link::TMCB_DC_PORT_DATA;
    packet.DL = 3;
    packet.data[0] = 'B';
    packet.data[1] = command;
    packet.data[2] = argument;
    if (run.link.WritePacketToSecurityModule(packet) != 0) {
        run.log.LogMessage(kLogShow, kCategoryCommand, kModule, __LINE__,
                           "ERROR 11: Sending Command to Bill Acceptor, Command:%X",
                           static_cast<unsigned>(command));
    }
}

// What the status bytes say, one line each.
void ShowStatus(UtilityRun& run, const link::LinkPacket& reply) {
    const std::uint8_t state = WireByte(reply, 6);
    const std::uint8_t condition = WireByte(reply, 7);
    const std::uint8_t extra = WireByte(reply, 8);
    Show(run, __LINE__, Bit(extra, 6) ? "Bill Acceptor Offline" : "Bill Acceptor Online");
    if (Bit(state, 0)) {
        Show(run, __LINE__, "Bill Acceptor Waiting for bill");
    }
    if (Bit(state, 1)) {
        Show(run, __LINE__, "Bill Acceptor Accepting a bill");
    }
    if (Bit(state, 2)) {
        Show(run, __LINE__, "Bill Acceptor Bill in Escrow");
    }
    if (Bit(state, 3)) {
        Show(run, __LINE__, "Bill Acceptor Stacking");
    }
    if (Bit(condition, 2)) {
        Show(run, __LINE__, "Bill Acceptor Jammed");
    }
    if (Bit(condition, 3)) {
        Show(run, __LINE__, "Bill Acceptor Cassette Full");
    }
    if (Bit(condition, 4)) {
        Show(run, __LINE__, "Bill Acceptor Cassette Removed");
    }
    if (Bit(condition, 6)) {
        Show(run, __LINE__, "Bill Acceptor in Calibration Mode");
    }
    if (Bit(extra, 2)) {
        Show(run, __LINE__, "Bill Acceptor Hardware Failure");
    }
    run.log.LogMessage(kLogShow, kCategoryCommand, kModule, __LINE__, "Bill Value Collected: %d",
                       kBillValues[(extra >> 3) & 0x07u]);
}

// Asks for the status and shows it; the upload mode shows its starting block instead.
void RequestAndShowStatus(UtilityRun& run, SecurityModuleCommands& commands) {
    run.billAcceptor.uploadMode = false;
    run.billAcceptor.startingBlock = 0;
    link::LinkPacket reply;
    if (commands.RequestBillAcceptorStatus(reply) != 0) {
        return;
    }
    run.log.LogMessage(kLogShow, kCategoryCommand, kModule, __LINE__,
                       "Bill Acceptor Status Bytes: %.2x.%.2x.%.2x.%.2x.%.2x", WireByte(reply, 6),
                       WireByte(reply, 7), WireByte(reply, 8), WireByte(reply, 9),
                       WireByte(reply, 10));
    if (!run.billAcceptor.uploadMode) {
        ShowStatus(run, reply);
        return;
    }
    Show(run, __LINE__, "Bill Acceptor is in Upload mode!");
    run.log.LogMessage(kLogShow, kCategoryCommand, kModule, __LINE__, "Starting Block = %d",
                       static_cast<int>(run.billAcceptor.startingBlock));
}

int ReadKey(UtilityRun& run) {
    if (!run.options.acknowledgeResults) {
        return 'X';
    }
    const int key = run.console.GetKey();
    if (run.console.InputEnded()) {
        return 'X';
    }
    return std::toupper(key >= 0 && key <= 0xFF ? key : 0);
}

}  // namespace

int OpenBillAcceptorPort(UtilityRun& run, SecurityModuleCommands& commands) {
    if (commands.OpenPort5() != 0) {
        Show(run, __LINE__, "ERROR 1B: Can Not Open Port 5");
        return kPort5Open;
    }
    if (commands.SyncCashMachine() != 0) {
        Show(run, __LINE__, "ERROR 1C: Can Not Sync With Port 5");
        static_cast<void>(commands.ClosePort5());
        return kPort5Sync;
    }
    return 0;
}

int BillAcceptorStatusScreen(UtilityRun& run) {
    SecurityModuleCommands commands(run);
    if (const int opened = OpenBillAcceptorPort(run, commands); opened != 0) {
        return opened;
    }
    for (;;) {
        RequestAndShowStatus(run, commands);
        run.console.Write(
            "\nX - Exit, R - Reject Bill, C - Calibrate, S - Status, E - Enable, D - Disable\n");
        const int key = ReadKey(run);
        if (key == 'X') {
            break;
        }
        switch (key) {
            case 'R':
                SendWithArgument(run, kRejectCommand, 1);
                break;
            case 'C':
                static_cast<void>(commands.SendBillAcceptorCommand(kCalibrateCommand));
                break;
            case 'E':
                SendWithArgument(run, kEnableCommand, 1);
                break;
            case 'D':
                SendWithArgument(run, kEnableCommand, 0);
                break;
            default:
                break;  // S, and any other key: the status again
        }
    }
    static_cast<void>(commands.ClosePort5());
    return 0;
}

int SetBezelTypeStandard(UtilityRun& run) {
    if (run.identity.version < kBezelFrom) {
        return 0;
    }
    SecurityModuleCommands commands(run);
    if (const int opened = OpenBillAcceptorPort(run, commands); opened != 0) {
        return opened;
    }
    run.console.Write("Setting Bezel type to standard\n");
    int result = 0;
    link::LinkPacket reply;
    if (commands.SendBillAcceptorCommand(kBezelCommand) != 0) {
        result = kBezelWrite;
    } else if (commands.AwaitCashPortReply('b', '1', kCashPortWaitCount, reply, nullptr) != 0) {
        Show(run, __LINE__, "ERROR 10: Set Bezel Type Failed.");
        result = kBezelNoReply;
    } else {
        run.console.Write("Bezel type is set to standard\n");
    }
    static_cast<void>(commands.ClosePort5());
    return result;
}

}  // namespace lane::moxtel
