// lanesim's devices on the module's ports 4 (carousel E-Box) and 3 (UPS), and the carousel
// control requests the module itself takes on port 6 (E-Box polling, default override).
#pragma once

#include <cstdint>
#include <vector>

#include "sim/CarouselEBox.h"
#include "sim/Ups.h"

namespace lane::sim {

struct CarouselPortsSetup {
    EBoxSetup ebox;
    UpsSetup ups;
};

class CarouselPorts {
  public:
    CarouselPorts() = default;
    explicit CarouselPorts(const CarouselPortsSetup& setup) : ebox_(setup.ebox), ups_(setup.ups) {}

    // A port-data packet (DC 6) written to `port`: false when it is not for these devices;
    // otherwise `answer` holds the reply packets' data (sent as port data on the same port) and
    // the record notes.
    bool Answer(std::uint8_t port, const std::vector<std::uint8_t>& data, DeviceAnswer& answer);

    const CarouselEBox& EBox() const { return ebox_; }

  private:
    CarouselEBox ebox_;
    UpsDevice ups_;
};

}  // namespace lane::sim
