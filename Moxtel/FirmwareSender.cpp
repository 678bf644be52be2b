// The firmware sender: start packet, data packets, the byte log and the progress counter.
#include "Moxtel/FirmwareSender.h"

#include <algorithm>
#include <cstdio>
#include <string_view>

namespace lane::moxtel {

namespace {

constexpr const char* kModule = "FirmwareSender";

}  // namespace

link::LinkPacket UploadStartPacket(std::size_t count) {
    link::LinkPacket packet;
    packet.DA = link::TMCB_PORT_SYSTEM_PORT;
    packet.DC = link::kDcFirmwareUploadStart;
    packet.DL = 5;
    packet.data[0] = static_cast<std::uint8_t>((count >> 8) & 0xFFu);
    packet.data[1] = static_cast<std::uint8_t>(count & 0xFFu);
    packet.data[2] = kUploadStartMarks[0];
    packet.data[3] = kUploadStartMarks[1];
    packet.data[4] = kUploadStartMarks[2];
    return packet;
}

int SendFirmwareImage(UtilityRun& run, const FirmwareBuffer& buffer, std::size_t count) {
    count = std::min(count, buffer.size());
    if (run.link.WritePacketToSecurityModule(UploadStartPacket(count)) != 0) {
        run.log.LogMessage(kLogShow, kCategoryCommand, kModule, __LINE__, "%s",
                           "ERROR 11: Sending Start Upload Procedure to Security Module.");
        run.log.LogMessage(kLogShow, kCategoryCommand, kModule, __LINE__, "%s",
                           "ERROR 13: Sending File to Security Module.");
        return kSendStartFailed;
    }
    link::LinkPacket packet;
    packet.DA = link::TMCB_PORT_SYSTEM_PORT;
    packet.DC = link::kDcFirmwareUploadData;
    std::size_t sent = 0;
    char progress[48];
    while (sent < count) {
        run.log.LogMessage(kLogFileOnly, kCategoryCommand, kModule, __LINE__, "%s", "NEW PACKET");
        const std::size_t take = std::min(kUploadPacketBytes, count - sent);
        packet.data.fill(0);
        for (std::size_t index = 0; index < take; ++index) {
            const std::uint8_t byte = buffer[sent + index];
            packet.data[index] = byte;
            run.log.LogMessage(kLogFileOnly, kCategoryCommand, kModule, __LINE__, "%x.",
                               static_cast<unsigned>(byte));
        }
        packet.DL = static_cast<std::uint8_t>(take);
        if (run.link.WritePacketToSecurityModule(packet) != 0) {
            run.log.LogMessage(kLogShow, kCategoryCommand, kModule, __LINE__, "%s",
                               "ERROR 11: Sending Upload Data to Security Module.");
            return kSendDataFailed;
        }
        sent += take;
        const int length = std::snprintf(progress, sizeof progress, "Bytes Left %d     \r",
                                         static_cast<int>(count - sent));
        run.console.Write(std::string_view(progress, static_cast<std::size_t>(length)));
    }
    return 0;
}

}  // namespace lane::moxtel
