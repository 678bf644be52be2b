// The monitors of the four cash devices: the acceptors' and the coin dispenser's decoders, and
// the bill dispenser with the base handling until its decoder joins them.
#pragma once

#include "monitor/decoders/BillAcceptorMonitor.h"
#include "monitor/decoders/CoinAcceptorMonitor.h"
#include "monitor/decoders/CoinDispenserMonitor.h"
#include "monitor/stats/DeviceMonitor.h"

namespace lane::monitor {

class CBillDispenserMonitor final : public CDeviceMonitor {
  public:
    CBillDispenserMonitor(Clock& clock, const std::string& alertLibraryName, const CurrencyProfile&)
        : CDeviceMonitor(clock, alertLibraryName) {}
    ~CBillDispenserMonitor() override { Stop(); }
};

}  // namespace lane::monitor
