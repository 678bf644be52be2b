// lanesim's bill acceptor behind the module's cash port 5: answers the status, version, CRC and
// ISO code requests, takes a firmware upload block by block in its upload mode, restarts into
// the new firmware once the upload ends complete, and shows the scenario's faults. No I/O here:
// it gives the bodies of its replies (the module puts the sequence byte in front) and notes for
// the record.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "sim/BillAcceptorSetup.h"

namespace lane::sim {

// The request letter of the bill acceptor on the cash port.
inline constexpr std::uint8_t kBillAcceptorLetter = 'B';
inline constexpr std::size_t kBillAcceptorBlockBytes = 32;
// The most blocks one upload may hold (the utility's buffer is 512 KiB).
inline constexpr std::size_t kMaxBillAcceptorBlocks = 524288 / kBillAcceptorBlockBytes;

// CRC-16 (polynomial 0x1021, start 0xFFFF) of the firmware, as the bill acceptor reports it.
std::uint16_t BillAcceptorCrc(const std::vector<std::uint8_t>& image);

struct BillAcceptorAnswer {
    std::vector<std::string> replies;  // reply bodies from the letter on ("b1...")
    std::vector<std::string> notes;    // for the record
};

class BillAcceptor {
  public:
    BillAcceptor() = default;
    explicit BillAcceptor(const BillAcceptorSetup& setup);

    // Takes the data of one cash-port request whose first byte is 'B'.
    BillAcceptorAnswer Take(const std::vector<std::uint8_t>& data);
    // True once when an upload has completed since the last call; `image` gets it.
    bool TakeCompleted(std::vector<std::uint8_t>& image);

    bool UploadMode() const { return uploadMode_; }
    // The last block held in the upload (-1: none).
    std::int32_t Held() const { return held_; }

  private:
    void Status(BillAcceptorAnswer& answer) const;
    void Block(const std::vector<std::uint8_t>& data, BillAcceptorAnswer& answer);
    void End(BillAcceptorAnswer& answer);
    std::size_t BlocksNeeded() const;

    BillAcceptorSetup setup_;
    bool uploadMode_ = false;
    std::int32_t held_ = -1;
    std::vector<std::uint8_t> image_;
    bool completed_ = false;
};

}  // namespace lane::sim
