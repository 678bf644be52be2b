// securitymodule_commands: the request/reply exchanges the start-up sequence and the commands
// share. Ports 5 (the cash machine) and 6 (the module's service port) are opened and closed
// around each use; every request is one packet, every awaited reply is taken from the link's
// queue by a loop that gives up after the wait count or on the hundredth packet. Each call
// gives 0, or non-zero after logging its own failure message.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>

#include "Moxtel/UtilityRun.h"
#include "link/TMCB_Support.h"

namespace lane::moxtel {

// Wait counts of the reply loops (ReadPacketFromSecurityModule looks every 100 ms).
inline constexpr int kServicePortWaitCount = 10;
inline constexpr int kCashPortWaitCount = 50;
// The packet that ends a reply loop whatever it holds.
inline constexpr int kReplyLoopPacketLimit = 100;
// A reply loop's failures: no reply within the wait count, the hundredth packet unmatched.
inline constexpr int kNoReplyResult = 10;
inline constexpr int kTooManyPacketsResult = 12;

class SecurityModuleCommands {
  public:
    // Puts the link's packet dump in line with the trace (on unless switched off).
    explicit SecurityModuleCommands(UtilityRun& run);

    [[nodiscard]] int OpenPort6();
    [[nodiscard]] int ClosePort6();
    [[nodiscard]] int OpenPort5();
    [[nodiscard]] int ClosePort5();

    [[nodiscard]] int DisableTracing();
    // Fill the identity's version text and number, checksum text and status, model.
    [[nodiscard]] int RequestEpromVersion();
    [[nodiscard]] int RequestChecksum();
    [[nodiscard]] int RequestModel();
    // Port 5, with acknowledgement of every reply.
    [[nodiscard]] int SyncCashMachine();
    [[nodiscard]] int RequestCcuVersion();
    [[nodiscard]] int RequestBillAcceptorStatus();
    // The same, with the matching reply kept in `reply`.
    [[nodiscard]] int RequestBillAcceptorStatus(link::LinkPacket& reply);
    [[nodiscard]] int SendBillAcceptorCommand(std::uint8_t code);
    [[nodiscard]] int RequestBillAcceptorVersion();
    // Reads the cash port until the reply `letter` `code` that also passes `extra` (when given),
    // acknowledging every port-5 packet: 0 on the match, 10 when none came within the wait
    // count, 12 on the hundredth packet. Logs nothing of its own.
    [[nodiscard]] int AwaitCashPortReply(std::uint8_t letter, std::uint8_t code, int waitCount,
                                         link::LinkPacket& reply,
                                         const std::function<bool(const link::LinkPacket&)>& extra);

    // The menus' console routines: 25 line ends; "\nPress any key to continue" and one key.
    void ClearScreen();
    void WaitForKey();

    // The trace: port-5 "Data in:" lines and the link's "Data Out:" dump of written packets;
    // on from start-up.
    void SetTrace(bool on);

    // The next packet of the cash port's reply loop, acknowledged when it comes from port 5;
    // false when none came in the wait count or the acknowledgement failed (for the exchanges of
    // the cash devices that keep their own reply loops).
    [[nodiscard]] bool ReadCashPortReply(link::LinkPacket& packet, int waitCount) {
        return ReadCashPortPacket(packet, waitCount);
    }

  private:
    // How a reply loop ended; the failures double as the commands' results.
    enum class ReplyResult : int { Matched = 0, NoReply = 10, TooManyPackets = 12 };

    // One request with its awaited reply and its failure texts.
    struct Request {
        Request(std::uint8_t port_, std::uint8_t letter_, std::uint8_t code_,
                std::uint8_t replyLetter_, std::uint8_t replyCode_, int waitCount_)
            : port(port_),
              letter(letter_),
              code(code_),
              replyLetter(replyLetter_),
              replyCode(replyCode_),
              waitCount(waitCount_) {}
        std::uint8_t port;
        std::uint8_t letter;
        std::uint8_t code;
        std::uint8_t replyLetter;
        std::uint8_t replyCode;
        int waitCount;
        const char* announce = nullptr;
        int announceFlags = kLogFileOnly;
        const char* writeFailed = "";
        const char* noReply = "";
        const char* tooMany = "";
        int replyFailedFlags = kLogShow;
        // A further test a matching reply must pass (its length, a status byte).
        std::function<bool(const link::LinkPacket&)> extraMatch;
    };

    int OpenPort(std::uint8_t port, const char* initializing, const char* initFailed,
                 const char* opening, const char* openFailed);
    int ClosePort(std::uint8_t port, int closingFlags, const char* closing,
                  const char* closeFailed);
    int SendRequest(std::uint8_t port, std::uint8_t letter, std::uint8_t code);
    // The next packet, acknowledged when it comes from the cash port; false when none came or
    // the acknowledgement could not be written.
    bool ReadCashPortPacket(link::LinkPacket& packet, int waitCount);
    ReplyResult AwaitReply(std::uint8_t port, std::uint8_t letter, std::uint8_t code, int waitCount,
                           link::LinkPacket& reply,
                           const std::function<bool(const link::LinkPacket&)>& extra);
    // Writes the request and waits for its reply, logging the failure; 0 or the failure.
    int Exchange(const Request& request, link::LinkPacket& reply);
    // One of the bill acceptor's version parts (bytes 6 to 8); false when it did not come.
    bool RequestVersionPart(std::uint8_t code, const char* announce, std::string& part);

    UtilityRun& run_;
    bool trace_ = true;
};

// Wire byte n of a packet (0 DA, 1 DC, 2 DL, 3 on the data); 0 past the packet's data.
std::uint8_t WireByte(const link::LinkPacket& packet, std::size_t n);
// True when the packet's data reaches wire byte `last`.
bool Holds(const link::LinkPacket& packet, std::size_t last);

// The name shown for a bill acceptor type code.
std::string BillAcceptorTypeName(unsigned typeCode);

// The start-up sequence every run goes through: port 6 (open, disable tracing, EPROM version,
// checksum, model, close), on a TMCB board port 5 (open, sync, CCU version, close, then the
// cash devices no longer go through the module), then the identity display. 0, or the exit
// code of the step that failed.
[[nodiscard]] int RunStartUpSequence(UtilityRun& run);

}  // namespace lane::moxtel
