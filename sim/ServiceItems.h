// lanesim's answers to the utility's security module menu items on the service port that are not
// lane settings: the proximity sensor calibration ('Z' 'P'), the scale's high weight capacity
// ('Z' 'H', '?' reads), the EAS light as lane light ('Z' 'A', '?' reads) and the EAS controller
// ('X': '1' light on time, '3' configuration, '4' hardtag status, '5'/'6' enable/disable, '8'/'7'
// the same through its service port). The controller type ('X' '2') stays with the lane
// settings, whose value the configuration read reports.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "sim/LaneSettings.h"

namespace lane::sim {

struct ServiceItemsState {
    bool proximityCalibrates = true;  // the calibration's result
    std::uint8_t highWeight = '0';
    std::uint8_t easLaneLight = '0';
    std::uint8_t easLightOnTime = 5;  // seconds
    std::uint8_t hardtagDetected = '0';
    bool controllerEnabled = false;
};

class ServiceItems {
  public:
    // Answers a service-port request (its data): false when it is not one of these items;
    // otherwise `replies` gets the reply data and `notes` what changed.
    bool Answer(const std::vector<std::uint8_t>& request, const LaneSettings& settings,
                std::vector<std::string>& replies, std::vector<std::string>& notes);

    const ServiceItemsState& State() const { return state_; }

  private:
    ServiceItemsState state_;
};

}  // namespace lane::sim
