// The utility's USB reader threads: one for the system port, one for the serial ports, each
// filling the receive queue until a read fails or the transport ends.
#include "link/USB_Standalone.h"

#include "link/PacketRules.h"

namespace lane::link {

void CUsbStandalone::StartSystemPortReader() {
    StartReader(systemReader_, ReadSource::SystemPort);
}

void CUsbStandalone::StartSerialPortReader() {
    StartReader(serialReader_, ReadSource::SerialPort);
}

void CUsbStandalone::StartReader(Reader& reader, ReadSource source) {
    if (reader.thread.joinable()) {
        return;  // already running (or ended); one reader per source
    }
    reader.thread = std::thread([this, &reader, source] { RunReader(reader, source); });
}

void CUsbStandalone::RunReader(Reader& reader, ReadSource source) {
    while (!stop_.IsSet()) {
        if (!DriverInitialized()) {
            Pause(kDriverNotOpenPauseMs);
            continue;
        }
        LinkPacket packet;
        std::size_t count = 0;
        const int result = source == ReadSource::SystemPort ? ReadSystemPort(packet, count)
                                                            : ReadSerialPort(packet, count);
        if (result != 0) {
            reader.result.store(result);
            break;
        }
        switch (UsbReaderAction(packet, count)) {
            case ReaderAction::Ignore:
                break;
            case ReaderAction::Drop:
                Pause(kDropPauseMs);
                break;
            case ReaderAction::Queue:
                if (packet.DA == TMCB_PORT_SYSTEM_PORT) {
                    ReportSystemPortEvent(packet);
                }
                queue_.Add(packet);
                break;
        }
    }
    reader.ended.Set();
}

void CUsbStandalone::ReportSystemPortEvent(const LinkPacket& packet) {
    const char* name = nullptr;
    switch (packet.DC) {
        case TMCB_DC_RESET_BUTTON:
            name = "TMCB_DC_RESET_BUTTON";
            break;
        case TMCB_DC_POWER_COMMAND:
            name = "TMCB_DC_POWER_COMMAND";
            break;
        case TMCB_DC_SYSTEM_LOOPBACK:
            name = "TMCB_DC_SYSTEM_LOOPBACK";
            break;
        case TMCB_DC_RESET_USB_BUFFERS:
            name = "TMCB_DC_RESET_USB_BUFFERS";
            break;
        default:
            log_.Error("TMCB_PORT_SYSTEM_PORT :: << UNKNOWN >> Packet Received...Lenght = %u",
                       static_cast<unsigned>(packet.DL));
            return;
    }
    log_.Warning("TMCB_PORT_SYSTEM_PORT :: %s Packet Received...Lenght = %u", name,
                 static_cast<unsigned>(packet.DL));
}

}  // namespace lane::link
