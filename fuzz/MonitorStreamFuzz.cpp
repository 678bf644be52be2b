// Drives ParseMonitorStream with arbitrary bytes cut into arbitrary packets.
#include <cstddef>
#include <cstdint>
#include <memory>

#include "common/FakeClock.h"
#include "monitor/acquisition/MessageTrace.h"
#include "monitor/acquisition/StreamParser.h"
#include "monitor/acquisition/TraceLog.h"

namespace {

using namespace lane;
using namespace lane::monitor;

// Builds every trace text the monitor would, so the text builders see the parser's output.
class TextSink final : public ParserSink {
  public:
    explicit TextSink(CTraceLog& trace) : trace_(trace) {}
    void StampEventTimes(const MonitorMessage&) override {}
    void StampCommunicated(std::time_t) override {}
    void TraceMonitorMessage(const MonitorMessage& message) override {
        trace_.Emit(MessageTraceText(message, ""));
    }
    void TraceUnknown(const std::uint8_t* bytes, std::size_t count) override {
        trace_.TraceUnknown(bytes, count);
    }
    void Post(Device, std::unique_ptr<MonitorMessage> message) override {
        if (message->length < 0 || message->length > kMonitorMessageDataSize) {
            __builtin_trap();
        }
    }

  private:
    CTraceLog& trace_;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FakeClock clock;
    CTraceList list(64);
    CTraceLog trace(clock);
    trace.SetDisplayList(&list);
    MonitorSwitches switches;
    switches.MonitorCoinAcceptor = size % 2 == 0;
    TextSink sink(trace);
    CStreamParser parser(clock, switches, sink);
    // Each packet: one byte giving its length (up to 255), then that many stream bytes.
    std::size_t offset = 0;
    while (offset < size) {
        const std::size_t packet = data[offset++];
        const std::size_t count = packet < size - offset ? packet : size - offset;
        parser.Append(data + offset, count);
        parser.ParseMonitorStream();
        if (parser.StreamCount() > kStreamBufferSize) {
            __builtin_trap();
        }
        offset += count;
    }
    return 0;
}
