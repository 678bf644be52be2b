// The stream buffer and ParseMonitorStream: cuts the remote-monitor stream into messages.
#include "monitor/acquisition/StreamParser.h"

#include <algorithm>
#include <cstring>

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
    while (streamCount_ >= 2) {
        const std::uint8_t code = streamBuffer_[0];
        const std::uint8_t subCode = streamBuffer_[1];
        if (!IsMonitorCode(code)) {
            Unrecognised();
            break;
        }
        const FrameRule rule = RuleFor(code, subCode);
        if (!rule.subCodeAllowed && rule.rejectBeforeRemoval) {
            Unrecognised();
            break;
        }
        auto message = sink_.NewMessage();
        std::size_t frameSize = 0;
        const Cut cut = CutFrame(rule, *message, frameSize);
        if (cut == Cut::Incomplete) {
            break;
        }
        if (cut == Cut::Unrecognised) {
            Unrecognised();
            break;
        }
        const WallTime now = clock_.Now();
        message->time = now.seconds;
        message->milliseconds = now.milliseconds;
        RemoveFront(frameSize);
        if (!rule.subCodeAllowed) {
            Unrecognised();
            break;
        }
        sink_.StampEventTimes(*message);
        if (rule.traced) {
            sink_.TraceMonitorMessage(*message);
        }
        HandOver(rule, std::move(message));
    }
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

CStreamParser::Cut CStreamParser::CutFrame(const FrameRule& rule, MonitorMessage& message,
                                           std::size_t& frameSize) const {
    message.code = streamBuffer_[0];
    message.subCode = streamBuffer_[1];
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
            if (streamCount_ < kLengthFrameHeader) {
                return Cut::Incomplete;
            }
            const auto n = static_cast<std::int8_t>(streamBuffer_[2]);
            if (n < 0) {
                return Cut::Unrecognised;
            }
            dataOffset = kLengthFrameHeader;
            dataLength = static_cast<std::size_t>(n);
            frameSize = kLengthFrameHeader + dataLength;
            break;
        }
        case FrameShape::NestedLength: {
            if (streamCount_ < kNestedFrameMinimum) {
                return Cut::Incomplete;
            }
            const auto m = static_cast<std::int8_t>(streamBuffer_[4]);
            if (m < 0 || static_cast<std::size_t>(m) + 3 > kMonitorMessageDataSize) {
                return Cut::Unrecognised;
            }
            dataLength = static_cast<std::size_t>(m) + 3;
            frameSize = kNestedFrameHeader + static_cast<std::size_t>(m);
            break;
        }
    }
    if (streamCount_ < frameSize) {
        return Cut::Incomplete;
    }
    std::memcpy(message.data.data(), streamBuffer_.data() + dataOffset, dataLength);
    message.length = static_cast<std::int32_t>(dataLength);
    return Cut::Message;
}

void CStreamParser::Unrecognised() {
    sink_.TraceUnknown(streamBuffer_.data(), streamCount_);
    streamCount_ = 0;
}

void CStreamParser::RemoveFront(std::size_t count) {
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
