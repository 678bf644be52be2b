// lanesim's lane settings of the security module (service port 6): the conveyor safety
// switches, cash pocket sensor, Bizerba scale interface, flatpack sensor and EAS lights ('Z'
// and a code: '?' reads, anything else writes), the curtain break and saturation windows ('A'
// '5' and '9' read, '4' and '8' write) and the EAS controller type ('X' '2', no answer). Each
// write is noted in the record.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

namespace lane::sim {

// The settings by letter and code (the curtain windows under their read codes).
struct LaneSettingsSetup {
    std::map<std::string, std::uint8_t> values = {
        {"ZC", 'D'}, {"ZD", 'D'}, {"ZE", '0'}, {"ZF", '0'}, {"Z9", '0'},
        {"ZB", '0'}, {"A5", 50},  {"A9", 20},  {"X2", '1'},
    };
};

class LaneSettings {
  public:
    explicit LaneSettings(const LaneSettingsSetup& setup = {}) : state_(setup) {}

    // Answers a service-port request (its data). False when it is not a lane setting request;
    // otherwise `replies` gets the reply data (none for the EAS type) and `notes` the change.
    bool Answer(const std::vector<std::uint8_t>& request, std::vector<std::string>& replies,
                std::vector<std::string>& notes);

    const LaneSettingsSetup& State() const { return state_; }

  private:
    LaneSettingsSetup state_;
};

}  // namespace lane::sim
