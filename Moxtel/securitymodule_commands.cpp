// The port commands and request/reply exchanges of the utility: ports 5 and 6 opened and closed
// around each use, one request packet each, and the reply loops that wait for the answer.
#include "Moxtel/securitymodule_commands.h"

#include <cstddef>
#include <cstdio>
#include <string>

#include "link/TMCB_Support.h"

namespace lane::moxtel {

namespace {

constexpr const char* kModule = "securitymodule_commands";

// Pauses around the port commands.
constexpr std::int64_t kAfterInitPortMs = 200;
constexpr std::int64_t kBeforeClosePortMs = 500;

// Lines printed to clear the console.
constexpr int kClearScreenLines = 25;

// Wait counts of the bill acceptor's version-part requests and of its other requests.
constexpr int kVersionPartWaitCount = kServicePortWaitCount;
constexpr int kBillAcceptorWaitCount = kCashPortWaitCount;

// Module versions that change the bill acceptor version requests.
constexpr unsigned kVersionPartsFrom = 433;     // above 432: 'B' 'B' and 'B' 'C'
constexpr unsigned kNewVersionPartsFrom = 436;  // above 435: 'B' 'D' and 'B' 'E'
constexpr unsigned kIsoCodeFrom = 330;          // 330 and up: 'B' 'A'

// The status byte of a bill acceptor in upload mode, and of a basic version reply.
constexpr std::uint8_t kStatusModeMask = 0x7E;
constexpr std::uint8_t kUploadModeStatus = 0x50;
constexpr std::uint8_t kBasicVersionStatus = 0x60;
// A starting block above this is no block at all.
constexpr unsigned kHighestStartingBlock = 65000;

}  // namespace

std::uint8_t WireByte(const link::LinkPacket& packet, std::size_t n) {
    switch (n) {
        case 0:
            return packet.DA;
        case 1:
            return packet.DC;
        case 2:
            return packet.DL;
        default:
            break;
    }
    const std::size_t index = n - 3;
    if (index >= packet.DL || index >= packet.data.size()) {
        return 0;
    }
    return packet.data[index];
}

bool Holds(const link::LinkPacket& packet, std::size_t last) {
    return last >= 3 && last - 3 < packet.DL && last - 3 < packet.data.size();
}

namespace {

// Wire bytes first..last as text.
std::string WireText(const link::LinkPacket& packet, std::size_t first, std::size_t last) {
    std::string text;
    for (std::size_t n = first; n <= last; ++n) {
        text.push_back(static_cast<char>(WireByte(packet, n)));
    }
    return text;
}

// A version and its date as both the module and the cash machine write them from wire byte
// `first` on: two digits, a point, two digits, a blank, then month, day and a four-digit year
// ("04.47 01/15/2019").
std::string VersionAndDateText(const link::LinkPacket& packet, std::size_t first) {
    std::string text = WireText(packet, first, first + 1);
    text.push_back('.');
    text.append(WireText(packet, first + 2, first + 3));
    text.push_back(' ');
    text.append(WireText(packet, first + 4, first + 5));
    text.push_back('/');
    text.append(WireText(packet, first + 6, first + 7));
    text.push_back('/');
    text.append(WireText(packet, first + 8, first + 11));
    return text;
}

// The decimal number written in wire bytes first..last; false when one is not a digit.
bool WireDecimal(const link::LinkPacket& packet, std::size_t first, std::size_t last,
                 unsigned& value) {
    unsigned result = 0;
    for (std::size_t n = first; n <= last; ++n) {
        const std::uint8_t byte = WireByte(packet, n);
        if (byte < '0' || byte > '9') {
            return false;
        }
        result = result * 10 + static_cast<unsigned>(byte - '0');
    }
    value = result;
    return true;
}

}  // namespace

// ---- Ports ----------------------------------------------------------------------------------

int SecurityModuleCommands::OpenPort(std::uint8_t port, const char* initializing,
                                     const char* initFailed, const char* opening,
                                     const char* openFailed) {
    run_.log.LogMessage(kLogFileOnly, kCategoryCommand, kModule, __LINE__, "%s", initializing);
    int result = run_.link.FormatAndSendDataToSecurityModule(port, link::TMCB_DC_INIT_PORT, "");
    if (result != 0) {
        run_.log.LogMessage(kLogShow, kCategoryCommand, kModule, __LINE__, "%s", initFailed);
        return result;
    }
    run_.clock.SleepMs(kAfterInitPortMs);
    run_.log.LogMessage(kLogFileOnly, kCategoryCommand, kModule, __LINE__, "%s", opening);
    result = run_.link.FormatAndSendDataToSecurityModule(port, link::TMCB_DC_OPEN_PORT, "");
    if (result != 0) {
        run_.log.LogMessage(kLogShow, kCategoryCommand, kModule, __LINE__, "%s", openFailed);
    }
    return result;
}

int SecurityModuleCommands::ClosePort(std::uint8_t port, int closingFlags, const char* closing,
                                      const char* closeFailed) {
    run_.log.LogMessage(closingFlags, kCategoryCommand, kModule, __LINE__, "%s", closing);
    run_.clock.SleepMs(kBeforeClosePortMs);
    const int result =
        run_.link.FormatAndSendDataToSecurityModule(port, link::TMCB_DC_CLOSE_PORT, "");
    if (result != 0) {
        run_.log.LogMessage(kLogShow, kCategoryCommand, kModule, __LINE__, "%s", closeFailed);
    }
    return result;
}

int SecurityModuleCommands::OpenPort6() {
    return OpenPort(link::kServicePort, "Initialize port 6 Security Module",
                    "Initialize Port 6 Failed!", "Opening Security Module Port 6",
                    "Opening Port 6 Failed!");
}

int SecurityModuleCommands::ClosePort6() {
    return ClosePort(link::kServicePort, kLogFileOnly, "Closing Security Module Port 6",
                     "Closing Security Module Port 6 Failed!");
}

int SecurityModuleCommands::OpenPort5() {
    return OpenPort(link::kCashPort, "Initialize Port 5 ", "Initialize Port 5 Failed!",
                    "Opening Security Module Port 5", "Opening Port 5 Failed!");
}

int SecurityModuleCommands::ClosePort5() {
    return ClosePort(link::kCashPort, kLogShow, "Closing Security Module Port 5",
                     "Closing Security Module Port 5 Failed!");
}

// ---- Requests and reply loops ---------------------------------------------------------------

int SecurityModuleCommands::SendRequest(std::uint8_t port, std::uint8_t letter, std::uint8_t code) {
    link::LinkPacket packet;
    packet.DA = port;
    packet.DC = link::TMCB_DC_PORT_DATA;
    packet.DL = 2;
    packet.data[0] = letter;
    packet.data[1] = code;
    return run_.link.WritePacketToSecurityModule(packet);
}

SecurityModuleCommands::SecurityModuleCommands(UtilityRun& run) : run_(run) {
    run_.link.SetPacketDump(trace_);
}

void SecurityModuleCommands::SetTrace(bool on) {
    trace_ = on;
    run_.link.SetPacketDump(on);
}

bool SecurityModuleCommands::ReadCashPortPacket(link::LinkPacket& packet, int waitCount) {
    if (!run_.link.ReadPacketFromSecurityModule(packet, waitCount)) {
        return false;
    }
    if (packet.DA != link::kCashPort) {
        return true;  // another port's traffic: not ours to acknowledge, and no match
    }
    if (trace_) {
        run_.log.LogMessage(kLogFileOnly, kCategoryCommand, kModule, __LINE__,
                            "Data in:%.2x.%.2x.%.2x - %.2x.%.2x.%.2x.%.2x.%.2x.%.2x",
                            WireByte(packet, 0), WireByte(packet, 1),
                            static_cast<std::uint8_t>(packet.DL - 1), WireByte(packet, 4),
                            WireByte(packet, 5), WireByte(packet, 6), WireByte(packet, 7),
                            WireByte(packet, 8), WireByte(packet, 9));
    }
    link::LinkPacket ack;
    ack.DA = link::kCashPort;
    ack.DC = link::TMCB_DC_PORT_DATA;
    ack.DL = 3;
    ack.data[0] = 'S';
    ack.data[1] = '0';
    ack.data[2] = WireByte(packet, 3);
    // The acknowledgement itself is never dumped.
    run_.link.SetPacketDump(false);
    const int written = run_.link.WritePacketToSecurityModule(ack);
    run_.link.SetPacketDump(trace_);
    if (written != 0) {
        run_.log.LogMessage(kLogShow, kCategoryCommand, kModule, __LINE__, "%s",
                            "ERROR 11: Port 5 ACK Failed.");
        return false;
    }
    return true;
}

SecurityModuleCommands::ReplyResult SecurityModuleCommands::AwaitReply(
    std::uint8_t port, std::uint8_t letter, std::uint8_t code, int waitCount,
    link::LinkPacket& reply, const std::function<bool(const link::LinkPacket&)>& extra) {
    // On the cash port the sequence byte comes first, so the match sits one byte later.
    const std::size_t matchAt = port == link::kCashPort ? 4 : 3;
    for (int count = 1;; ++count) {
        const bool read = port == link::kCashPort
                              ? ReadCashPortPacket(reply, waitCount)
                              : run_.link.ReadPacketFromSecurityModule(reply, waitCount);
        if (!read) {
            return ReplyResult::NoReply;
        }
        if (count >= kReplyLoopPacketLimit) {
            return ReplyResult::TooManyPackets;
        }
        if (reply.DA == port && reply.DC == link::TMCB_DC_PORT_DATA && Holds(reply, matchAt + 1) &&
            WireByte(reply, matchAt) == letter && WireByte(reply, matchAt + 1) == code &&
            (!extra || extra(reply))) {
            return ReplyResult::Matched;
        }
    }
}

int SecurityModuleCommands::AwaitCashPortReply(
    std::uint8_t letter, std::uint8_t code, int waitCount, link::LinkPacket& reply,
    const std::function<bool(const link::LinkPacket&)>& extra) {
    return static_cast<int>(AwaitReply(link::kCashPort, letter, code, waitCount, reply, extra));
}

int SecurityModuleCommands::Exchange(const Request& request, link::LinkPacket& reply) {
    if (request.announce != nullptr) {
        run_.log.LogMessage(request.announceFlags, kCategoryCommand, kModule, __LINE__, "%s",
                            request.announce);
    }
    const int written = SendRequest(request.port, request.letter, request.code);
    if (written != 0) {
        run_.log.LogMessage(kLogShow, kCategoryCommand, kModule, __LINE__, "%s",
                            request.writeFailed);
        return written;
    }
    const ReplyResult result = AwaitReply(request.port, request.replyLetter, request.replyCode,
                                          request.waitCount, reply, request.extraMatch);
    switch (result) {
        case ReplyResult::Matched:
            return 0;
        case ReplyResult::NoReply:
            run_.log.LogMessage(request.replyFailedFlags, kCategoryCommand, kModule, __LINE__, "%s",
                                request.noReply);
            return static_cast<int>(ReplyResult::NoReply);
        case ReplyResult::TooManyPackets:
            run_.log.LogMessage(request.replyFailedFlags, kCategoryCommand, kModule, __LINE__, "%s",
                                request.tooMany);
            return static_cast<int>(ReplyResult::TooManyPackets);
    }
    return static_cast<int>(result);
}

int SecurityModuleCommands::DisableTracing() {
    run_.log.LogMessage(kLogFileOnly, kCategoryCommand, kModule, __LINE__, "%s",
                        "Disable Security Module Tracing!");
    const int written = SendRequest(link::kServicePort, 'Z', 'G');
    if (written != 0) {
        run_.log.LogMessage(kLogShow, kCategoryCommand, kModule, __LINE__, "%s",
                            "ERROR 11: Disable Tracing Failed.");
    }
    return written;
}

int SecurityModuleCommands::RequestEpromVersion() {
    Request request(link::kServicePort, 'Z', '2', 'z', '2', kServicePortWaitCount);
    request.announce = "Requesting Security Module EPROM Version";
    request.writeFailed = "ERROR 11: Get Security Module Version Failed.";
    request.noReply = "ERROR 10: Get Security Module Version Failed.";
    request.tooMany = "ERROR 12: Get Security Module Version Failed.";
    // The reply carries the version in bytes 5 to 8 and the date in bytes 9 to 16.
    request.extraMatch = [](const link::LinkPacket& reply) { return Holds(reply, 16); };
    link::LinkPacket reply;
    const int result = Exchange(request, reply);
    if (result != 0) {
        return result;
    }
    run_.identity.versionText = VersionAndDateText(reply, 5);
    unsigned version = 0;
    run_.identity.version = WireDecimal(reply, 6, 8, version) ? version : 0;
    return 0;
}

int SecurityModuleCommands::RequestChecksum() {
    Request request(link::kServicePort, 'Z', '4', 'z', '4', kServicePortWaitCount);
    request.announce = "Requesting Security Module Checksum";
    request.writeFailed = "ERROR 11: Get Security Module Checksum Failed.";
    request.noReply = "ERROR 10: Get Security Module Checksum Failed.";
    request.tooMany = "ERROR 12: Get Security Module Checksum Failed.";
    request.extraMatch = [](const link::LinkPacket& reply) { return Holds(reply, 9); };
    link::LinkPacket reply;
    const int result = Exchange(request, reply);
    if (result != 0) {
        return result;
    }
    run_.identity.checksumStatus = static_cast<char>(WireByte(reply, 5));
    run_.identity.checksumText = WireText(reply, 6, 9);
    return 0;
}

int SecurityModuleCommands::RequestModel() {
    Request request(link::kServicePort, 'Z', '5', 'z', '5', kServicePortWaitCount);
    request.announce = "Requesting Security Module Model";
    request.writeFailed = "ERROR 11: Get Security Module Model Failed.";
    request.noReply = "ERROR 10: Get Security Module Model Failed.";
    request.tooMany = "ERROR 12: Get Security Module Model Failed.";
    request.extraMatch = [](const link::LinkPacket& reply) { return Holds(reply, 7); };
    link::LinkPacket reply;
    const int result = Exchange(request, reply);
    if (result != 0) {
        return result;
    }
    run_.identity.model = WireText(reply, 5, 7);
    return 0;
}

int SecurityModuleCommands::SyncCashMachine() {
    Request request(link::kCashPort, 'S', '4', 's', '4', kCashPortWaitCount);
    request.announce = "Synchronizing Cash Machine";
    request.announceFlags = kLogShow;
    request.writeFailed = "ERROR 11: Writing Sync Packet to Port 5";
    request.noReply = "ERROR 10: Sync Port 5 Failed.";
    request.tooMany = "ERROR 12: Sync Port 5 Failed.";
    link::LinkPacket reply;
    return Exchange(request, reply);
}

int SecurityModuleCommands::RequestCcuVersion() {
    Request request(link::kCashPort, 'S', '2', 's', '2', kCashPortWaitCount);
    request.announce = "Requesting CCU Version";
    request.writeFailed = "ERROR 11: Writing Sync Packet to Port 5";
    request.noReply = "ERROR 10: Getting Version Port 5 Failed.";
    request.tooMany = "ERROR 12: Getting Version Port 5 Failed.";
    // Version in bytes 6 to 9, date in bytes 10 to 17.
    request.extraMatch = [](const link::LinkPacket& reply) { return Holds(reply, 17); };
    link::LinkPacket reply;
    const int result = Exchange(request, reply);
    if (result != 0) {
        return result;
    }
    run_.identity.ccuVersionText = VersionAndDateText(reply, 6);
    unsigned version = 0;
    run_.identity.ccuVersion = WireDecimal(reply, 7, 9, version) ? version : 0;
    return 0;
}

// ---- Bill acceptor --------------------------------------------------------------------------

int SecurityModuleCommands::RequestBillAcceptorStatus() {
    link::LinkPacket reply;
    return RequestBillAcceptorStatus(reply);
}

int SecurityModuleCommands::RequestBillAcceptorStatus(link::LinkPacket& reply) {
    Request request(link::kCashPort, 'B', '1', 'b', '1', kBillAcceptorWaitCount);
    request.announce = "Requesting Status From Bill Acceptor";
    request.writeFailed = "ERROR 11: Get Bill Acceptor Status Failed.";
    request.noReply = "ERROR 10: Get Bill Acceptor Version Failed.";
    request.tooMany = "ERROR 12: Get Bill Acceptor Status Failed.";
    request.extraMatch = [](const link::LinkPacket& packet) { return Holds(packet, 11); };
    const int result = Exchange(request, reply);
    if (result != 0) {
        return result;
    }
    run_.log.LogMessage(kLogFileOnly, kCategoryCommand, kModule, __LINE__,
                        "Bill Acceptor Status byte %x.%x.%x.%x.%x.%x", WireByte(reply, 6),
                        WireByte(reply, 7), WireByte(reply, 8), WireByte(reply, 9),
                        WireByte(reply, 10), WireByte(reply, 11));
    if ((WireByte(reply, 10) & kStatusModeMask) == kUploadModeStatus) {
        run_.log.LogMessage(kLogFileOnly, kCategoryCommand, kModule, __LINE__, "%s",
                            "Bill Acceptor Already in Upload mode!");
        run_.billAcceptor.uploadMode = true;
        unsigned block = 0;
        for (std::size_t n = 6; n <= 9; ++n) {
            block = block * 16 + (WireByte(reply, n) & 0x0FU);
        }
        block += 1;
        run_.billAcceptor.startingBlock = block > kHighestStartingBlock ? 0 : block;
        run_.log.LogMessage(kLogFileOnly, kCategoryCommand, kModule, __LINE__,
                            "Starting Block = %d",
                            static_cast<int>(run_.billAcceptor.startingBlock));
    }
    return 0;
}

int SecurityModuleCommands::SendBillAcceptorCommand(std::uint8_t code) {
    const int written = SendRequest(link::kCashPort, 'B', code);
    if (written != 0) {
        run_.log.LogMessage(kLogShow, kCategoryCommand, kModule, __LINE__,
                            "ERROR 11: Sending Command to Bill Acceptor, Command:%X",
                            static_cast<unsigned>(code));
    }
    return written;
}

bool SecurityModuleCommands::RequestVersionPart(std::uint8_t code, const char* announce,
                                                std::string& part) {
    Request request(link::kCashPort, 'B', code, 'b', code, kVersionPartWaitCount);
    request.announce = announce;
    request.writeFailed = "ERROR 11: Get Bill Acceptor Version Failed.";
    request.noReply = "ERROR 10: Get Bill Acceptor Version Failed.";
    request.tooMany = "ERROR 12: Get Bill Acceptor Version Failed.";
    request.replyFailedFlags = kLogFileOnly;
    request.extraMatch = [](const link::LinkPacket& reply) { return Holds(reply, 8); };
    link::LinkPacket reply;
    if (Exchange(request, reply) != 0) {
        return false;
    }
    part = WireText(reply, 6, 8);
    return true;
}

std::string BillAcceptorTypeName(unsigned typeCode) {
    switch (typeCode) {
        case 23:
            return "ZT1200";
        case 31:
            return "LE3900";
        case 74:
        case 85:
            return "SC66";
        case 84:
            return "SC83";
        case 88:
            return "AE2800";
        default:
            break;
    }
    char text[32];
    std::snprintf(text, sizeof text, "%x - Unknown!", typeCode);
    return text;
}

int SecurityModuleCommands::RequestBillAcceptorVersion() {
    run_.log.LogMessage(kLogShow, kCategoryCommand, kModule, __LINE__, "%s",
                        "Requesting Bill Acceptor Version\n");
    BillAcceptorIdentity& acceptor = run_.billAcceptor;
    const unsigned moduleVersion = run_.identity.version;
    if (moduleVersion >= kVersionPartsFrom) {
        if (!RequestVersionPart('B', "Request 0x60,0x07 - BB", acceptor.versionPartA)) {
            acceptor.versionPartA = "000";
        }
        if (!RequestVersionPart('C', "Request 0x60,0x09 - BC", acceptor.versionPartB)) {
            acceptor.versionPartB = "000";
        }
    }
    if (moduleVersion >= kNewVersionPartsFrom) {
        // A part that does not come keeps the value read above.
        static_cast<void>(
            RequestVersionPart('D', "Request 0x60, 0x0e - BD", acceptor.versionPartA));
        static_cast<void>(
            RequestVersionPart('E', "Request 0x60, 0x0f - BE", acceptor.versionPartB));
    }

    Request basic(link::kCashPort, 'B', '4', 'b', '1', kBillAcceptorWaitCount);
    basic.announce = "Request Basic Version/CRC Data";
    basic.writeFailed = "ERROR 11: Get Bill Acceptor Version Failed.";
    basic.noReply = "ERROR 10: Get Bill Acceptor Version Failed.";
    basic.tooMany = "ERROR 12: Get Bill Acceptor Version Failed.";
    basic.extraMatch = [](const link::LinkPacket& packet) {
        return Holds(packet, 12) && (WireByte(packet, 10) & kStatusModeMask) == kBasicVersionStatus;
    };
    link::LinkPacket reply;
    const int result = Exchange(basic, reply);
    if (result != 0) {
        return result;
    }
    acceptor.typeCode = WireByte(reply, 11) & 0x7FU;
    acceptor.versionNumber = WireByte(reply, 12) & 0x7FU;
    if (!acceptor.startingVersionKept) {
        acceptor.startingVersionKept = true;
        acceptor.startingVersion = acceptor.versionNumber;
    }
    unsigned crcDigits[4] = {};
    unsigned crc = 0;
    for (std::size_t i = 0; i < 4; ++i) {
        crcDigits[i] = WireByte(reply, 6 + i) & 0x7FU;
        crc = crc * 16 + crcDigits[i];
    }
    acceptor.crc = crc;

    const std::string typeName = BillAcceptorTypeName(acceptor.typeCode);
    run_.log.LogMessage(kLogShow, kCategoryCommand, kModule, __LINE__, "Bill Acceptor Type: %s",
                        typeName.c_str());
    run_.log.LogMessage(kLogPrompt, kCategoryCommand, kModule, __LINE__, "%s",
                        "Bill Acceptor Version ");
    if (moduleVersion < kVersionPartsFrom) {
        run_.log.LogMessage(kLogPrompt, kCategoryCommand, kModule, __LINE__, " %d0",
                            static_cast<int>(acceptor.versionNumber));
    } else {
        run_.log.LogMessage(kLogPrompt, kCategoryCommand, kModule, __LINE__, "%s-%s",
                            acceptor.versionPartA.c_str(), acceptor.versionPartB.c_str());
    }
    run_.log.LogMessage(kLogShow, kCategoryCommand, kModule, __LINE__, ", CRC = %01X%01X%01X%01X",
                        crcDigits[0], crcDigits[1], crcDigits[2], crcDigits[3]);

    if (moduleVersion < kIsoCodeFrom) {
        return 0;
    }
    Request iso(link::kCashPort, 'B', 'A', 'b', 'A', kBillAcceptorWaitCount);
    iso.writeFailed = "ERROR 11: Get Bill Acceptor ISO Code Failed.";
    iso.noReply = "ERROR 10: Get Bill Acceptor ISO Code Failed.";
    iso.tooMany = "ERROR 12: Get Bill Acceptor ISO Code Failed.";
    iso.extraMatch = [](const link::LinkPacket& packet) { return Holds(packet, 8); };
    const int isoResult = Exchange(iso, reply);
    if (isoResult != 0) {
        return isoResult;
    }
    acceptor.isoCode = WireText(reply, 6, 8);
    run_.log.LogMessage(kLogFileOnly, kCategoryCommand, kModule, __LINE__, "Bill ISO Code: %c%c%c",
                        acceptor.isoCode[0], acceptor.isoCode[1], acceptor.isoCode[2]);
    return 0;
}

// ---- Console --------------------------------------------------------------------------------

void SecurityModuleCommands::ClearScreen() {
    run_.console.Write(std::string(kClearScreenLines, '\n'));
}

void SecurityModuleCommands::WaitForKey() {
    run_.console.Write("\nPress any key to continue");
    static_cast<void>(run_.console.GetKey());
}

}  // namespace lane::moxtel
