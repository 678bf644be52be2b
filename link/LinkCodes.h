// The link's result codes, one set per program: the utility's are the ones its log and exit
// paths have always shown; the monitor has its own, which no caller reads beyond "not 0".
#pragma once

#include "link/LinkConfig.h"

namespace lane::link {

struct LinkCodes {
    // securitymodule
    int notConfigured;
    int tmcbOpenFailed;
    int usbOpenFailed;
    int tmcbShutDownFailed;
    int usbShutDownFailed;
    int initPortNotSupported;
    int loopbackNotSystemPort;
    int resetUsbBuffersSent;
    int readyCompleteSent;
    int resetButtonSent;
    int powerCommandSent;
    int commErrorSent;
    int invalidCommand;
    int writeFailed;
    int textTooLong;
    // USB_Standalone
    int driverAlreadyOpen;
    int openWriteSystemPortIo;
    int openReadSystemPortIo;
    int openWriteSerialPortData;
    int openReadSerialPortData;
    int openReadRemoteMonitorPortData;
    int closeNotOpen;
    int writeNotOpen;
    int packetTooLarge;
    int systemPortIoctlFailed;
    int writeFileFailed;
    int writeFileCount;
    int invalidAddress;
};

// textTooLong, openReadRemoteMonitorPortData (never opened) and packetTooLarge are ours.
inline constexpr LinkCodes kUtilityCodes{
    .notConfigured = 159,
    .tmcbOpenFailed = 192,
    .usbOpenFailed = 201,
    .tmcbShutDownFailed = 230,
    .usbShutDownFailed = 242,
    .initPortNotSupported = 531,
    .loopbackNotSystemPort = 571,
    .resetUsbBuffersSent = 578,
    .readyCompleteSent = 584,
    .resetButtonSent = 590,
    .powerCommandSent = 596,
    .commErrorSent = 602,
    .invalidCommand = 613,
    .writeFailed = 623,
    .textTooLong = 627,
    .driverAlreadyOpen = 146,
    .openWriteSystemPortIo = 167,
    .openReadSystemPortIo = 184,
    .openWriteSerialPortData = 205,
    .openReadSerialPortData = 222,
    .openReadRemoteMonitorPortData = 239,
    .closeNotOpen = 242,
    .writeNotOpen = 359,
    .packetTooLarge = 361,
    .systemPortIoctlFailed = 392,
    .writeFileFailed = 423,
    .writeFileCount = 432,
    .invalidAddress = 444,
};

// The monitor never meets notConfigured, the board codes or systemPortIoctlFailed; they
// keep the utility's values.
inline constexpr LinkCodes kMonitorCodes{
    .notConfigured = 159,
    .tmcbOpenFailed = 192,
    .usbOpenFailed = 110,
    .tmcbShutDownFailed = 230,
    .usbShutDownFailed = 150,
    .initPortNotSupported = 535,
    .loopbackNotSystemPort = 575,
    .resetUsbBuffersSent = 582,
    .readyCompleteSent = 588,
    .resetButtonSent = 594,
    .powerCommandSent = 600,
    .commErrorSent = 606,
    .invalidCommand = 617,
    .writeFailed = 627,
    .textTooLong = 631,
    .driverAlreadyOpen = 164,
    .openWriteSystemPortIo = 171,
    .openReadSystemPortIo = 188,
    .openWriteSerialPortData = 209,
    .openReadSerialPortData = 226,
    .openReadRemoteMonitorPortData = 243,
    .closeNotOpen = 278,
    .writeNotOpen = 395,
    .packetTooLarge = 397,
    .systemPortIoctlFailed = 392,
    .writeFileFailed = 430,
    .writeFileCount = 439,
    .invalidAddress = 448,
};

inline const LinkCodes& CodesFor(LinkRole role) {
    return role == LinkRole::Monitor ? kMonitorCodes : kUtilityCodes;
}

// Utility only: the reads of the USB transport and the interface board's transport.
inline constexpr int kSystemPortReadFailed = 901;
inline constexpr int kSerialReadFailed = 777;
inline constexpr int kSerialSizeTooSmall = 794;
inline constexpr int kSerialSizeTooLarge = 799;
inline constexpr int kSerialLengthMismatch = 809;
inline constexpr int kSerialInvalidCommand = 830;
inline constexpr int kSerialInvalidAddress = 837;

inline constexpr int kTmcbDriverNotReady = 88;
inline constexpr int kTmcbAlreadyOpen = 108;
inline constexpr int kTmcbOpenFailed = 150;
inline constexpr int kTmcbCloseNotOpen = 180;
inline constexpr int kTmcbWriteNotOpen = 336;
inline constexpr int kTmcbPacketTooLarge = 338;
inline constexpr int kTmcbInvalidAddress = 372;
inline constexpr int kTmcbInvalidCommand = 394;
inline constexpr int kTmcbGetResultWriteFailed = 458;
inline constexpr int kTmcbWriteFailed = 464;
inline constexpr int kTmcbReadNotOpen = 508;
inline constexpr int kTmcbGetResultReadFailed = 576;
inline constexpr int kTmcbReadFailed = 584;

}  // namespace lane::link
