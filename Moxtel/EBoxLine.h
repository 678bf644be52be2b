// The line protocols of the carousel scale's E-Box (port 4) and of the UPS (port 3) as they
// travel inside the module's port-data packets: the request forms, the E-Box check digit, and
// the readers that collect a reply from the packets that arrive. No I/O here.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "link/TMCB_Support.h"

namespace lane::moxtel {

// The E-Box's reply buffer and the UPS's, as the utility has always sized them; a reply never
// takes more than the buffer less its terminating zero.
inline constexpr std::size_t kEBoxReplyBufferSize = 64;
inline constexpr std::size_t kUpsReplyBufferSize = 20;

inline constexpr char kCarriageReturn = '\r';
inline constexpr char kLineFeed = '\n';

// The digit that makes the sum of the argument's digit values (the low four bits of each
// character) plus itself a multiple of ten.
char EBoxCheckDigit(std::string_view argument);

// The data of the E-Box requests: one letter ('W', 'R', 'Z', 'I', 'C'); a framed query (CR,
// letter, LF: 'O', 'S', 'U'); a framed command (CR, letter, argument, check digit, LF); and the
// factory-defaults command (CR, "DEFAULT", LF, no check digit).
std::string EBoxSingleLetter(char letter);
std::string EBoxFramedQuery(char letter);
std::string EBoxFramedCommand(char letter, std::string_view argument);
std::string EBoxFactoryDefaults();

// Collects one E-Box reply from port-4 packets: bytes before the first carriage return are
// ignored, every later byte other than a line feed is kept, and a line feed completes the reply
// (the rest of that packet is still taken in). Characters past the buffer are dropped.
class CEBoxReplyReader {
  public:
    void Clear();
    // Takes one received packet; packets from other ports, of other commands or without data
    // are skipped. True once the reply is complete.
    bool Take(const link::LinkPacket& packet);
    bool Complete() const { return complete_; }
    // The reply's characters.
    std::string_view Text() const { return std::string_view(buffer_.data(), length_); }
    // Character n of the buffer: 0 past the reply, as the cleared buffer holds.
    char At(std::size_t n) const { return n < buffer_.size() ? buffer_[n] : '\0'; }
    // Characters that did not fit.
    std::size_t Dropped() const { return dropped_; }
    // An "Err" reply, and the code at position 4.
    bool IsError() const { return Text().substr(0, 3) == "Err"; }
    char ErrorCode() const { return At(4); }
    // The weight readings overwrite position 7 before reading the number.
    void SetAt(std::size_t n, char c);

  private:
    std::array<char, kEBoxReplyBufferSize> buffer_{};
    std::size_t length_ = 0;
    std::size_t dropped_ = 0;
    bool started_ = false;
    bool complete_ = false;
};

// Collects one UPS reply from port-3 packets: the first data byte of each packet is one reply
// character; a line feed (kept) completes it. Packets from other ports, of other commands or
// without data are skipped. Characters past the buffer are dropped.
class CUpsReplyReader {
  public:
    void Clear();
    bool Take(const link::LinkPacket& packet);
    bool Complete() const { return complete_; }
    std::string_view Text() const { return std::string_view(buffer_.data(), length_); }
    char At(std::size_t n) const { return n < buffer_.size() ? buffer_[n] : '\0'; }
    std::size_t Dropped() const { return dropped_; }

  private:
    std::array<char, kUpsReplyBufferSize> buffer_{};
    std::size_t length_ = 0;
    std::size_t dropped_ = 0;
    bool complete_ = false;
};

// The text for an E-Box error code; empty for codes without one.
const char* EBoxErrorText(char code);
// The weight rounding code of the options ('1' to '4') as shown: "0.01" ... "0.10", or
// "Value = %x" for any other code.
std::string WeightRoundingText(char code);

}  // namespace lane::moxtel
