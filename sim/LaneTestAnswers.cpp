// Port-6 replies and system-port events of the live tests' devices.
#include "sim/LaneTestAnswers.h"

namespace lane::sim {

namespace {

ModulePacket Packet(std::uint8_t port, std::uint8_t command, const std::string& data) {
    ModulePacket packet;
    packet.DA = port;
    packet.DC = command;
    packet.data.assign(data.begin(), data.end());
    return packet;
}

}  // namespace

bool AnswerLaneTests(const ModulePacket& received, const ModuleIdentity& identity,
                     ModuleAnswerState& state, std::uint32_t noise, ModuleAnswer& answer) {
    if (received.DA != kModuleServicePort || received.DC != kModulePortData) {
        return false;
    }
    if (!state.laneTests.SetUp()) {
        state.laneTests = LaneTestDevices(identity.laneTests);
    }
    LaneTestAnswer device;
    if (!state.laneTests.Answer(received.data, device)) {
        return false;
    }
    const bool stream = received.data[0] == 'S' && received.data[1] == '7';
    for (const std::string& reply : device.replies) {
        // The stream's readings come one after another; each other reply after the noise.
        for (std::uint32_t i = 0; !stream && i < noise; ++i) {
            answer.responses.push_back(Packet(kModuleServicePort, kModulePortData, "~~"));
        }
        answer.responses.push_back(Packet(kModuleServicePort, kModulePortData, reply));
    }
    for (const auto& [command, value] : device.systemEvents) {
        answer.responses.push_back(
            Packet(kModuleSystemPort, command, std::string(1, static_cast<char>(value))));
    }
    answer.notes = std::move(device.notes);
    return true;
}

}  // namespace lane::sim
