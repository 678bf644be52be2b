// lanesim's Fujitsu bill dispenser behind the module's cash port: answers the 'D' requests
// (currency code, last error codes, the status and log data blocks) from its setup, dispenses
// from the cassettes its status block holds, and clears its log counters with a new stored
// message, noting what changed in the record.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "sim/FujitsuDispenserSetup.h"

namespace lane::sim {

class FujitsuDispenser {
  public:
    explicit FujitsuDispenser(const FujitsuDispenserSetup& setup = {}) : state_(setup) {}

    // Answers a cash-port request (its data: 'D', the code, arguments). False when it is not a
    // request of the dispenser; otherwise `replies` gets the data of each reply after its
    // sequence byte and `notes` what the record should say.
    bool Answer(const std::vector<std::uint8_t>& request, std::vector<std::string>& replies,
                std::vector<std::string>& notes);

    const FujitsuDispenserSetup& State() const { return state_; }

  private:
    void SendBlock(const FujitsuBlock& block, std::vector<std::string>& replies) const;
    void Dispense(const std::vector<std::uint8_t>& request, std::vector<std::string>& replies,
                  std::vector<std::string>& notes);
    void Clear(const std::vector<std::uint8_t>& request, std::vector<std::string>& notes);

    FujitsuDispenserSetup state_;
    std::size_t thicknessTurn_ = 0;
};

}  // namespace lane::sim
