// The message codes, sub-codes and bytes of the bill dispenser's traffic.
#pragma once

#include <cstddef>
#include <cstdint>

#include "monitor/acquisition/MonitorMessage.h"

namespace lane::monitor::billdisp {

// The data byte at `index`, or 0 past the end of the data array.
inline std::uint8_t ByteAt(const MonitorMessage& message, int index) {
    return index >= 0 && index < kMonitorMessageDataSize
               ? message.data[static_cast<std::size_t>(index)]
               : std::uint8_t{0};
}

constexpr std::uint8_t kSerialCode = 0xAB;
constexpr std::uint8_t kCashPocketCode = 0xAE;
constexpr std::uint8_t kFujitsuCode = 0xB1;

// Up to `digits` decimal digits from `at` within the message's length, as a C reader takes them:
// the first byte that is no digit ends the number.
inline std::int32_t ReadDigits(const MonitorMessage& message, int at, int digits) {
    std::int32_t value = 0;
    for (int i = at; i < at + digits && i < message.length; ++i) {
        const std::uint8_t byte = ByteAt(message, i);
        if (byte < '0' || byte > '9') {
            break;
        }
        value = value * 10 + (byte - '0');
    }
    return value;
}

// Sub-codes of 0xAB.
constexpr std::uint8_t kCommand = 1;
constexpr std::uint8_t kReply = 2;
constexpr std::uint8_t kLinkStatus = 3;
constexpr std::uint8_t kMonitorReset = 4;
constexpr std::uint8_t kTransmissionError = 5;
constexpr std::uint8_t kCommError = 6;

// The byte that separates the fields and groups of commands and replies.
constexpr std::uint8_t kFieldSeparator = 0x1C;

// Replies: data[1] tells a status reply from a response, data[3] is the response code.
constexpr std::uint8_t kStatusReplyMark = '2';
constexpr std::uint8_t kResponseMark = '3';
constexpr std::uint8_t kCommandReject = '0';
constexpr std::uint8_t kConfiguration = '4';
constexpr std::uint8_t kPhysicalStatus = '5';
constexpr std::uint8_t kPurge = 'A';
constexpr std::uint8_t kDispense = 'B';
constexpr std::uint8_t kCassetteStatus = 'a';

// Module letters of configuration and cassette-status replies that name no denomination.
constexpr std::uint8_t kNoCassetteLetter = 0x40;
constexpr std::uint8_t kUnknownCassetteLetter = 'I';

}  // namespace lane::monitor::billdisp
