// Tests of what lanesim's security module says: wire forms, answers, the stream and the faults.
#include "sim/ModuleFaceProtocol.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace lane::sim {
namespace {

using Bytes = std::vector<std::uint8_t>;

ModulePacket Packet(std::uint8_t da, std::uint8_t dc, const std::string& data = "") {
    ModulePacket packet;
    packet.DA = da;
    packet.DC = dc;
    packet.data.assign(data.begin(), data.end());
    return packet;
}

// One answer from a fresh module.
ModuleAnswer Answer(const ModulePacket& received, const ModuleIdentity& identity) {
    ModuleAnswerState state;
    return AnswerPacket(received, identity, state);
}

std::string Text(const Bytes& bytes) {
    return std::string(bytes.begin(), bytes.end());
}

TEST(ModuleFaceProtocolTest, WritesAndReadsBothWireForms) {
    EXPECT_EQ(UsbWireBytes(Packet(6, 6, "abc")), (Bytes{0x06, 0x06, 0x03, 0x61, 0x62, 0x63, 0x35}));
    EXPECT_EQ(UsbWireBytes(Packet(7, 3)), (Bytes{0x07, 0x03, 0x00, 0x0A}));
    EXPECT_EQ(BoardWireBytes(Packet(6, 6, "Z2")), (Bytes{0x06, 0x06, 0x02, 'Z', '2'}));

    const auto read = ReadUsbPacket({0x06, 0x06, 0x03, 0x61, 0x62, 0x63, 0x35});
    ASSERT_TRUE(read);
    EXPECT_EQ(read->DA, 6);
    EXPECT_EQ(read->DC, 6);
    EXPECT_EQ(Text(read->data), "abc");
    // A wrong checksum, a count that does not fit DL and a DL above 60 are no packets.
    EXPECT_FALSE(ReadUsbPacket({0x06, 0x06, 0x03, 0x61, 0x62, 0x63, 0x36}));
    EXPECT_FALSE(ReadUsbPacket({0x06, 0x06, 0x03, 0x61, 0x62, 0x35}));
    EXPECT_FALSE(ReadUsbPacket({0x07, 0x02, 0x00}));
    Bytes tooLong(65, 0);
    tooLong[2] = 61;
    EXPECT_FALSE(ReadUsbPacket(tooLong));

    const auto board = ReadBoardPacket({0x06, 0x06, 0x02, 'Z', '2'});
    ASSERT_TRUE(board);
    EXPECT_EQ(Text(board->data), "Z2");
    EXPECT_FALSE(ReadBoardPacket({0x06, 0x06, 0x03, 'Z', '2'}));
}

TEST(ModuleFaceProtocolTest, AcknowledgesTheRemoteMonitorPortOnly) {
    const ModuleIdentity identity;
    ModuleAnswer open7 = Answer(Packet(7, 2), identity);
    EXPECT_EQ(open7.change, PortChange::Opened);
    EXPECT_EQ(open7.port, 7);
    ASSERT_EQ(open7.responses.size(), 1u);
    EXPECT_EQ(UsbWireBytes(open7.responses[0]), (Bytes{0x07, 0x02, 0x00, 0x09}));

    ModuleAnswer close7 = Answer(Packet(7, 3), identity);
    EXPECT_EQ(close7.change, PortChange::Closed);
    ASSERT_EQ(close7.responses.size(), 1u);
    EXPECT_EQ(UsbWireBytes(close7.responses[0]), (Bytes{0x07, 0x03, 0x00, 0x0A}));

    // The utility's serial reader takes port data only: ports 1 to 6 answer nothing.
    ModuleAnswer open6 = Answer(Packet(6, 2), identity);
    EXPECT_EQ(open6.change, PortChange::Opened);
    EXPECT_TRUE(open6.responses.empty());
    ModuleAnswer init5 = Answer(Packet(5, 1, std::string("\x0A\x05\x02\x01")), identity);
    EXPECT_EQ(init5.change, PortChange::Initialised);
    EXPECT_TRUE(init5.responses.empty());
}

TEST(ModuleFaceProtocolTest, EchoesTheSystemPortLoopback) {
    const ModuleAnswer answer = Answer(Packet(0, 0xA0, "HELLO"), ModuleIdentity{});
    ASSERT_EQ(answer.responses.size(), 1u);
    EXPECT_EQ(UsbWireBytes(answer.responses[0]), UsbWireBytes(Packet(0, 0xA0, "HELLO")));
    EXPECT_TRUE(Answer(Packet(5, 0xA0, "HELLO"), ModuleIdentity{}).responses.empty());
}

TEST(ModuleFaceProtocolTest, AnswersTheServicePortFromTheIdentity) {
    ModuleIdentity identity;
    identity.version = 353;
    identity.date = "03152019";
    identity.checksum = "1A2B";
    identity.checksumPassed = false;
    identity.model = "745";
    const auto reply = [&](const std::string& request) {
        const ModuleAnswer answer = Answer(Packet(6, 6, request), identity);
        EXPECT_EQ(answer.change, PortChange::None);
        if (answer.responses.size() != 1u) {
            return std::string("<none>");
        }
        EXPECT_EQ(answer.responses[0].DA, 6);
        EXPECT_EQ(answer.responses[0].DC, 6);
        return Text(answer.responses[0].data);
    };
    // Bytes 3 on: 'z', the code, then the data the utility reads by byte number.
    EXPECT_EQ(reply("Z2"), "z2035303152019");
    EXPECT_EQ(reply("Z4"), "z411A2B");
    EXPECT_EQ(reply("Z5"), "z5745");
    EXPECT_EQ(reply("ZG"), "<none>");  // disable tracing: no reply
    EXPECT_EQ(reply("Z"), "<none>");
    EXPECT_EQ(reply("S2"), "<none>");
    identity.checksumPassed = true;
    EXPECT_EQ(reply("Z4"), "z401A2B");
    EXPECT_TRUE(Answer(Packet(5, 6, "Z2"), identity).responses.empty());
}

TEST(ModuleFaceProtocolTest, TheServicePortReadsThreeDigitVersionsWithALeadingZero) {
    ModuleIdentity identity;
    identity.version = 346;
    identity.date = "11302009";
    ModuleAnswerState state;
    const ModuleAnswer answer = AnswerPacket(Packet(6, 6, "Z2"), identity, state);
    ASSERT_EQ(answer.responses.size(), 1u);
    // The utility reads bytes 6 to 8 as the number: 346.
    const Bytes wire = UsbWireBytes(answer.responses[0]);
    EXPECT_EQ(std::string(wire.begin() + 6, wire.begin() + 9), "346");
    EXPECT_EQ(std::string(wire.begin() + 5, wire.begin() + 9), "0346");
}

TEST(ModuleFaceProtocolTest, AnswersTheCashPortWithARisingSequenceByte) {
    ModuleIdentity identity;
    identity.ccuVersion = 131;
    identity.ccuDate = "12252020";
    ModuleAnswerState state;
    const auto reply = [&](const std::string& request) {
        const ModuleAnswer answer = AnswerPacket(Packet(5, 6, request), identity, state);
        if (answer.responses.size() != 1u) {
            return Bytes{};
        }
        EXPECT_EQ(answer.responses[0].DA, 5);
        EXPECT_EQ(answer.responses[0].DC, 6);
        return UsbWireBytes(answer.responses[0]);
    };
    // Sync: byte 3 the sequence, bytes 4 and 5 "s4".
    const Bytes sync = reply("S4");
    ASSERT_EQ(sync.size(), 7u);
    EXPECT_EQ(sync[2], 3);
    EXPECT_EQ(sync[3], 1);
    EXPECT_EQ(std::string(sync.begin() + 4, sync.begin() + 6), "s4");
    // CCU version: bytes 6 to 9 the version, 10 to 17 the date, as the utility cuts them.
    const Bytes ccu = reply("S2");
    ASSERT_EQ(ccu.size(), 3u + 15u + 1u);
    EXPECT_EQ(ccu[3], 2);
    EXPECT_EQ(std::string(ccu.begin() + 4, ccu.begin() + 6), "s2");
    EXPECT_EQ(std::string(ccu.begin() + 6, ccu.begin() + 10), "0131");
    EXPECT_EQ(std::string(ccu.begin() + 10, ccu.begin() + 18), "12252020");
    // The program's acknowledgement is taken silently and does not count.
    EXPECT_TRUE(
        AnswerPacket(Packet(5, 6, std::string("S0\x02")), identity, state).responses.empty());
    // Bill acceptor status: byte 10 is 0x40, which is not the upload mode's pattern.
    const Bytes status = reply("B1");
    ASSERT_EQ(status.size(), 3u + 9u + 1u);
    EXPECT_EQ(status[3], 3);
    EXPECT_EQ(std::string(status.begin() + 4, status.begin() + 6), "b1");
    EXPECT_EQ(status[10], 0x40);
    EXPECT_NE(status[10] & 0x7E, 0x50);
    // Unknown cash requests and service requests on the cash port get nothing.
    EXPECT_TRUE(reply("S9").empty());
    EXPECT_TRUE(reply("Z2").empty());
    // The sequence runs 1 to 255 and starts again at 1, never 0.
    state.cashSequence = 0xFE;
    EXPECT_EQ(reply("S4")[3], 0xFF);
    EXPECT_EQ(reply("S4")[3], 0x01);
}

TEST(ModuleFaceProtocolTest, NoisePrecedesEveryRequestReplyOnItsPortAndMatchesNothing) {
    const ModuleIdentity identity;
    ModuleAnswerState state;
    const ModuleAnswer version = AnswerPacket(Packet(6, 6, "Z2"), identity, state, 3);
    ASSERT_EQ(version.responses.size(), 4u);
    for (std::size_t i = 0; i < 3; ++i) {
        EXPECT_EQ(version.responses[i].DA, 6);
        EXPECT_EQ(version.responses[i].DC, 6);
        ASSERT_GE(version.responses[i].data.size(), 2u);
        EXPECT_NE(version.responses[i].data[0], 'z');
    }
    EXPECT_EQ(Text(version.responses[3].data), "z2044701152019");
    // On the cash port the noise carries sequence bytes too, and the reply comes after them.
    const ModuleAnswer sync = AnswerPacket(Packet(5, 6, "S4"), identity, state, 2);
    ASSERT_EQ(sync.responses.size(), 3u);
    EXPECT_EQ(sync.responses[0].data[0], 1);
    EXPECT_NE(sync.responses[0].data[1], 's');
    EXPECT_EQ(sync.responses[1].data[0], 2);
    EXPECT_EQ(sync.responses[2].data, (Bytes{3, 's', '4'}));
    // Acknowledgements, loopback echoes and unanswered requests bring no noise.
    EXPECT_EQ(AnswerPacket(Packet(7, 2), identity, state, 5).responses.size(), 1u);
    EXPECT_EQ(AnswerPacket(Packet(0, 0xA0, "x"), identity, state, 5).responses.size(), 1u);
    EXPECT_TRUE(AnswerPacket(Packet(6, 6, "ZG"), identity, state, 5).responses.empty());
}

TEST(ModuleFaceProtocolTest, CutsTheStreamIntoPacketsOfSixtyBytes) {
    Bytes stream(130);
    for (std::size_t i = 0; i < stream.size(); ++i) {
        stream[i] = static_cast<std::uint8_t>(i);
    }
    const auto packets = CutMonitorStream(stream);
    ASSERT_EQ(packets.size(), 3u);
    EXPECT_EQ(packets[0].data.size(), 60u);
    EXPECT_EQ(packets[1].data.size(), 60u);
    EXPECT_EQ(packets[2].data.size(), 10u);
    EXPECT_EQ(packets[2].data.front(), 120);
    for (const auto& packet : packets) {
        EXPECT_EQ(packet.DA, 7);
        EXPECT_EQ(packet.DC, 6);
        EXPECT_LE(UsbWireBytes(packet).size(), 64u);
    }
    EXPECT_TRUE(CutMonitorStream({}).empty());
}

Bytes Spoiled(FaultPlan& plan, const Bytes& wire, bool& sent, std::uint8_t port = 7,
              bool usb = true) {
    Bytes spoiled = wire;
    sent = plan.Apply(port, usb, spoiled);
    return spoiled;
}

TEST(ModuleFaceProtocolTest, FaultsSpoilTheNextPackets) {
    const Bytes wire = UsbWireBytes(Packet(7, 6, "\xA3\x01"));  // 07 06 02 A3 01 B3
    ASSERT_EQ(wire, (Bytes{0x07, 0x06, 0x02, 0xA3, 0x01, 0xB3}));
    FaultPlan plan;
    bool sent = false;
    const auto fault = [](FaultKind kind, std::uint32_t value = 0, int port = kAnyPort,
                          std::uint32_t count = 1) {
        ModuleFault armed;
        armed.kind = kind;
        armed.value = value;
        armed.port = port;
        armed.count = count;
        return armed;
    };

    plan.Arm(fault(FaultKind::Checksum));
    EXPECT_EQ(Spoiled(plan, wire, sent), (Bytes{0x07, 0x06, 0x02, 0xA3, 0x01, 0xB4}));
    EXPECT_TRUE(sent);
    EXPECT_EQ(Spoiled(plan, wire, sent), wire);  // one packet only
    EXPECT_TRUE(plan.Empty());

    plan.Arm(fault(FaultKind::Address, 5));
    EXPECT_EQ(Spoiled(plan, wire, sent), (Bytes{0x05, 0x06, 0x02, 0xA3, 0x01, 0xB1}));
    plan.Arm(fault(FaultKind::Command, 9));
    EXPECT_EQ(Spoiled(plan, wire, sent), (Bytes{0x07, 0x09, 0x02, 0xA3, 0x01, 0xB6}));
    plan.Arm(fault(FaultKind::Length, 60));
    EXPECT_EQ(Spoiled(plan, wire, sent), (Bytes{0x07, 0x06, 0x3C, 0xA3, 0x01, 0xB3}));
    plan.Arm(fault(FaultKind::Short, 2));
    EXPECT_EQ(Spoiled(plan, wire, sent), (Bytes{0x07, 0x06}));
    plan.Arm(fault(FaultKind::Long, 3));
    EXPECT_EQ(Spoiled(plan, wire, sent), (Bytes{0x07, 0x06, 0x02, 0xA3, 0x01, 0xB3, 0, 0, 0}));
    plan.Arm(fault(FaultKind::NoAnswer));
    Spoiled(plan, wire, sent);
    EXPECT_FALSE(sent);
    EXPECT_TRUE(plan.Empty());

    // A port filter waits for a packet of its port; a count spoils that many.
    plan.Arm(fault(FaultKind::NoAnswer, 0, 6, 2));
    Spoiled(plan, wire, sent, 7);
    EXPECT_TRUE(sent);
    Spoiled(plan, wire, sent, 6);
    EXPECT_FALSE(sent);
    Spoiled(plan, wire, sent, 6);
    EXPECT_FALSE(sent);
    Spoiled(plan, wire, sent, 6);
    EXPECT_TRUE(sent);

    // The board's form has no checksum to spoil.
    const Bytes board = BoardWireBytes(Packet(6, 6, "z5"));
    plan.Arm(fault(FaultKind::Checksum));
    EXPECT_EQ(Spoiled(plan, board, sent, 6, false), board);
}

}  // namespace
}  // namespace lane::sim
