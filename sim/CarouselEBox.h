// lanesim's carousel scale E-Box behind the module's port 4: its settings, the line protocol it
// answers (single letters, framed queries and commands with their check digit, the factory
// defaults), and the faults a scenario gives it. No I/O here.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace lane::sim {

inline constexpr std::size_t kEBoxOptionsLength = 7;
inline constexpr std::size_t kEBoxSerialLength = 5;
inline constexpr std::size_t kEBoxSerialSlots = 6;
inline constexpr std::uint32_t kMaxEBoxWeightHundredths = 99999;  // 999.99
inline constexpr std::size_t kMaxEBoxTextLength = 200;
// The most data one packet from the module carries.
inline constexpr std::size_t kEBoxPacketData = 60;

// A fault of one request letter: the next `count` requests with it are answered "Err <code>",
// or not at all when `code` is 0.
struct EBoxFault {
    char letter = 0;
    char code = 0;
    std::uint32_t count = 1;
};

// What a scenario sets (see docs/lanesim.md, "The carousel E-Box and the UPS").
struct EBoxSetup {
    std::string options =
        "1366512";  // dot, rounding, filter, auto-zero, -, zero tracking, stability
    std::string version = "EB-2.10";  // the 'I' reply
    std::string maxWeight = "00150";  // the 'S' reply
    char loadCells = '4';             // at position 4 of the 'U' reply
    std::vector<std::string> serials = {"12345", "23456", "34567", "45678"};
    std::uint32_t weightHundredths = 0;  // the 'W' reply
    bool unstable = false;
    std::size_t split = 0;  // replies cut into packets of this many bytes (0: 60, one packet)
    std::vector<EBoxFault> faults;
};

// The E-Box's answer to one request: the packets' data (each a whole reply, or a piece of one)
// and notes for the record.
struct DeviceAnswer {
    std::vector<std::string> packets;
    std::vector<std::string> notes;
};

class CarouselEBox {
  public:
    CarouselEBox() = default;
    explicit CarouselEBox(const EBoxSetup& setup) : setup_(setup) {}

    // One request as written to port 4.
    DeviceAnswer Answer(std::string_view request);

    const std::string& Options() const { return setup_.options; }

  private:
    void Reply(DeviceAnswer& answer, const std::string& text) const;
    // True when a fault takes the request (its answer, if any, is in `answer`).
    bool Faulted(char letter, DeviceAnswer& answer);
    void Framed(char letter, std::string_view argument, DeviceAnswer& answer);
    void Single(char letter, DeviceAnswer& answer);
    std::string WeightReply() const;
    std::string SerialsReply() const;

    EBoxSetup setup_;
};

}  // namespace lane::sim
