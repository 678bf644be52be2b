// The texts of the device states and status colours, as the registry and the report show them.
#include "monitor/stats/DeviceStatus.h"

#include <cstddef>
#include <iterator>

namespace lane::monitor {

namespace {

constexpr const char* kStateTexts[] = {
    "Ready",  "Low",   "Cassette Removed", "Comm Error", "Offline", "Full",
    "Jammed", "Empty", "Check Sum Error",  "Low Usage",
};

constexpr const char* kColourTexts[] = {"Red", "Yellow", "Green"};

}  // namespace

const char* DeviceStateText(DeviceState state) {
    const auto index = static_cast<std::size_t>(state);
    return index < std::size(kStateTexts) ? kStateTexts[index] : "";
}

const char* StatusColourText(StatusColour colour) {
    const auto index = static_cast<std::size_t>(colour);
    return index < std::size(kColourTexts) ? kColourTexts[index] : "";
}

}  // namespace lane::monitor
