// The reader's driver mode: the checks of each remote-monitor packet with their exact trace
// lines, the hand-over of port data to the parser, the pauses by the clock, and the end of the
// reader when the driver is found closed or the stop event is set.
#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <deque>
#include <future>
#include <mutex>
#include <string>
#include <vector>

#include "common/FakeClock.h"
#include "common/HexText.h"
#include "monitor/acquisition/DriverLink.h"
#include "monitor/acquisition/DriverPacket.h"
#include "monitor/acquisition/MonitorReader.h"

namespace lane::monitor {
namespace {

using Bytes = std::vector<std::uint8_t>;

constexpr int kRealTimeoutMs = 5000;

class SilentMessageBox final : public platform::MessageBoxService {
  public:
    void Show(const std::string&, const std::string&, platform::MessageIcon) override {}
};

// Keeps what the parser hands out: the frames it traced, as hex.
class FrameSink final : public ParserSink {
  public:
    void StampEventTimes(const MonitorMessage&) override {}
    void StampCommunicated(std::time_t) override {}
    void TraceMonitorMessage(const MonitorMessage& message) override {
        std::string hex;
        AppendHexBytes(hex, &message.code, 1, 1000);
        AppendHexBytes(hex, &message.subCode, 1, 1000);
        AppendHexBytes(hex, message.data.data(), static_cast<std::size_t>(message.length), 1000);
        std::lock_guard<std::mutex> lock(mutex);
        frames.push_back(hex);
    }
    void TraceUnknown(const std::uint8_t*, std::size_t) override {
        std::lock_guard<std::mutex> lock(mutex);
        frames.push_back("unknown");
    }
    void Post(Device, std::unique_ptr<MonitorMessage>) override {}
    std::vector<std::string> Frames() {
        std::lock_guard<std::mutex> lock(mutex);
        return frames;
    }
    std::mutex mutex;
    std::vector<std::string> frames;
};

// Plays the link for the reader: each read takes the next answer the test gave, and waits for
// one (as a pending read waits for the module) while there is none.
class FakeSource final : public RemoteMonitorSource {
  public:
    struct Read {
        int code = 0;
        Bytes bytes;
        std::size_t count = 0;
    };
    explicit FakeSource(CTraceLog& trace) : trace_(trace) {}

    bool DriverInitialized() override {
        std::lock_guard<std::mutex> lock(mutex_);
        if (!initialized_) {
            trace_.TraceText("USB Driver Not Initialized");
        }
        return initialized_;
    }
    int RemoteMonitorPortRead(link::UsbWirePacket& buffer, std::size_t& count) override {
        std::unique_lock<std::mutex> lock(mutex_);
        ++readsBegun_;
        changed_.notify_all();
        changed_.wait(lock, [this] { return !reads_.empty(); });
        const Read read = reads_.front();
        reads_.pop_front();
        std::copy(read.bytes.begin(), read.bytes.end(), buffer.begin());
        count = read.count;
        return read.code;
    }

    void Give(Bytes bytes, int code = 0) {
        const std::size_t count = bytes.size();
        Give(Read{code, std::move(bytes), count});
    }
    void Give(const Read& read) {
        std::lock_guard<std::mutex> lock(mutex_);
        reads_.push_back(read);
        changed_.notify_all();
    }
    void SetInitialized(bool initialized) {
        std::lock_guard<std::mutex> lock(mutex_);
        initialized_ = initialized;
    }
    // Waits (real time, bounded) until `count` reads have begun.
    bool AwaitReads(int count) {
        std::unique_lock<std::mutex> lock(mutex_);
        return changed_.wait_for(lock, std::chrono::milliseconds(kRealTimeoutMs),
                                 [&] { return readsBegun_ >= count; });
    }

  private:
    CTraceLog& trace_;
    std::mutex mutex_;
    std::condition_variable changed_;
    std::deque<Read> reads_;
    bool initialized_ = true;
    int readsBegun_ = 0;
};

link::UsbWirePacket Packet(const Bytes& bytes) {
    link::UsbWirePacket packet{};
    std::copy(bytes.begin(),
              bytes.begin() + static_cast<long>(std::min<std::size_t>(bytes.size(), 64)),
              packet.begin());
    return packet;
}

class DriverReaderTest : public ::testing::Test {
  protected:
    DriverReaderTest() { trace.SetDisplayList(&list); }
    ~DriverReaderTest() override {
        stopEvent.Set();
        source.Give(Bytes{});  // ends a read that is still waiting
        reader.Join();
    }

    std::vector<std::string> Lines() const {
        std::vector<std::string> lines;
        for (const auto& item : list.Snapshot()) {
            lines.push_back(item.message);
        }
        return lines;
    }
    // One packet through the checks, with the stop event set so that no pause waits.
    std::vector<std::string> Handle(const Bytes& bytes, std::size_t count) {
        ManualResetEvent stopped(true);
        reader.HandleDriverPacket(Packet(bytes), count, stopped);
        return Lines();
    }
    std::vector<std::string> Handle(const Bytes& bytes) { return Handle(bytes, bytes.size()); }

    // Lets the reader's next pause begin and gives its length.
    std::int64_t NextPauseMs() {
        if (!clock.AwaitWaitAfter(waitsSeen, kRealTimeoutMs)) {
            return -1;
        }
        waitsSeen = clock.WaitsBegun();
        return clock.EarliestDeadlineMs() - clock.TickMs();
    }
    // Joins the reader, bounded in real time; false when it did not end.
    bool Ended() {
        auto joined = std::async(std::launch::async, [this] { reader.Join(); });
        if (joined.wait_for(std::chrono::milliseconds(kRealTimeoutMs)) ==
            std::future_status::ready) {
            return true;
        }
        stopEvent.Set();
        source.Give(Bytes{});
        return false;
    }

    FakeClock clock{WallTime{1700000000, 0}};
    CTraceList list;
    CTraceLog trace{clock};
    MonitorSwitches switches;
    FrameSink sink;
    CStreamParser parser{clock, switches, sink};
    SilentMessageBox messageBox;
    CMonitorReader reader{clock, trace, parser, messageBox};
    FakeSource source{trace};
    ManualResetEvent stopEvent;
    std::uint64_t waitsSeen = 0;
};

TEST_F(DriverReaderTest, AnOpenAcknowledgementGivesOneLineAndNothingForTheParser) {
    EXPECT_EQ(Handle({0x07, 0x02, 0x00}),
              (std::vector<std::string>{"Remote Monitor Port (0x7) Opened"}));
    EXPECT_EQ(parser.StreamCount(), 0u);
    EXPECT_TRUE(sink.Frames().empty());
}

TEST_F(DriverReaderTest, ACloseAcknowledgementGivesItsLine) {
    EXPECT_EQ(Handle({0x07, 0x03, 0x00, 0x0A}),
              (std::vector<std::string>{"Remote Monitor Port (0x7) Closed"}));
    EXPECT_EQ(parser.StreamCount(), 0u);
}

TEST_F(DriverReaderTest, ATwoBytePacketHasABadSizeWithTheLetterLAfterEachNumber) {
    EXPECT_EQ(Handle({0x07, 0x02}),
              (std::vector<std::string>{
                  "Bad Packet Size Received from Security Module, Size = 2l - ( 64l requested )"}));
    EXPECT_EQ(Handle({0x07, 0x06, 0x00}, 65).back(),
              "Bad Packet Size Received from Security Module, Size = 65l - ( 64l requested )");
    EXPECT_EQ(parser.StreamCount(), 0u);
}

TEST_F(DriverReaderTest, AnotherPortIsAnInvalidAddress) {
    EXPECT_EQ(Handle({0x05, 0x06, 0x02, 0xA3, 0x01, 0xB1}),
              (std::vector<std::string>{"ERROR: Invalid Device Address Data Received From "
                                        "Security Module( DA:5, DC:6, DL:2 )"}));
    EXPECT_EQ(parser.StreamCount(), 0u);
}

TEST_F(DriverReaderTest, AnotherCommandIsAnInvalidCommand) {
    EXPECT_EQ(Handle({0x07, 0x09, 0x02, 0xA6, 0x01, 0xB9}),
              (std::vector<std::string>{"ERROR: Invalid Device Command Data Received From "
                                        "Security Module( DA:7, DC:9, DL:2 )"}));
    EXPECT_EQ(parser.StreamCount(), 0u);
}

TEST_F(DriverReaderTest, PortDataIsAppendedAndParsed) {
    EXPECT_EQ(
        Handle({0x07, 0x06, 0x04, 0xA3, 0x01, 0xA2, 0x02, 0x59}),
        (std::vector<std::string>{"USB Data Packet Received...Length = 4",
                                  "4 bytes rec'd from SecMod", "(A3 01 A2 02 ) -- Raw Input --"}));
    EXPECT_EQ(sink.Frames(), (std::vector<std::string>{"A3 01 ", "A2 02 "}));
    // The checksum is not looked at; a frame split over two packets is joined.
    Handle({0x07, 0x06, 0x04, 0xA8, 0x01, 0x03, 0xAA, 0x00});
    EXPECT_EQ(parser.StreamCount(), 4u);
    Handle({0x07, 0x06, 0x02, 0xBB, 0xCC, 0x00});
    EXPECT_EQ(sink.Frames().back(), "A8 01 AA BB CC ");
    EXPECT_EQ(parser.StreamCount(), 0u);
}

TEST_F(DriverReaderTest, ALengthPastTheBytesReadIsDroppedWithoutTakingAnyOfThem) {
    // DL 60 in a 6-byte read; the buffer holds more bytes past the count, which must stay out.
    Bytes packet{0x07, 0x06, 0x3C, 0xA3, 0x01, 0xB3};
    packet.resize(64, 0xA2);
    EXPECT_EQ(Handle(packet, 6),
              (std::vector<std::string>{"Bad Packet Length / Size Received from Security Module, "
                                        "Size = 6, ( DA:7, DC:6, DL:60 )"}));
    EXPECT_EQ(parser.StreamCount(), 0u);
    EXPECT_TRUE(sink.Frames().empty());
    // DL up to the bytes read less three is taken: here it swallows the checksum byte.
    Handle({0x07, 0x06, 0x03, 0xA3, 0x01, 0xB4});
    EXPECT_EQ(Lines().back(), "(A3 01 B4 ) -- Raw Input --");
    EXPECT_EQ(parser.StreamCount(), 1u);
}

TEST_F(DriverReaderTest, TheChecksOfEveryShape) {
    EXPECT_EQ(CheckDriverPacket(Packet({}), 0), DriverPacketCheck::Empty);
    EXPECT_EQ(CheckDriverPacket(Packet({0x07, 0x02}), 2), DriverPacketCheck::BadSize);
    EXPECT_EQ(CheckDriverPacket(Packet({0x07, 0x02, 0x00}), 65), DriverPacketCheck::BadSize);
    EXPECT_EQ(CheckDriverPacket(Packet({0x07, 0x06, 0x00}), 3), DriverPacketCheck::PortData);
    EXPECT_EQ(CheckDriverPacket(Packet({0x07, 0x06, 0x01}), 3), DriverPacketCheck::LengthOverrun);
    EXPECT_EQ(CheckDriverPacket(Packet({0x07, 0x06, 0x3D}), 64), DriverPacketCheck::PortData);
    EXPECT_EQ(CheckDriverPacket(Packet({0x07, 0x06, 0x3E}), 64), DriverPacketCheck::LengthOverrun);
    EXPECT_EQ(CheckDriverPacket(Packet({0x00, 0x02, 0x00}), 3), DriverPacketCheck::InvalidAddress);
    EXPECT_EQ(CheckDriverPacket(Packet({0x07, 0x01, 0x00}), 3), DriverPacketCheck::InvalidCommand);
}

TEST_F(DriverReaderTest, EveryPauseGoesThroughTheClock) {
    source.Give({0x07, 0x02});
    reader.StartDriver(source, stopEvent);
    EXPECT_EQ(NextPauseMs(), 250);  // bad size
    source.Give({0x05, 0x06, 0x00, 0x0B});
    clock.AdvanceMs(250);
    EXPECT_EQ(NextPauseMs(), 1000);  // invalid address
    source.Give({0x07, 0x09, 0x00, 0x10});
    clock.AdvanceMs(1000);
    EXPECT_EQ(NextPauseMs(), 1000);  // invalid command
    source.Give(Bytes{});
    clock.AdvanceMs(1000);
    EXPECT_EQ(NextPauseMs(), 1000);  // nothing read
    source.Give(FakeSource::Read{0x7B, {}, 0});
    source.Give({0x07, 0x02, 0x00, 0x09});
    clock.AdvanceMs(1000);
    ASSERT_TRUE(source.AwaitReads(7));  // the error and the acknowledgement did not pause
    EXPECT_EQ(Lines(),
              (std::vector<std::string>{
                  "Bad Packet Size Received from Security Module, Size = 2l - ( 64l requested )",
                  "ERROR: Invalid Device Address Data Received From Security Module( DA:5, "
                  "DC:6, DL:0 )",
                  "ERROR: Invalid Device Command Data Received From Security Module( DA:7, "
                  "DC:9, DL:0 )",
                  "Error Reading from Security Module: readRC = 0x7b",
                  "Remote Monitor Port (0x7) Opened"}));
}

TEST_F(DriverReaderTest, TheReaderEndsWhenTheDriverIsFoundClosed) {
    reader.StartDriver(source, stopEvent);
    ASSERT_TRUE(source.AwaitReads(1));
    // The link shut-down: the pending read ends empty and the driver is closed.
    source.SetInitialized(false);
    source.Give(Bytes{});
    EXPECT_EQ(NextPauseMs(), 1000);
    clock.AdvanceMs(1000);
    EXPECT_EQ(NextPauseMs(), 500);
    clock.AdvanceMs(500);
    EXPECT_TRUE(Ended());
    EXPECT_EQ(Lines(), (std::vector<std::string>{"USB Driver Not Initialized"}));
}

TEST_F(DriverReaderTest, TheStopEventEndsAPauseEarly) {
    source.Give({0x07, 0x09, 0x00, 0x10});
    reader.StartDriver(source, stopEvent);
    EXPECT_EQ(NextPauseMs(), 1000);
    stopEvent.Set();
    EXPECT_TRUE(Ended());
    EXPECT_EQ(clock.TickMs(), 0);
}

}  // namespace
}  // namespace lane::monitor
