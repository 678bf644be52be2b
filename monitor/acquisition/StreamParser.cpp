// The stream buffer and ParseMonitorStream: cuts the remote-monitor stream into messages.
#include "monitor/acquisition/StreamParser.h"

#include <algorithm>
#include <cstring>
#include <optional>
#include <utility>

namespace lane::monitor {

namespace {

constexpr std::size_t kLengthFrameHeader = 3;   // code, sub-code, n
constexpr std::size_t kNestedFrameHeader = 5;   // code, sub-code, two bytes, m
constexpr std::size_t kNestedFrameMinimum = 6;  // bytes present before m is read

}  // namespace

void CStreamParser::Append(const std::uint8_t* bytes, std::size_t count) {
    std::lock_guard<std::mutex> lock(streamLock_);
    if (count > kStreamBufferSize) {
        // Only the newest bytes can still start a frame.
        sink_.TraceUnknown(bytes, count - kStreamBufferSize);
        bytes += count - kStreamBufferSize;
        count = kStreamBufferSize;
    }
    if (streamCount_ + count > kStreamBufferSize) {
        Unrecognised();
    }
    std::memcpy(streamBuffer_.data() + streamCount_, bytes, count);
    streamCount_ += count;
}

std::size_t CStreamParser::StreamCount() const {
    std::lock_guard<std::mutex> lock(streamLock_);
    return streamCount_;
}

void CStreamParser::ParseMonitorStream() {
    std::lock_guard<std::mutex> lock(streamLock_);
    // Frames are cut from `front` on and the buffer is moved up once, at the end of the pass (or
    // before bad bytes are traced, which are always the whole rest of the buffer).
    std::size_t front = 0;
    // Every frame of one pass came in with the same read: one clock reading serves them all.
    std::optional<WallTime> received;
    while (streamCount_ - front >= 2) {
        const std::uint8_t* const bytes = streamBuffer_.data() + front;
        const std::size_t count = streamCount_ - front;
        const std::uint8_t code = bytes[0];
        const std::uint8_t subCode = bytes[1];
        if (!IsMonitorCode(code)) {
            RemoveFront(std::exchange(front, 0));
            Unrecognised();
            break;
        }
        const FrameRule rule = RuleFor(code, subCode);
        if (!rule.subCodeAllowed && rule.rejectBeforeRemoval) {
            RemoveFront(std::exchange(front, 0));
            Unrecognised();
            break;
        }
        auto message = sink_.NewMessage();
        std::size_t frameSize = 0;
        const Cut cut = CutFrame(rule, bytes, count, *message, frameSize);
        if (cut == Cut::Incomplete) {
            break;
        }
        if (cut == Cut::Unrecognised) {
            RemoveFront(std::exchange(front, 0));
            Unrecognised();
            break;
        }
        if (!received) {
            received = clock_.Now();
        }
        message->time = received->seconds;
        message->milliseconds = received->milliseconds;
        front += frameSize;
        if (!rule.subCodeAllowed) {
            RemoveFront(std::exchange(front, 0));
            Unrecognised();
            break;
        }
        sink_.StampEventTimes(*message);
        if (rule.traced) {
            sink_.TraceMonitorMessage(*message);
        }
        HandOver(rule, std::move(message));
    }
    RemoveFront(front);
    sink_.EndOfParse();
}

std::size_t CStreamParser::DiscardUnfinished() {
    std::lock_guard<std::mutex> lock(streamLock_);
    const std::size_t dropped = streamCount_;
    if (dropped > 0) {
        Unrecognised();
    }
    return dropped;
}

CStreamParser::Cut CStreamParser::CutFrame(const FrameRule& rule, const std::uint8_t* bytes,
                                           std::size_t count, MonitorMessage& message,
                                           std::size_t& frameSize) {
    message.code = bytes[0];
    message.subCode = bytes[1];
    std::size_t dataOffset = 2;
    std::size_t dataLength = 0;
    switch (rule.shape) {
        case FrameShape::TwoByte:
            frameSize = 2;
            break;
        case FrameShape::ThreeByte:
            frameSize = 3;
            dataLength = 1;
            break;
        case FrameShape::FourByte:
            frameSize = 4;
            dataLength = 2;
            break;
        case FrameShape::Length: {
            if (count < kLengthFrameHeader) {
                return Cut::Incomplete;
            }
            const auto n = static_cast<std::int8_t>(bytes[2]);
            if (n < 0) {
                return Cut::Unrecognised;
            }
            dataOffset = kLengthFrameHeader;
            dataLength = static_cast<std::size_t>(n);
            frameSize = kLengthFrameHeader + dataLength;
            break;
        }
        case FrameShape::NestedLength: {
            if (count < kNestedFrameMinimum) {
                return Cut::Incomplete;
            }
            const auto m = static_cast<std::int8_t>(bytes[4]);
            if (m < 0 || static_cast<std::size_t>(m) + 3 > kMonitorMessageDataSize) {
                return Cut::Unrecognised;
            }
            dataLength = static_cast<std::size_t>(m) + 3;
            frameSize = kNestedFrameHeader + static_cast<std::size_t>(m);
            break;
        }
    }
    if (count < frameSize) {
        return Cut::Incomplete;
    }
    std::memcpy(message.data.data(), bytes + dataOffset, dataLength);
    message.length = static_cast<std::int32_t>(dataLength);
    return Cut::Message;
}

void CStreamParser::Unrecognised() {
    sink_.TraceUnknown(streamBuffer_.data(), streamCount_);
    streamCount_ = 0;
}

void CStreamParser::RemoveFront(std::size_t count) {
    if (count == 0) {
        return;
    }
    std::memmove(streamBuffer_.data(), streamBuffer_.data() + count, streamCount_ - count);
    streamCount_ -= count;
}

void CStreamParser::HandOver(const FrameRule& rule, std::unique_ptr<MonitorMessage> message) {
    const MonitorSwitches& switches = *switches_.load(std::memory_order_acquire);
    if (rule.communicated && switches.MonitorSecurityModule) {
        sink_.StampCommunicated(message->time);
    }
    std::unique_ptr<MonitorMessage> coinCopy;
    if (rule.copyToCoinAcceptor && switches.MonitorCoinAcceptor) {
        coinCopy = sink_.NewMessage();
        *coinCopy = *message;
    }
    if (switches.For(rule.destination)) {
        sink_.Post(rule.destination, std::move(message));
    }
    if (coinCopy) {
        sink_.Post(Device::CoinAcceptor, std::move(coinCopy));
    }
}

}  // namespace lane::monitor
