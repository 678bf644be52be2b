// The link dispatcher: start-up, shut-down, writes, the receive queue and the packet builder.
#include "link/securitymodule.h"

#include <algorithm>

#include "link/PacketRules.h"

namespace lane::link {

namespace {

// Commands only the module sends, with the name the refusal gives them.
struct ModuleOnlyCommand {
    std::uint8_t command;
    const char* name;
    int LinkCodes::*code;
};

constexpr ModuleOnlyCommand kModuleOnlyCommands[] = {
    {TMCB_DC_RESET_USB_BUFFERS, "TMCB_DC_RESET_USB_BUFFERS", &LinkCodes::resetUsbBuffersSent},
    {TMCB_DC_READY_COMPLETE, "TMCB_DC_READY_COMPLETE", &LinkCodes::readyCompleteSent},
    {TMCB_DC_RESET_BUTTON, "TMCB_DC_RESET_BUTTON", &LinkCodes::resetButtonSent},
    {TMCB_DC_POWER_COMMAND, "TMCB_DC_POWER_COMMAND", &LinkCodes::powerCommandSent},
    {TMCB_DC_COMM_ERROR, "TMCB_DC_COMM_ERROR", &LinkCodes::commErrorSent},
};

}  // namespace

CSecurityModuleLink::CSecurityModuleLink(const LinkConfig& config, LinkReporter& reporter,
                                         Clock& clock, const platform::LanePaths& paths)
    : config_(config),
      context_{config_, CodesFor(config_.role), reporter, clock, paths},
      log_(reporter, "securitymodule"),
      usb_(context_, queue_, *this),
      tmcb_(context_, queue_, *this) {}

int CSecurityModuleLink::StartUpSecurityModule() {
    return context_.IsMonitor() ? StartUpMonitor() : StartUpUtility();
}

int CSecurityModuleLink::StartUpUtility() {
    if (config_.boardType == kBoardTypeTmcb) {
        log_.Information("TMCB Security Module Configued -- Starting up TMCB Security Module..");
        tmcb_.StartReader();
        if (tmcb_.Open() != 0) {
            log_.Error("Error Opening TMCB Device Driver");
            return context_.codes.tmcbOpenFailed;
        }
        return 0;
    }
    if (config_.boardType == kBoardTypeUsb) {
        log_.Information("USB Security Module Configued....");
        log_.Information("Starting up System Port Reader Thread");
        usb_.StartSystemPortReader();
        log_.Information("Starting up Serial Port Reader Thread..");
        usb_.StartSerialPortReader();
        if (usb_.OpenDriver() != 0) {
            log_.Error("Error Opening USB Device Driver");
            return context_.codes.usbOpenFailed;
        }
        return 0;
    }
    log_.Error("Security Module Not Configured...");
    return context_.codes.notConfigured;
}

int CSecurityModuleLink::StartUpMonitor() {
    if (usb_.OpenDriver() != 0) {
        log_.Error("Error Opening USB Device Driver");
        return context_.codes.usbOpenFailed;
    }
    LinkPacket openPort;
    openPort.DA = kRemoteMonitorPort;
    openPort.DC = TMCB_DC_OPEN_PORT;
    return WritePacketToSecurityModule(openPort);
}

int CSecurityModuleLink::ShutDownSecurityModule() {
    if (context_.IsMonitor()) {
        LinkPacket closePort;
        closePort.DA = kRemoteMonitorPort;
        closePort.DC = TMCB_DC_CLOSE_PORT;
        static_cast<void>(WritePacketToSecurityModule(closePort));
        if (usb_.CloseDriver() != 0) {
            log_.Error("Error Closing Down the USB Security Module");
            return context_.codes.usbShutDownFailed;
        }
        return 0;
    }
    if (config_.boardType == kBoardTypeTmcb) {
        if (tmcb_.Close() != 0) {
            log_.Error("Error Closing Down the TMCB Security Module");
            return context_.codes.tmcbShutDownFailed;
        }
        return 0;
    }
    if (config_.boardType == kBoardTypeUsb) {
        if (usb_.CloseDriver() != 0) {
            log_.Error("Error Closing Down the USB Security Module");
            return context_.codes.usbShutDownFailed;
        }
        return 0;
    }
    log_.Error("Security Module Not Configured...");
    return context_.codes.notConfigured;
}

int CSecurityModuleLink::WritePacketToSecurityModule(const LinkPacket& packet) {
    if (!context_.IsMonitor()) {
        return WriteUtilityPacket(packet);
    }
    const int result = usb_.USB_WritePacketToSecurityModule(packet);
    if (result != 0) {
        log_.Error("ERROR: During Call to USB_WritePacketToSecurityModule() Rtn: %d", result);
    }
    return result;
}

int CSecurityModuleLink::WriteUtilityPacket(const LinkPacket& packet) {
    int result = 0;
    if (config_.boardType == kBoardTypeTmcb) {
        result = tmcb_.TMCB_WritePacketToSecurityModule(packet);
        if (result != 0) {
            log_.Error("ERROR: During Call to TMCB_WritePacketToSecurityModule() Rtn: %d", result);
            return result;
        }
    } else if (config_.boardType == kBoardTypeUsb) {
        result = usb_.USB_WritePacketToSecurityModule(packet);
        if (result != 0) {
            log_.Error("ERROR: During Call to USB_WritePacketToSecurityModule() Rtn: %d", result);
            return result;
        }
    } else {
        log_.Error("Security Module Not Configured...");
        return context_.codes.notConfigured;
    }
    if (packetDump_.load()) {
        ReportPacketOut(packet);
    }
    return 0;
}

void CSecurityModuleLink::ReportPacketOut(const LinkPacket& packet) {
    const auto& d = packet.data;
    log_.Information("Data Out:%.2x.%.2x.%.2x - %.2x.%.2x.%.2x.%.2x.%.2x.%.2x", packet.DA,
                     packet.DC, packet.DL, d[0], d[1], d[2], d[3], d[4], d[5]);
}

bool CSecurityModuleLink::ReadPacketFromSecurityModule(LinkPacket& packet, int waitCount) {
    log_.DetailConsole("ReadPacketFromSecurityModule() - WaitCount = %d", waitCount);
    int left = waitCount;
    do {
        if (queue_.Take(packet)) {
            return true;
        }
        if (left > 0) {
            context_.clock.SleepMs(kReadPacketWaitStepMs);
        }
        --left;
    } while (left > 0);
    log_.Information("** No Data Received before Wait Count Expired **");
    return false;
}

int CSecurityModuleLink::BuildPacket(std::uint8_t port, std::uint8_t command, std::string_view text,
                                     LinkPacket& packet) {
    const LinkCodes& codes = context_.codes;
    switch (command) {
        case TMCB_DC_INIT_PORT: {
            const auto parameters = InitPortParameters(config_.role, config_.scaleType, port);
            if (!parameters) {
                log_.Error(
                    "ERROR: This Device Address not Supported for Packet TMCB_DC_INIT_PORT in "
                    "WritePacketToSecurityModule( %u )",
                    static_cast<unsigned>(port));
                return codes.initPortNotSupported;
            }
            packet.DL = static_cast<std::uint8_t>(parameters->size());
            std::copy(parameters->begin(), parameters->end(), packet.data.begin());
            return 0;
        }
        case TMCB_DC_OPEN_PORT:
        case TMCB_DC_CLOSE_PORT:
            return 0;
        case TMCB_DC_PORT_DATA:
        case TMCB_DC_SYSTEM_LOOPBACK:
            break;
        default:
            for (const ModuleOnlyCommand& refused : kModuleOnlyCommands) {
                if (refused.command == command) {
                    log_.Error("Invalid Command Sent to FormatAndSendDataToSecurityModule( %s )",
                               refused.name);
                    return codes.*refused.code;
                }
            }
            log_.Error("ERROR: Invalid Device Command Sent to WritePacketToSecurityModule( %u )",
                       static_cast<unsigned>(command));
            return codes.invalidCommand;
    }
    // The commands that carry the text.
    if (text.size() > kLinkPacketDataSize) {
        log_.Error("Data Packet Size ( %d ) to Large for Link Packet...",
                   static_cast<int>(text.size()));
        return codes.textTooLong;
    }
    packet.DL = static_cast<std::uint8_t>(text.size());
    std::copy(text.begin(), text.end(), packet.data.begin());
    if (command == TMCB_DC_SYSTEM_LOOPBACK &&
        (port != TMCB_PORT_SYSTEM_PORT || context_.IsMonitor())) {
        log_.Error("Command TMCB_DC_SYSTEM_LOOPBACK only valid on Port: TMCB_PORT_SYSTEM_PORT");
        return codes.loopbackNotSystemPort;
    }
    return 0;
}

int CSecurityModuleLink::FormatAndSendDataToSecurityModule(std::uint8_t port, std::uint8_t command,
                                                           std::string_view text) {
    LinkPacket packet;
    packet.DA = port;
    packet.DC = command;
    // The text is a C string: it ends at its first zero byte.
    const std::string_view carried = text.substr(0, text.find('\0'));
    const int built = BuildPacket(port, command, carried, packet);
    if (built != 0) {
        return built;
    }
    const int written = WritePacketToSecurityModule(packet);
    if (written != 0) {
        log_.Error("ERROR: During Call to TMCB_WritePacketToSecurityModule() Rtn: %d", written);
        return context_.codes.writeFailed;
    }
    return 0;
}

}  // namespace lane::link
