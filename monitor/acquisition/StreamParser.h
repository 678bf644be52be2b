// The stream buffer and ParseMonitorStream: cuts the remote-monitor stream into messages.
#pragma once

#include <array>
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>

#include "common/Clock.h"
#include "monitor/acquisition/FrameTable.h"
#include "monitor/acquisition/MonitorMessage.h"
#include "monitor/acquisition/MonitorSwitches.h"

namespace lane::monitor {

// Where the parser's results go, in the order it produces them for one message: the event's
// time stamps, the trace line, the security module's "communicated" stamp, the hand-over.
class ParserSink {
  public:
    virtual ~ParserSink() = default;
    // Sets the statistics time stamps of the message's event, each under its own gate.
    virtual void StampEventTimes(const MonitorMessage& message) = 0;
    // Marks the security module as heard from at `time`.
    virtual void StampCommunicated(std::time_t time) = 0;
    virtual void TraceMonitorMessage(const MonitorMessage& message) = 0;
    virtual void TraceUnknown(const std::uint8_t* bytes, std::size_t count) = 0;
    // Hands a message to a monitored device's decoder, which owns it from now on.
    virtual void Post(Device device, std::unique_ptr<MonitorMessage> message) = 0;
    // The end of a pass of the parser over what was received (after its last message).
    virtual void EndOfParse() {}
    // A cleared message to fill; a sink may hand out messages its decoders are done with.
    virtual std::unique_ptr<MonitorMessage> NewMessage() {
        return std::make_unique<MonitorMessage>();
    }
};

inline constexpr std::size_t kStreamBufferSize = 4106;

class CStreamParser {
  public:
    CStreamParser(Clock& clock, const MonitorSwitches& switches, ParserSink& sink)
        : clock_(clock), switches_(&switches), sink_(sink) {}

    // From the next frame on, `switches` gate the hand-over (settings reloaded while running);
    // they must outlive the parser.
    void UseSwitches(const MonitorSwitches& switches) {
        switches_.store(&switches, std::memory_order_release);
    }

    // Adds received bytes to the stream. Bytes that would pass the buffer's end make what is
    // held unrecognised first: it is traced and dropped, and the new bytes start a fresh stream.
    void Append(const std::uint8_t* bytes, std::size_t count);
    // Consumes every whole frame at the front of the stream.
    void ParseMonitorStream();
    // The source's connection was lost: a frame it left unfinished cannot be completed by the
    // next connection's bytes, so what is held is traced as unrecognised and dropped. Returns
    // the number of bytes dropped.
    std::size_t DiscardUnfinished();

    std::size_t StreamCount() const;

  private:
    enum class Cut { Message, Incomplete, Unrecognised };
    // Cuts the frame at the front of the `count` bytes at `bytes`.
    static Cut CutFrame(const FrameRule& rule, const std::uint8_t* bytes, std::size_t count,
                        MonitorMessage& message, std::size_t& frameSize);
    void Unrecognised();
    void RemoveFront(std::size_t count);
    void HandOver(const FrameRule& rule, std::unique_ptr<MonitorMessage> message);

    Clock& clock_;
    std::atomic<const MonitorSwitches*> switches_;
    ParserSink& sink_;
    mutable std::mutex streamLock_;
    std::array<std::uint8_t, kStreamBufferSize> streamBuffer_{};
    std::size_t streamCount_ = 0;
};

}  // namespace lane::monitor
