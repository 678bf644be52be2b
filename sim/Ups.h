// lanesim's UPS behind the module's port 3: one request character in, a reply line out, one
// character a packet. No I/O here.
#pragma once

#include <string>
#include <string_view>

#include "sim/CarouselEBox.h"

namespace lane::sim {

inline constexpr std::size_t kMaxUpsReplyLength = 60;

// What a scenario sets (see docs/lanesim.md, "The carousel E-Box and the UPS").
struct UpsSetup {
    std::string connectReply = "SM";  // the answer to 'Y', before its line feed
    char sensitivity = 'M';           // the first character of the answer to 's'
    bool silent = false;              // answers nothing
};

class UpsDevice {
  public:
    UpsDevice() = default;
    explicit UpsDevice(const UpsSetup& setup) : setup_(setup) {}

    DeviceAnswer Answer(std::string_view request);

  private:
    UpsSetup setup_;
};

}  // namespace lane::sim
