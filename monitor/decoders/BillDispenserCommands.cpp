// CBillDispenserMonitor: the lane application's commands, command rejects and purge replies.
#include <mutex>
#include <string>

#include "monitor/decoders/BillDispenserCodes.h"
#include "monitor/decoders/BillDispenserMonitor.h"
#include "monitor/decoders/DeviceText.h"

namespace lane::monitor {

using namespace billdisp;

namespace {

// Command groups (data[1]) and the codes of the extended group (data[3]).
constexpr std::uint8_t kResetGroup = '1';
constexpr std::uint8_t kStatusGroup = '2';
constexpr std::uint8_t kExtendedGroup = '3';
constexpr std::uint8_t kResetCode = '0';
constexpr std::uint8_t kConfigurationCode = '4';
constexpr std::uint8_t kStatusCode = '5';
constexpr std::uint8_t kPurgeCode = 'A';
constexpr std::uint8_t kDispenseCode = 'B';

constexpr std::uint8_t kNormalTimeout = '0';
// Denomination lines of a dispense command.
constexpr std::size_t kTracedGroups = 6;
// The dispense command's fields start after its header.
constexpr int kCommandFields = 4;
constexpr int kCountDigits = 3;

std::string RejectedCommandLine(std::uint8_t command) {
    const std::string prefix = "Bill Dispenser Rejected Cmd: ";
    switch (command) {
        case '0':
            return prefix + "Reset";
        case '4':
            return prefix + "Return Configuration";
        case '5':
            return prefix + "Return Current Status";
        case 'A':
            return prefix + "Purge";
        case 'B':
            return prefix + "Dispense";
        case 'C':
            return prefix + "Test Dispense";
        default:
            return prefix + HexByte(command);
    }
}

std::string RejectReasonLine(std::uint8_t reason) {
    const std::string prefix = "Bill Dispenser Reason Code: ";
    switch (reason) {
        case '0':
            return prefix + "Invalid command";
        case '1':
            return prefix + "Command out of sequence";
        case '2':
            return prefix + "Buffer overflow";
        case '3':
            return prefix + "Bad device ID";
        case 0x40:
            return prefix + "Denomination error";
        case 'A':
            return prefix + "Dispense data invalid";
        case 'B':
            return prefix + "No cassette in feed module (test dispense)";
        default:
            return prefix + HexByte(reason);
    }
}

}  // namespace

void CBillDispenserMonitor::ProcessCommand(const MonitorMessage& message) {
    const std::uint8_t group = message.data[1];
    const std::uint8_t code = message.data[3];
    if (group == kResetGroup || (group == kExtendedGroup && code == kResetCode)) {
        ProcessResetCommand(message);
    } else if (group == kStatusGroup || (group == kExtendedGroup && code == kStatusCode)) {
        Host().TraceNote("Bill Dispenser: Status Command");
    } else if (group != kExtendedGroup) {
        return;
    } else if (code == kConfigurationCode) {
        Host().TraceNote("Bill Dispenser: Configuration Command");
    } else if (code == kPurgeCode) {
        Host().TraceNote("Bill Dispenser: Purge Command");
    } else if (code == kDispenseCode) {
        ProcessDispenseCommand(message);
    }
}

void CBillDispenserMonitor::ProcessResetCommand(const MonitorMessage& message) {
    {
        std::lock_guard<CDeviceStatistics> lock(Host().Statistics());
        Host().Statistics().BillDispLastTimeReset = message.time;
    }
    FireIf(Host().Settings().FireBillDispReset, kEventBillDispReset);
    Host().TraceNote("Bill Dispenser: Reset Command");
}

// Fields: 0x1C and the timeout character, then per denomination 0x1C, its letter and three
// digits of the number of notes.
void CBillDispenserMonitor::ProcessDispenseCommand(const MonitorMessage& message) {
    Host().TraceNote("Bill Dispenser: Dispense Command:");
    dispenseLetters_.fill(0);
    dispenseCounts_.fill(0);
    bool timeoutSeen = false;
    std::uint8_t timeout = 0;
    std::size_t groups = 0;
    for (int i = kCommandFields; i < message.length && groups < kBillDispLetters; ++i) {
        if (message.data[static_cast<std::size_t>(i)] != kFieldSeparator) {
            continue;
        }
        const std::uint8_t next = ByteAt(message, i + 1);
        if (!timeoutSeen) {
            timeoutSeen = true;
            timeout = next;
            continue;
        }
        dispenseLetters_[groups] = static_cast<char>(next);
        dispenseCounts_[groups] = ReadDigits(message, i + 2, kCountDigits);
        ++groups;
    }
    Host().TraceNote(std::string("Bill Dispenser: Timeout = ") +
                     (timeout == kNormalTimeout ? "Normal" : "Fast"));
    for (std::size_t g = 0; g < kTracedGroups && g < groups; ++g) {
        if (dispenseLetters_[g] == 0) {
            continue;
        }
        const auto letter = static_cast<std::uint8_t>(dispenseLetters_[g]);
        Host().TraceNote("Bill Dispenser: Denomination: " + DeviceString(&letter, 1) +
                         " Dispense: " + std::to_string(dispenseCounts_[g]));
    }
}

void CBillDispenserMonitor::ProcessCommandReject(const MonitorMessage& message) {
    Host().TraceNote("Bill Dispenser: Command Reject");
    const std::string command = RejectedCommandLine(message.data[4]);
    const std::string reason = RejectReasonLine(message.data[5]);
    Host().TraceNote(command);
    Host().TraceNote(reason);
    {
        CDeviceStatistics& statistics = Host().Statistics();
        std::lock_guard<CDeviceStatistics> lock(statistics);
        statistics.BillDispLastTimeCommandReject = message.time;
        statistics.BillDispLastCommandRejected = command;
        statistics.BillDispLastCmdRejectReason = reason;
    }
    // A rejected command is always reported.
    FireEvent(kEventBillDispCommandReject);
}

void CBillDispenserMonitor::ProcessPurgeReply(const MonitorMessage& message) {
    Host().TraceNote("Bill Dispenser: Purge Command Response");
    if (message.length > 4) {
        Host().TraceNote("Bill Dispenser: Purge Error: " + HexByte(message.data[4]) +
                         "  Status:: " + HexByte(message.data[5]) + " " + HexByte(message.data[6]));
    } else {
        Host().TraceNote("Bill Dispenser: Purge Command Complete");
    }
}

}  // namespace lane::monitor
