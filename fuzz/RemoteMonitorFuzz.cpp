// Drives the reader's driver-mode packet checks and their hand-over to the stream parser with
// arbitrary remote-monitor packets and byte counts. An input holds packets one after another:
// the read's count, a filler for the buffer past the bytes read, then the bytes read.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <memory>

#include "common/FakeClock.h"
#include "monitor/acquisition/DriverPacket.h"
#include "monitor/acquisition/MonitorReader.h"
#include "monitor/acquisition/StreamParser.h"
#include "monitor/acquisition/TraceLog.h"

namespace {

using namespace lane::monitor;

// Counts above the 64-byte buffer stand for a source that misreports.
constexpr std::size_t kCountRange = 70;

void Check(bool condition) {
    if (!condition) {
        __builtin_trap();
    }
}

class DiscardingSink final : public ParserSink {
  public:
    void StampEventTimes(const MonitorMessage&) override {}
    void StampCommunicated(std::time_t) override {}
    void TraceMonitorMessage(const MonitorMessage& message) override {
        Check(message.length >= 0 && message.length <= static_cast<int>(message.data.size()));
    }
    void TraceUnknown(const std::uint8_t*, std::size_t count) override {
        Check(count <= kStreamBufferSize);
    }
    void Post(Device, std::unique_ptr<MonitorMessage>) override {}
};

class SilentMessageBox final : public lane::platform::MessageBoxService {
  public:
    void Show(const std::string&, const std::string&, lane::platform::MessageIcon) override {}
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    lane::FakeClock clock;
    CTraceLog trace(clock);
    MonitorSwitches switches;
    DiscardingSink sink;
    CStreamParser parser(clock, switches, sink);
    SilentMessageBox messageBox;
    CMonitorReader reader(clock, trace, parser, messageBox);
    // Set, so that the pauses after dropped packets end at once.
    lane::ManualResetEvent stopEvent(true);

    std::size_t offset = 0;
    while (offset < size) {
        const std::size_t count = data[offset++] % kCountRange;
        lane::link::UsbWirePacket buffer{};
        if (offset < size) {
            // Bytes past the count must never reach the stream, whatever they hold.
            buffer.fill(data[offset++]);
        }
        const std::size_t taken = std::min({count, buffer.size(), size - offset});
        std::copy_n(data + offset, taken, buffer.begin());
        offset += taken;

        const DriverPacketCheck check = CheckDriverPacket(buffer, count);
        if (check == DriverPacketCheck::PortData) {
            Check(count >= 3 && count <= buffer.size() && buffer[2] <= count - 3);
            Check(buffer[0] == 7 && buffer[1] == 6);
        }
        if (check == DriverPacketCheck::Empty) {
            Check(count == 0);
        }
        const std::size_t before = parser.StreamCount();
        reader.HandleDriverPacket(buffer, count, stopEvent);
        Check(parser.StreamCount() <= kStreamBufferSize);
        if (check != DriverPacketCheck::PortData) {
            Check(parser.StreamCount() == before);  // only port data reaches the stream
        }
    }
    return 0;
}
