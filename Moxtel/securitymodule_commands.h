// securitymodule_commands: the request/reply exchanges the start-up sequence and the commands
// share. Ports 5 (the cash machine) and 6 (the module's service port) are opened and closed
// around each use; every request is one packet, every awaited reply is taken from the link's
// queue by a loop that gives up after the wait count or on the hundredth packet. Each call
// gives 0, or non-zero after logging its own failure message.
#pragma once

#include <cstdint>

#include "Moxtel/UtilityRun.h"

namespace lane::moxtel {

// Wait counts of the reply loops (ReadPacketFromSecurityModule looks every 100 ms).
inline constexpr int kServicePortWaitCount = 10;
inline constexpr int kCashPortWaitCount = 50;
// The packet that ends a reply loop whatever it holds.
inline constexpr int kReplyLoopPacketLimit = 100;

class SecurityModuleCommands {
  public:
    explicit SecurityModuleCommands(UtilityRun& run) : run_(run) {}

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
    [[nodiscard]] int SendBillAcceptorCommand(std::uint8_t code);
    [[nodiscard]] int RequestBillAcceptorVersion();

    // The menus' console routines: 25 line ends; "\nPress any key to continue" and one key.
    void ClearScreen();
    void WaitForKey();

    // Port-5 "Data in:" lines; on from start-up.
    void SetTrace(bool on) { trace_ = on; }

  private:
    UtilityRun& run_;
    bool trace_ = true;
};

// The start-up sequence every run goes through: port 6 (open, disable tracing, EPROM version,
// checksum, model, close), on a TMCB board port 5 (open, sync, CCU version, close, then the
// cash devices no longer go through the module), then the identity display. 0, or the exit
// code of the step that failed.
[[nodiscard]] int RunStartUpSequence(UtilityRun& run);

}  // namespace lane::moxtel
