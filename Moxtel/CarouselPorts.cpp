// Ports 4 and 3 for the E-Box and the UPS: set-up packets, flush, requests and reply loops.
#include "Moxtel/CarouselPorts.h"

#include <cctype>
#include <cstdio>
#include <string>

#include "Moxtel/securitymodule_commands.h"
#include "link/TMCB_Support.h"

namespace lane::moxtel {

namespace {

// The line settings each port is initialised with.
constexpr char kCarouselPortSettings[] = {5, 5, 1, 2};
constexpr char kUpsPortSettings[] = {5, 3, 2, 1};

std::string_view PortSettings(std::uint8_t port) {
    if (port == link::kCarouselPort) {
        return std::string_view(kCarouselPortSettings, sizeof kCarouselPortSettings);
    }
    return std::string_view(kUpsPortSettings, sizeof kUpsPortSettings);
}

std::string_view ControlData(CarouselControl request) {
    switch (request) {
        case CarouselControl::PollingOff:
            return "SFD";
        case CarouselControl::PollingOn:
            return "SFE";
        case CarouselControl::DefaultOverrideOff:
            return "SHL";
        case CarouselControl::DefaultOverrideOn:
            break;
    }
    return "SH ";
}

}  // namespace

void CCarouselPorts::Show(const char* text) {
    run_.log.LogMessage(kLogShow, kCategoryCommand, module_, __LINE__, "%s", text);
}

void CCarouselPorts::Prompt(const char* text) {
    run_.log.LogMessage(kLogPrompt, kCategoryCommand, module_, __LINE__, "%s", text);
}

int CCarouselPorts::AskKey(bool upperCase) {
    int key = run_.console.GetKey();
    if (upperCase) {
        key = std::toupper(key);
    }
    std::string echo(1, static_cast<char>(key));
    echo.push_back('\n');
    run_.console.Write(echo);
    return key;
}

void CCarouselPorts::WaitForKey() {
    SecurityModuleCommands(run_).WaitForKey();
}

int CCarouselPorts::WritePortPacket(std::uint8_t port, std::uint8_t command,
                                    std::string_view data) {
    link::LinkPacket packet;
    packet.DA = port;
    packet.DC = command;
    packet.DL = static_cast<std::uint8_t>(data.size());
    for (std::size_t i = 0; i < data.size() && i < packet.data.size(); ++i) {
        packet.data[i] = static_cast<std::uint8_t>(data[i]);
    }
    return run_.link.WritePacketToSecurityModule(packet);
}

int CCarouselPorts::OpenDevicePort(std::uint8_t port) {
    char text[64];
    int result = WritePortPacket(port, link::TMCB_DC_INIT_PORT, PortSettings(port));
    if (result != 0) {
        std::snprintf(text, sizeof text, "ERROR 11: Init Port %u.", static_cast<unsigned>(port));
        Show(text);
        return result;
    }
    result = WritePortPacket(port, link::TMCB_DC_OPEN_PORT, {});
    if (result != 0) {
        std::snprintf(text, sizeof text, "ERROR 11: Opening Port %u.", static_cast<unsigned>(port));
        Show(text);
    }
    return result;
}

int CCarouselPorts::CloseDevicePort(std::uint8_t port) {
    const int result = WritePortPacket(port, link::TMCB_DC_CLOSE_PORT, {});
    if (result != 0) {
        char text[64];
        std::snprintf(text, sizeof text, "ERROR 11: Closing Port %u.", static_cast<unsigned>(port));
        Show(text);
    }
    return result;
}

void CCarouselPorts::Flush(std::uint8_t port) {
    link::LinkPacket packet;
    for (int reads = 0; run_.link.ReadPacketFromSecurityModule(packet, kFlushWaitCount);) {
        if (++reads >= kFlushReadLimit) {
            char text[64];
            std::snprintf(text, sizeof text, "ERROR 52: Flushing port %u Data.",
                          static_cast<unsigned>(port));
            Show(text);
            return;
        }
    }
}

int CCarouselPorts::WriteEBox(std::string_view data) {
    const int result = WritePortPacket(link::kCarouselPort, link::TMCB_DC_PORT_DATA, data);
    if (result != 0) {
        Show("ERROR 11: Sending data to port 4.\n");
    }
    return result;
}

int CCarouselPorts::ReadEBoxReply(CEBoxReplyReader& reply) {
    reply.Clear();
    link::LinkPacket packet;
    while (!reply.Complete()) {
        if (!run_.link.ReadPacketFromSecurityModule(packet, kDeviceReplyWaitCount)) {
            Show("ERROR 50: Scale Timeout.");
            return 50;
        }
        static_cast<void>(reply.Take(packet));
    }
    if (!reply.IsError()) {
        return 0;
    }
    // An "Err" reply too short to carry its code shows a blank for it.
    const char code = reply.ErrorCode() == '\0' ? ' ' : reply.ErrorCode();
    run_.log.LogMessage(kLogPrompt, kCategoryCommand, module_, __LINE__, "E-Box Error Code %c, ",
                        code);
    Show(EBoxErrorText(reply.ErrorCode()));
    return 51;
}

int CCarouselPorts::WriteUps(char request) {
    const int result =
        WritePortPacket(link::kUpsPort, link::TMCB_DC_PORT_DATA, std::string_view(&request, 1));
    if (result != 0) {
        Show("ERROR 11: Sending data to port 3.\n");
    }
    return result;
}

std::size_t CCarouselPorts::ReadUpsReply(CUpsReplyReader& reply) {
    reply.Clear();
    link::LinkPacket packet;
    while (!reply.Complete()) {
        if (!run_.link.ReadPacketFromSecurityModule(packet, kDeviceReplyWaitCount)) {
            Show("ERROR 50: UPS Time-out.");
            return 0;
        }
        static_cast<void>(reply.Take(packet));
    }
    return reply.Text().size();
}

void CCarouselPorts::Control(CarouselControl request) {
    if (request == CarouselControl::PollingOff) {
        Show("Disabling EBox Polling.");
    } else if (request == CarouselControl::DefaultOverrideOff) {
        Show("Disabling Quarnel Default Override.");
    }
    SecurityModuleCommands commands(run_);
    if (commands.OpenPort6() != 0) {
        return;  // the port command has said why
    }
    if (WritePortPacket(link::kServicePort, link::TMCB_DC_PORT_DATA, ControlData(request)) != 0) {
        Show("ERROR 11: on Port 4.");
    }
    static_cast<void>(commands.ClosePort6());
}

}  // namespace lane::moxtel
