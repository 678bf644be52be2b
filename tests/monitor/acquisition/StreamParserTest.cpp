// ParseMonitorStream: frame shapes, sub-code checks, unrecognised data, hand-over and resync.
#include "monitor/acquisition/StreamParser.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "common/FakeClock.h"
#include "common/HexText.h"

namespace lane::monitor {
namespace {

struct Posted {
    Device device;
    MonitorMessage message;
};

// Records what the parser produces, in order, as readable events.
class RecordingSink final : public ParserSink {
public:
    void StampEventTimes(const MonitorMessage& message) override {
        events.push_back("stamp " + Hex(message));
    }
    void StampCommunicated(std::time_t) override { events.push_back("communicated"); }
    void TraceMonitorMessage(const MonitorMessage& message) override {
        events.push_back("trace " + Hex(message));
    }
    void TraceUnknown(const std::uint8_t* bytes, std::size_t count) override {
        std::string hex;
        AppendHexBytes(hex, bytes, count, 100000);
        events.push_back("unknown " + hex);
        unknownCount++;
    }
    void Post(Device device, std::unique_ptr<MonitorMessage> message) override {
        events.push_back("post " + std::to_string(static_cast<int>(device)));
        posted.push_back(Posted{device, *message});
    }

    static std::string Hex(const MonitorMessage& message) {
        std::string hex;
        AppendHexBytes(hex, &message.code, 1, 100000);
        AppendHexBytes(hex, &message.subCode, 1, 100000);
        AppendHexBytes(hex, message.data.data(), static_cast<std::size_t>(message.length), 100000);
        return hex;
    }
    std::vector<std::string> Traced() const {
        std::vector<std::string> traced;
        for (const auto& event : events) {
            if (event.rfind("trace ", 0) == 0) {
                traced.push_back(event.substr(6));
            }
        }
        return traced;
    }

    std::vector<std::string> events;
    std::vector<Posted> posted;
    int unknownCount = 0;
};

class StreamParserTest : public ::testing::Test {
protected:
    void Feed(std::vector<std::uint8_t> bytes) {
        parser.Append(bytes.data(), bytes.size());
        parser.ParseMonitorStream();
    }

    FakeClock clock{WallTime{1700000000, 250}};
    MonitorSwitches switches;
    RecordingSink sink;
    CStreamParser parser{clock, switches, sink};
};

TEST_F(StreamParserTest, TwoMessagesInOnePacketEachWithStampTraceAndHandOver) {
    Feed({0xA3, 0x01, 0xA2, 0x02});
    const std::vector<std::string> expected = {
        "stamp A3 01 ", "trace A3 01 ", "communicated", "post 4",
        "stamp A2 02 ", "trace A2 02 ", "communicated", "post 4",
    };
    EXPECT_EQ(sink.events, expected);
    ASSERT_EQ(sink.posted.size(), 2u);
    EXPECT_EQ(sink.posted[0].message.time, 1700000000);
    EXPECT_EQ(sink.posted[0].message.milliseconds, 250u);
    EXPECT_EQ(parser.StreamCount(), 0u);
}

TEST_F(StreamParserTest, LengthFrameSplitAcrossPacketsIsCutAfterTheSecond) {
    Feed({0xA8, 0x01, 0x03, 0xAA});
    EXPECT_TRUE(sink.events.empty());
    EXPECT_EQ(parser.StreamCount(), 4u);
    Feed({0xBB, 0xCC});
    ASSERT_EQ(sink.posted.size(), 1u);
    const MonitorMessage& message = sink.posted[0].message;
    EXPECT_EQ(sink.posted[0].device, Device::CoinAcceptor);
    EXPECT_EQ(message.subCode, 1);
    EXPECT_EQ(message.length, 3);
    EXPECT_EQ(message.data[0], 0xAA);
    EXPECT_EQ(message.data[2], 0xCC);
    EXPECT_EQ(message.data[3], 0x00);
}

TEST_F(StreamParserTest, UnknownCodeMakesTheWholeBufferUnrecognisedOnce) {
    Feed({0x50, 0xA3, 0x01, 0xA2});
    EXPECT_EQ(sink.events, std::vector<std::string>{"unknown 50 A3 01 A2 "});
    EXPECT_EQ(parser.StreamCount(), 0u);
}

TEST_F(StreamParserTest, UnlistedSubCodeConsumesTheFrameAndShowsOnlyWhatFollows) {
    Feed({0xA2, 0x07, 0xA3, 0x01});
    EXPECT_EQ(sink.events, std::vector<std::string>{"unknown A3 01 "});
    EXPECT_TRUE(sink.posted.empty());
}

TEST_F(StreamParserTest, ConveyorUnlistedSubCodeShowsItsOwnBytes) {
    Feed({0xA5, 0x0C, 0x01});
    EXPECT_EQ(sink.events, std::vector<std::string>{"unknown A5 0C 01 "});
}

TEST_F(StreamParserTest, BillAcceptorMessageIsCopiedToTheCoinAcceptor) {
    Feed({0xA9, 0x04, 0x03, 0x11, 0x22, 0x33});
    ASSERT_EQ(sink.posted.size(), 2u);
    EXPECT_EQ(sink.posted[0].device, Device::BillAcceptor);
    EXPECT_EQ(sink.posted[1].device, Device::CoinAcceptor);
    EXPECT_EQ(RecordingSink::Hex(sink.posted[0].message), "A9 04 11 22 33 ");
    EXPECT_EQ(RecordingSink::Hex(sink.posted[1].message), "A9 04 11 22 33 ");
    EXPECT_EQ(sink.Traced().size(), 1u);
}

TEST_F(StreamParserTest, CopyFollowsTheCoinAcceptorSwitchAndTheOriginalTheBillAcceptorSwitch) {
    switches.MonitorBillAcceptor = false;
    Feed({0xA9, 0x04, 0x01, 0x11});
    ASSERT_EQ(sink.posted.size(), 1u);
    EXPECT_EQ(sink.posted[0].device, Device::CoinAcceptor);
    switches.MonitorBillAcceptor = true;
    switches.MonitorCoinAcceptor = false;
    Feed({0xA9, 0x04, 0x01, 0x11});
    ASSERT_EQ(sink.posted.size(), 2u);
    EXPECT_EQ(sink.posted[1].device, Device::BillAcceptor);
}

TEST_F(StreamParserTest, NotTracedFramesStillReachTheirDecoder) {
    Feed({0xAB, 0x05, 0xAE, 0x02, 0xB1, 0x07});
    EXPECT_TRUE(sink.Traced().empty());
    ASSERT_EQ(sink.posted.size(), 3u);
    for (const Posted& posted : sink.posted) {
        EXPECT_EQ(posted.device, Device::BillDispenser);
    }
}

TEST_F(StreamParserTest, FixedAndNestedFrameShapes) {
    Feed({0xA9, 0x08, 0x12, 0x34,                         // four bytes
          0xAB, 0x03, 0x56,                               // three bytes
          0xB1, 0x0B, 0x01, 0x02,                         // four bytes
          0xA9, 0x06, 0x01, 0x02, 0x02, 0xAA, 0xBB,       // nested, m = 2
          0xAA, 0x03, 0x09, 0x08, 0x00, 0xFF});           // nested, m = 0 (needs six bytes)
    const std::vector<std::string> expected = {
        "A9 08 12 34 ", "AB 03 56 ", "B1 0B 01 02 ", "A9 06 01 02 02 AA BB ", "AA 03 09 08 00 ",
    };
    EXPECT_EQ(sink.Traced(), expected);
    EXPECT_EQ(parser.StreamCount(), 1u);  // FF waits for a second byte
}

TEST_F(StreamParserTest, SecurityModuleStatusFramesChooseTheirShapeBySubCode) {
    Feed({0xA1, 0x03, 0xA1, 0x02, 0x02, 0x04, 0x47, 0xA1, 0x04});
    const std::vector<std::string> expected = {"A1 03 ", "A1 02 04 47 ", "A1 04 "};
    EXPECT_EQ(sink.Traced(), expected);
}

TEST_F(StreamParserTest, SwitchedOffDevicesGetNoMessageAndNoCommunicatedStamp) {
    switches.MonitorSecurityModule = false;
    Feed({0xA2, 0x01, 0xAF, 0x05});
    EXPECT_TRUE(sink.posted.empty());
    EXPECT_EQ(sink.Traced().size(), 2u);
    for (const auto& event : sink.events) {
        EXPECT_NE(event, "communicated");
    }
}

TEST_F(StreamParserTest, ConveyorMessagesMarkTheModuleAsHeardFrom) {
    switches.MonitorConveyor = false;
    Feed({0xA5, 0x01});
    const std::vector<std::string> expected = {"stamp A5 01 ", "trace A5 01 ", "communicated"};
    EXPECT_EQ(sink.events, expected);
}

TEST_F(StreamParserTest, NegativeLengthBytesAreUnrecognisedNotCopied) {
    Feed({0xA8, 0x01, 0x80, 0x01, 0x02});
    EXPECT_EQ(sink.events, std::vector<std::string>{"unknown A8 01 80 01 02 "});
    Feed({0xA9, 0x03, 0x01, 0x02, 0xFF, 0x00});
    EXPECT_EQ(sink.unknownCount, 2);
    EXPECT_EQ(parser.StreamCount(), 0u);
}

TEST_F(StreamParserTest, NestedFrameWhoseDataWouldPass128BytesIsUnrecognised) {
    std::vector<std::uint8_t> frame = {0xA9, 0x07, 0x01, 0x02, 126};
    frame.resize(5 + 126, 0x55);
    Feed(frame);
    EXPECT_EQ(sink.unknownCount, 1);
    EXPECT_TRUE(sink.posted.empty());
    std::vector<std::uint8_t> largest = {0xA9, 0x07, 0x01, 0x02, 125};
    largest.resize(5 + 125, 0x66);
    Feed(largest);
    ASSERT_EQ(sink.posted.size(), 1u);
    EXPECT_EQ(sink.posted[0].message.length, 128);
}

TEST_F(StreamParserTest, LongestLengthFrameFitsTheMessage) {
    std::vector<std::uint8_t> frame = {0xB2, 0x01, 127};
    frame.resize(3 + 127, 0x41);
    Feed(frame);
    ASSERT_EQ(sink.posted.size(), 1u);
    EXPECT_EQ(sink.posted[0].message.length, 127);
}

TEST_F(StreamParserTest, BytesThatWouldOverflowTheBufferDropWhatIsHeldFirst) {
    std::vector<std::uint8_t> partial = {0xA8, 0x01, 0x7F};  // waits for 127 bytes
    Feed(partial);
    std::vector<std::uint8_t> more(100, 0x01);
    for (int i = 0; i < 39; ++i) {
        parser.Append(more.data(), more.size());
    }
    EXPECT_EQ(sink.unknownCount, 0);
    EXPECT_EQ(parser.StreamCount(), 3903u);
    parser.Append(more.data(), more.size());
    parser.Append(more.data(), more.size());
    parser.Append(more.data(), more.size());
    EXPECT_EQ(sink.unknownCount, 1);
    EXPECT_LE(parser.StreamCount(), kStreamBufferSize);
}

// Every split of a mixed stream into two packets gives the same messages as one packet.
TEST(StreamParserSplits, EverySplitPointYieldsTheSameMessages) {
    const std::vector<std::uint8_t> stream = {0xA3, 0x01, 0xA8, 0x01, 0x02, 0x10, 0x20, 0xA9, 0x06,
                                              0x01, 0x02, 0x01, 0x33, 0xAB, 0x03, 0x44, 0xB2, 0x02,
                                              0x02, 0x41, 0x42, 0xA6, 0x07};
    FakeClock clock;
    MonitorSwitches switches;
    RecordingSink whole;
    {
        CStreamParser parser(clock, switches, whole);
        parser.Append(stream.data(), stream.size());
        parser.ParseMonitorStream();
    }
    ASSERT_EQ(whole.Traced().size(), 6u);
    for (std::size_t split = 1; split < stream.size(); ++split) {
        RecordingSink sink;
        CStreamParser parser(clock, switches, sink);
        parser.Append(stream.data(), split);
        parser.ParseMonitorStream();
        parser.Append(stream.data() + split, stream.size() - split);
        parser.ParseMonitorStream();
        EXPECT_EQ(sink.Traced(), whole.Traced()) << "split at " << split;
        EXPECT_EQ(parser.StreamCount(), 0u);
    }
}

// A damaged byte anywhere never breaks the parser: the next clean packet parses again.
TEST(StreamParserSplits, ResynchronisesAfterADamagedByteAtEveryOffset) {
    const std::vector<std::uint8_t> stream = {0xA3, 0x01, 0xA8, 0x01, 0x02, 0x10,
                                              0x20, 0xA9, 0x08, 0x01, 0x02, 0xA6, 0x07};
    FakeClock clock;
    MonitorSwitches switches;
    for (std::size_t offset = 0; offset < stream.size(); ++offset) {
        for (const std::uint8_t damage : {std::uint8_t{0x00}, std::uint8_t{0x7F}, std::uint8_t{0xFF}}) {
            RecordingSink sink;
            CStreamParser parser(clock, switches, sink);
            std::vector<std::uint8_t> damaged = stream;
            damaged[offset] = damage;
            parser.Append(damaged.data(), damaged.size());
            parser.ParseMonitorStream();
            // Whatever is left waiting is at most one incomplete frame (a damaged length byte
            // claims up to 130 bytes); zero bytes fill it and are then unrecognised.
            const std::vector<std::uint8_t> zeros(140, 0x00);
            parser.Append(zeros.data(), zeros.size());
            parser.ParseMonitorStream();
            EXPECT_EQ(parser.StreamCount(), 0u);
            sink.events.clear();
            const std::uint8_t clean[] = {0xA3, 0x02};
            parser.Append(clean, 2);
            parser.ParseMonitorStream();
            EXPECT_EQ(sink.Traced(), std::vector<std::string>{"A3 02 "}) << "offset " << offset;
        }
    }
}

}  // namespace
}  // namespace lane::monitor
