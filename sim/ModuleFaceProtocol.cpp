// What lanesim's security module says: packets, answers, the stream and the faults.
#include "sim/ModuleFaceProtocol.h"

#include <algorithm>
#include <cstdio>
#include <string>

#include "sim/LaneTestAnswers.h"

namespace lane::sim {

namespace {

constexpr std::size_t kHeaderSize = 3;  // DA, DC, DL

// A service-port request: its letter and code, and the reply's data after the reply's letter
// ('z') and the same code.
struct ServiceRequest {
    char letter;
    char code;
    std::string (*replyData)(const ModuleIdentity& identity);
};

// Version reply: the version as four digits ("0447" for 4.47) and the date as MMDDYYYY.
std::string VersionReply(const ModuleIdentity& identity) {
    char digits[8];
    std::snprintf(digits, sizeof digits, "%04u", static_cast<unsigned>(identity.version % 10000));
    return std::string(digits) + identity.date;
}

// Checksum reply: the status ('0' passed, '1' failed) and the four hex digits.
std::string ChecksumReply(const ModuleIdentity& identity) {
    return std::string(1, identity.checksumPassed ? '0' : '1') + identity.checksum;
}

std::string ModelReply(const ModuleIdentity& identity) {
    return identity.model;
}

std::string NoData(const ModuleIdentity&) {
    return {};
}

// CCU version reply: the version as four digits ("0130" for 1.30) and the date as MMDDYYYY.
std::string CcuVersionReply(const ModuleIdentity& identity) {
    char digits[8];
    std::snprintf(digits, sizeof digits, "%04u",
                  static_cast<unsigned>(identity.ccuVersion % 10000));
    return std::string(digits) + identity.ccuDate;
}

// The reply's first letter is the request's in lower case; its code is the request's.
constexpr ServiceRequest kServiceRequests[] = {
    {'Z', '2', VersionReply},
    {'Z', '4', ChecksumReply},
    {'Z', '5', ModelReply},
};
constexpr ServiceRequest kCashRequests[] = {
    {'S', '4', NoData},
    {'S', '2', CcuVersionReply},
};

const ServiceRequest* FindRequest(const ModulePacket& request) {
    if (request.DC != kModulePortData || request.data.size() < 2) {
        return nullptr;
    }
    const auto matches = [&](const ServiceRequest& known) {
        return request.data[0] == static_cast<std::uint8_t>(known.letter) &&
               request.data[1] == static_cast<std::uint8_t>(known.code);
    };
    if (request.DA == kModuleServicePort) {
        for (const ServiceRequest& known : kServiceRequests) {
            if (matches(known)) {
                return &known;
            }
        }
    }
    if (request.DA == kModuleCashPort) {
        for (const ServiceRequest& known : kCashRequests) {
            if (matches(known)) {
                return &known;
            }
        }
    }
    return nullptr;
}

std::uint8_t NextCashSequence(ModuleAnswerState& state) {
    state.cashSequence =
        static_cast<std::uint8_t>(state.cashSequence == 0xFF ? 1 : state.cashSequence + 1);
    return state.cashSequence;
}

ModulePacket PortData(std::uint8_t port, const std::string& text) {
    ModulePacket packet;
    packet.DA = port;
    packet.DC = kModulePortData;
    packet.data.assign(text.begin(), text.end());
    packet.data.resize(std::min(packet.data.size(), kModuleUsbMaxData));
    return packet;
}

// Port data that answers nothing the programs ask: '~' is no reply letter.
ModulePacket Noise(std::uint8_t port, ModuleAnswerState& state) {
    std::string text = "~~";
    if (port == kModuleCashPort) {
        text.insert(text.begin(), static_cast<char>(NextCashSequence(state)));
    }
    return PortData(port, text);
}

// The bill acceptor's requests: its replies, each after the noise and its sequence byte.
bool AnswerBillAcceptor(const ModulePacket& request, ModuleAnswerState& state, std::uint32_t noise,
                        ModuleAnswer& answer) {
    if (request.DA != kModuleCashPort || request.DC != kModulePortData || request.data.size() < 2 ||
        request.data[0] != kBillAcceptorLetter) {
        return false;
    }
    BillAcceptorAnswer device = state.billAcceptor.Take(request.data);
    for (const std::string& body : device.replies) {
        for (std::uint32_t i = 0; i < noise; ++i) {
            answer.responses.push_back(Noise(request.DA, state));
        }
        answer.responses.push_back(PortData(
            request.DA, std::string(1, static_cast<char>(NextCashSequence(state))) + body));
    }
    answer.notes = std::move(device.notes);
    return true;
}

// The security module menu's items on the service port, each reply after the noise.
bool AnswerServiceItems(const ModulePacket& request, ModuleAnswerState& state, std::uint32_t noise,
                        ModuleAnswer& answer) {
    std::vector<std::string> replies;
    if (request.DA != kModuleServicePort || request.DC != kModulePortData ||
        !state.serviceItems.Answer(request.data, state.settingDevices.laneSettings, replies,
                                   answer.notes)) {
        return false;
    }
    for (const std::string& reply : replies) {
        for (std::uint32_t i = 0; i < noise; ++i) {
            answer.responses.push_back(Noise(request.DA, state));
        }
        answer.responses.push_back(PortData(request.DA, reply));
    }
    return true;
}

// The Fujitsu bill dispenser's requests ('D'), answered like the bill acceptor's.
bool AnswerFujitsuDispenser(const ModulePacket& request, ModuleAnswerState& state,
                            std::uint32_t noise, ModuleAnswer& answer) {
    std::vector<std::string> replies;
    if (request.DA != kModuleCashPort || request.DC != kModulePortData ||
        !state.fujitsuDispenser.Answer(request.data, replies, answer.notes)) {
        return false;
    }
    for (const std::string& body : replies) {
        for (std::uint32_t i = 0; i < noise; ++i) {
            answer.responses.push_back(Noise(request.DA, state));
        }
        answer.responses.push_back(PortData(
            request.DA, std::string(1, static_cast<char>(NextCashSequence(state))) + body));
    }
    return true;
}

void AnswerRequest(const ModulePacket& request, const ModuleIdentity& identity,
                   ModuleAnswerState& state, std::uint32_t noise, ModuleAnswer& answer) {
    const ServiceRequest* known = FindRequest(request);
    std::vector<std::string> deviceReplies;
    if (known == nullptr) {
        if (request.DC != kModulePortData ||
            !AnswerSettingDevices(request.DA, request.data, identity, state.settingDevices,
                                  deviceReplies, answer.notes) ||
            deviceReplies.empty()) {
            return;
        }
    }
    for (std::uint32_t i = 0; i < noise; ++i) {
        answer.responses.push_back(Noise(request.DA, state));
    }
    for (const std::string& reply : deviceReplies) {
        std::string text;
        if (request.DA == kModuleCashPort) {
            text.push_back(static_cast<char>(NextCashSequence(state)));
        }
        answer.responses.push_back(PortData(request.DA, text + reply));
    }
    if (known == nullptr) {
        return;
    }
    std::string text;
    if (request.DA == kModuleCashPort) {
        text.push_back(static_cast<char>(NextCashSequence(state)));
    }
    text.push_back(static_cast<char>(known->letter - 'A' + 'a'));
    text.push_back(known->code);
    text += known->replyData(identity);
    answer.responses.push_back(PortData(request.DA, text));
}

ModulePacket Acknowledgement(std::uint8_t port, std::uint8_t command) {
    ModulePacket ack;
    ack.DA = port;
    ack.DC = command;
    return ack;
}

bool FaultMatches(const ModuleFault& fault, std::uint8_t port) {
    return fault.port == kAnyPort || fault.port == port;
}

// Puts the checksum right again after DA or DC changed (USB form only).
void RestoreChecksum(bool usbForm, std::vector<std::uint8_t>& wire) {
    if (usbForm && wire.size() > kHeaderSize) {
        wire.back() = ModuleChecksum(wire.data(), wire.size() - 1);
    }
}

// False when the packet is not to be sent.
bool ApplyOne(const ModuleFault& fault, bool usbForm, std::vector<std::uint8_t>& wire) {
    switch (fault.kind) {
        case FaultKind::Checksum:
            if (usbForm && !wire.empty()) {
                wire.back() = static_cast<std::uint8_t>(wire.back() + 1);
            }
            return true;
        case FaultKind::Address:
            if (!wire.empty()) {
                wire[0] = static_cast<std::uint8_t>(fault.value);
                RestoreChecksum(usbForm, wire);
            }
            return true;
        case FaultKind::Command:
            if (wire.size() > 1) {
                wire[1] = static_cast<std::uint8_t>(fault.value);
                RestoreChecksum(usbForm, wire);
            }
            return true;
        case FaultKind::Length:
            if (wire.size() > 2) {
                wire[2] = static_cast<std::uint8_t>(fault.value);
            }
            return true;
        case FaultKind::Short:
            wire.resize(std::min<std::size_t>(wire.size(), fault.value));
            return true;
        case FaultKind::Long:
            wire.resize(std::min<std::size_t>(wire.size() + fault.value, kMaxPacketBytes), 0);
            return true;
        case FaultKind::NoAnswer:
            return false;
    }
    return true;
}

}  // namespace

std::uint8_t ModuleChecksum(const std::uint8_t* bytes, std::size_t count) {
    unsigned sum = 0;
    for (std::size_t i = 0; i < count; ++i) {
        sum += bytes[i];
    }
    return static_cast<std::uint8_t>(sum & 0xFFu);
}

std::optional<ModulePacket> ReadUsbPacket(const std::vector<std::uint8_t>& bytes) {
    if (bytes.size() < kHeaderSize + 1) {
        return std::nullopt;
    }
    const std::size_t length = bytes[2];
    if (length > kModuleUsbMaxData || bytes.size() != length + kHeaderSize + 1 ||
        ModuleChecksum(bytes.data(), bytes.size() - 1) != bytes.back()) {
        return std::nullopt;
    }
    ModulePacket packet;
    packet.DA = bytes[0];
    packet.DC = bytes[1];
    packet.data.assign(bytes.begin() + kHeaderSize, bytes.end() - 1);
    return packet;
}

std::optional<ModulePacket> ReadBoardPacket(const std::vector<std::uint8_t>& bytes) {
    if (bytes.size() < kHeaderSize || bytes.size() != bytes[2] + kHeaderSize) {
        return std::nullopt;
    }
    ModulePacket packet;
    packet.DA = bytes[0];
    packet.DC = bytes[1];
    packet.data.assign(bytes.begin() + kHeaderSize, bytes.end());
    return packet;
}

std::vector<std::uint8_t> UsbWireBytes(const ModulePacket& packet) {
    const std::size_t length = std::min(packet.data.size(), kModuleUsbMaxData);
    std::vector<std::uint8_t> wire;
    wire.reserve(length + 4);
    wire.push_back(packet.DA);
    wire.push_back(packet.DC);
    wire.push_back(static_cast<std::uint8_t>(length));
    for (std::size_t i = 0; i < length; ++i) {
        wire.push_back(packet.data[i]);
    }
    wire.push_back(ModuleChecksum(wire.data(), wire.size()));
    return wire;
}

std::vector<std::uint8_t> BoardWireBytes(const ModulePacket& packet) {
    const std::size_t length = std::min(packet.data.size(), kModuleBoardMaxData);
    std::vector<std::uint8_t> wire;
    wire.reserve(length + 4);
    wire.push_back(packet.DA);
    wire.push_back(packet.DC);
    wire.push_back(static_cast<std::uint8_t>(length));
    for (std::size_t i = 0; i < length; ++i) {
        wire.push_back(packet.data[i]);
    }
    return wire;
}

ModuleAnswer AnswerPacket(const ModulePacket& received, const ModuleIdentity& identity,
                          ModuleAnswerState& state, std::uint32_t noise) {
    ModuleAnswer answer;
    answer.port = received.DA;
    switch (received.DC) {
        case kModuleInitPort:
            answer.change = PortChange::Initialised;
            return answer;
        case kModuleOpenPort:
        case kModuleClosePort:
            answer.change =
                received.DC == kModuleOpenPort ? PortChange::Opened : PortChange::Closed;
            if (received.DA == kModuleRemoteMonitorPort) {
                answer.responses.push_back(Acknowledgement(received.DA, received.DC));
            }
            return answer;
        case kModuleLoopback:
            if (received.DA == kModuleSystemPort) {
                answer.responses.push_back(received);
            }
            return answer;
        default:
            break;
    }
    DeviceAnswer device;
    if (received.DC == kModulePortData &&
        state.carousel.Answer(received.DA, received.data, device)) {
        for (const std::string& data : device.packets) {
            answer.responses.push_back(PortData(received.DA, data));
        }
        answer.notes = std::move(device.notes);
        return answer;
    }
    if (AnswerBillAcceptor(received, state, noise, answer)) {
        return answer;
    }
    // The live tests' short requests first: the service items take the longer ones of the
    // same letters ('Z' 'P' alone reads the power state, with a value it calibrates).
    if (AnswerLaneTests(received, identity, state, noise, answer)) {
        return answer;
    }
    if (AnswerServiceItems(received, state, noise, answer)) {
        return answer;
    }
    if (AnswerFujitsuDispenser(received, state, noise, answer)) {
        return answer;
    }
    AnswerRequest(received, identity, state, noise, answer);
    return answer;
}

std::vector<ModulePacket> CutMonitorStream(const std::vector<std::uint8_t>& bytes) {
    std::vector<ModulePacket> packets;
    for (std::size_t offset = 0; offset < bytes.size(); offset += kModuleUsbMaxData) {
        const std::size_t length = std::min(kModuleUsbMaxData, bytes.size() - offset);
        ModulePacket packet;
        packet.DA = kModuleRemoteMonitorPort;
        packet.DC = kModulePortData;
        packet.data.assign(bytes.begin() + static_cast<std::ptrdiff_t>(offset),
                           bytes.begin() + static_cast<std::ptrdiff_t>(offset + length));
        packets.push_back(std::move(packet));
    }
    return packets;
}

void FaultPlan::Arm(const ModuleFault& fault) {
    if (fault.count > 0) {
        armed_.push_back(fault);
    }
}

bool FaultPlan::Apply(std::uint8_t port, bool usbForm, std::vector<std::uint8_t>& wire) {
    bool send = true;
    for (auto fault = armed_.begin(); fault != armed_.end();) {
        if (!FaultMatches(*fault, port)) {
            ++fault;
            continue;
        }
        send = ApplyOne(*fault, usbForm, wire) && send;
        if (--fault->count == 0) {
            fault = armed_.erase(fault);
        } else {
            ++fault;
        }
    }
    return send;
}

}  // namespace lane::sim
