// The monitors of the four cash devices, with the base handling until their decoders join them.
#pragma once

#include "monitor/stats/DeviceMonitor.h"

namespace lane::monitor {

// Each decoder brings its own FormatTrace, ProcessMessage and (for the two acceptors) OnTimer;
// until then these monitors queue, free and tick as the base does.
class CBillAcceptorMonitor final : public CDeviceMonitor {
  public:
    using CDeviceMonitor::CDeviceMonitor;
    ~CBillAcceptorMonitor() override { Stop(); }
};

class CBillDispenserMonitor final : public CDeviceMonitor {
  public:
    using CDeviceMonitor::CDeviceMonitor;
    ~CBillDispenserMonitor() override { Stop(); }
};

class CCoinAcceptorMonitor final : public CDeviceMonitor {
  public:
    using CDeviceMonitor::CDeviceMonitor;
    ~CCoinAcceptorMonitor() override { Stop(); }
};

class CCoinDispenserMonitor final : public CDeviceMonitor {
  public:
    using CDeviceMonitor::CDeviceMonitor;
    ~CCoinDispenserMonitor() override { Stop(); }
};

}  // namespace lane::monitor
