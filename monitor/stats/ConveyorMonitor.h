// CConveyorMonitor: takes the conveyor's messages and drops them; its tick keeps the lane's colour
// fresh.
#pragma once

#include "monitor/stats/DeviceMonitor.h"

namespace lane::monitor {

// The base handling throughout: messages are only freed, and the hourly tick recomputes the
// lane's colour.
class CConveyorMonitor final : public CDeviceMonitor {
  public:
    using CDeviceMonitor::CDeviceMonitor;
    ~CConveyorMonitor() override { Stop(); }
};

}  // namespace lane::monitor
