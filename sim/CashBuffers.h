// lanesim's cash counting buffers of the security module (cash port 5): 'S' '5' with twelve
// characters zeroes them and keeps the time it was given; 'S' '6' answers the time of the last
// zeroing and four packets of counts (bill acceptor, bill dispenser, coin acceptor, coin
// dispenser).
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace lane::sim {

inline constexpr std::size_t kCashBufferDevices = 4;
inline constexpr std::size_t kCashBufferMostCounts = 9;
// How many counts each device's packet holds.
inline constexpr std::size_t kCashBufferCounts[kCashBufferDevices] = {9, 4, 9, 9};

struct CashBuffersSetup {
    std::string lastZeroed = "010120250800";  // MMDDYYYYHHMM
    std::array<std::array<std::uint16_t, kCashBufferMostCounts>, kCashBufferDevices> counts = {{
        {1, 2, 3, 4, 5, 6, 7, 8, 9},
        {10, 20, 30, 40},
        {11, 12, 13, 14, 15, 16, 17, 18, 19},
        {300, 301, 302, 303, 304, 305, 306, 307, 308},
    }};
};

class CashBuffers {
  public:
    explicit CashBuffers(const CashBuffersSetup& setup = {}) : state_(setup) {}

    // Answers a cash-port request (its data). False when it is not a cash buffer request;
    // otherwise `replies` gets each reply's data after its sequence byte and `notes` the zeroing.
    bool Answer(const std::vector<std::uint8_t>& request, std::vector<std::string>& replies,
                std::vector<std::string>& notes);

    const CashBuffersSetup& State() const { return state_; }

  private:
    CashBuffersSetup state_;
};

}  // namespace lane::sim
