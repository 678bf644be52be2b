// The utility's process exit codes.
#pragma once

namespace lane::moxtel {

inline constexpr int kExitSuccess = 0;
inline constexpr int kExitConfigurationFatal = 1;      // a configuration value not accepted
inline constexpr int kExitPort6Open = 139;             // port 6 not initialised or opened
inline constexpr int kExitDisableTracing = 142;        // security-module tracing not disabled
inline constexpr int kExitEpromVersion = 145;          // the EPROM version request failed
inline constexpr int kExitChecksum = 148;              // the checksum request failed
inline constexpr int kExitModel = 151;                 // the model request failed
inline constexpr int kExitPort6Close = 154;            // port 6 not closed
inline constexpr int kExitPort5Open = 159;             // TMCB: port 5 not initialised or opened
inline constexpr int kExitCashMachineSync = 160;       // TMCB: the cash machine sync failed
inline constexpr int kExitCcuVersion = 161;            // TMCB: the CCU version request failed
inline constexpr int kExitPort5Close = 162;            // TMCB: port 5 not closed
inline constexpr int kExitFrameworkFailed = 200;       // "FATAL ERROR 1A: MFC initialization..."
inline constexpr int kExitSecurityModuleUpload = 200;  // SecurityModuleUpload failed
inline constexpr int kExitInvalidCommandLine = 201;    // invalid command line
inline constexpr int kExitLinkStart = 202;             // the link could not be started
inline constexpr int kExitBillAcceptorUpload = 318;    // BillAcceptorUpload failed on every try

}  // namespace lane::moxtel
