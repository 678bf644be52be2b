// The cash counting buffers: 'S' '5' with the date and time zeroes them, 'S' '6' asks for the
// time of the last zeroing and four packets of counts.
#include "Moxtel/Command_CashCounting.h"

#include "Moxtel/DateTimeTexts.h"
#include "Moxtel/PortRequest.h"
#include "Moxtel/securitymodule_commands.h"
#include "link/LinkConfig.h"

namespace lane::moxtel {

namespace {

constexpr const char* kModule = "Command_CashCounting";
// Where the counts of a dump packet and the date of its first packet start.
constexpr std::size_t kDumpDataByte = 8;
constexpr std::size_t kZeroingStampChars = 12;

struct DeviceCounts {
    const char* title;
    std::size_t values;
};

constexpr DeviceCounts kDumpPackets[] = {
    {"Bill Acceptor Data:", 9},
    {"Bill Dispenser Data:", 4},
    {"Coin Acceptor Data:", 9},
    {"Coin Dispenser Data:", 9},
};

void Show(UtilityRun& run, const std::string& text) {
    run.log.LogMessage(kLogShow, kCategoryCommand, kModule, __LINE__, "%s", text.c_str());
}

void ShowFailure(UtilityRun& run, int result, const char* what) {
    const char* error = result == kPortWriteFailed ? "ERROR 11"
                        : result == kPortNoReply   ? "ERROR 10"
                                                   : "ERROR 12";
    Show(run, std::string(error) + ": " + what);
}

int ZeroBuffers(UtilityRun& run, SecurityModuleCommands& commands) {
    run.log.LogMessage(kLogFileOnly, kCategoryCommand, kModule, __LINE__, "%s",
                       "Zeroing cash buffers!");
    const std::string date = LocalDateText(run.clock);
    const std::string time = LocalTimeText(run.clock);
    Show(run, "Date of Zeroing :" + date);
    Show(run, "Time of Zeroing :" + time);
    link::LinkPacket reply;
    const int result = PortRequest(commands, run, link::kCashPort, "S5" + ZeroingStamp(date, time),
                                   's', '5', kCashBufferWaitCount, reply);
    if (result != kPortReplyMatched) {
        ShowFailure(run, result, "Zero Cash Buffers Failed.");
        return result;
    }
    Show(run, "Cash Buffers have been Zeroed!");
    return 0;
}

int DumpBuffers(UtilityRun& run, SecurityModuleCommands& commands) {
    run.log.LogMessage(kLogFileOnly, kCategoryCommand, kModule, __LINE__, "%s",
                       "Dumping cash buffers!");
    const auto dateAndTime = [](const link::LinkPacket& packet) {
        return PacketByte(packet, 6) == 'D' && PacketByte(packet, 7) == 'T';
    };
    link::LinkPacket reply;
    int result = WritePortData(run, link::kCashPort, "S6");
    if (result == kPortReplyMatched) {
        result = AwaitPortReply(commands, run, link::kCashPort, 's', '6', kCashBufferWaitCount,
                                reply, dateAndTime);
    }
    if (result != kPortReplyMatched) {
        ShowFailure(run, result, "Dumping Cash Buffers Failed.");
        return result;
    }
    std::string stamp;
    for (std::size_t n = 0; n < kZeroingStampChars; ++n) {
        const std::uint8_t byte = PacketByte(reply, kDumpDataByte + n);
        if (byte == 0) {
            break;
        }
        stamp.push_back(static_cast<char>(byte));
    }
    Show(run, "Date and Time of Last Zeroing");
    Show(run, stamp);
    for (const DeviceCounts& counts : kDumpPackets) {
        result =
            AwaitPortReply(commands, run, link::kCashPort, 's', '6', kCashBufferWaitCount, reply);
        if (result != kPortReplyMatched) {
            ShowFailure(run, result, "Dumping Cash Buffers Failed.");
            return result;
        }
        Show(run, counts.title);
        Show(run, DumpValues(reply, counts.values));
    }
    Show(run, "Cash Buffers have been Dumped!");
    return 0;
}

}  // namespace

std::string ZeroingStamp(const std::string& date, const std::string& time) {
    if (date.size() < 8 || time.size() < 5) {
        return std::string(kZeroingStampChars, '0');
    }
    return date.substr(0, 2) + date.substr(3, 2) + "20" + date.substr(6, 2) + time.substr(0, 2) +
           time.substr(3, 2);
}

std::string DumpValues(const link::LinkPacket& reply, std::size_t count) {
    std::string text;
    for (std::size_t i = 0; i < count; ++i) {
        const std::size_t at = kDumpDataByte + 2 * i;
        const unsigned value = PacketByte(reply, at) * 256U + PacketByte(reply, at + 1);
        if (i > 0) {
            text += ",";
        }
        text += std::to_string(value);
    }
    return text;
}

int Command_CashCounting(UtilityRun& run) {
    const bool zero = run.options.commandName == kCommandZeroCashBuffers;
    if (run.config.Access(run.log).SecurityModuleType != link::kBoardTypeUsb) {
        Show(run, "ERROR 1D: System is not USB!");
        return 1;
    }
    Show(run, zero ? "USB Security Module Zero Cash Counting Buffers"
                   : "USB Security Module Dump Cash Counting Buffers");
    SecurityModuleCommands commands(run);
    if (commands.OpenPort5() != 0) {
        Show(run, "ERROR 1B: Cash Port Open Failed.");
        return 2;
    }
    if (commands.SyncCashMachine() != 0) {
        Show(run, "ERROR 1C: Sync Failed.");
        static_cast<void>(commands.ClosePort5());
        return 3;
    }
    const int result = zero ? ZeroBuffers(run, commands) : DumpBuffers(run, commands);
    static_cast<void>(commands.ClosePort5());
    return result;
}

}  // namespace lane::moxtel
