// The monitors of the four cash devices: the acceptors' decoders, and the dispensers with the
// base handling until their decoders join them.
#pragma once

#include "monitor/decoders/BillAcceptorMonitor.h"
#include "monitor/decoders/CoinAcceptorMonitor.h"
#include "monitor/stats/DeviceMonitor.h"

namespace lane::monitor {

// Until their decoders come, these monitors queue, free and tick as the base does.
class CBillDispenserMonitor final : public CDeviceMonitor {
  public:
    using CDeviceMonitor::CDeviceMonitor;
    ~CBillDispenserMonitor() override { Stop(); }
};

class CCoinDispenserMonitor final : public CDeviceMonitor {
  public:
    using CDeviceMonitor::CDeviceMonitor;
    ~CCoinDispenserMonitor() override { Stop(); }
};

}  // namespace lane::monitor
