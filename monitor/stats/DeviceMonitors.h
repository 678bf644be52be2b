// CDeviceMonitors: the seven device monitors of the view, built, started and stopped in order.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "common/Clock.h"
#include "monitor/acquisition/FrameTable.h"
#include "monitor/acquisition/MonitorMessage.h"
#include "monitor/decoders/CurrencyProfile.h"
#include "monitor/stats/CashDeviceMonitors.h"
#include "monitor/stats/ConveyorMonitor.h"
#include "monitor/stats/DeviceMonitor.h"
#include "monitor/stats/MonitorHost.h"
#include "monitor/stats/SecurityModuleMonitor.h"
#include "monitor/stats/SecurityScaleMonitor.h"

namespace lane::monitor {

class CDeviceMonitors {
  public:
    // Builds the monitors in the order bill acceptor, bill dispenser, coin acceptor, coin
    // dispenser, security module, security scale, conveyor; each loads the alert library. The
    // cash decoders write amounts in `currency`, the lane's profile read at start.
    explicit CDeviceMonitors(Clock& clock, const std::string& alertLibraryName = kAlertLibraryName,
                             const CurrencyProfile& currency = CurrencyProfile{});
    // Stops the monitors (as Stop) before they go.
    ~CDeviceMonitors();
    CDeviceMonitors(const CDeviceMonitors&) = delete;
    CDeviceMonitors& operator=(const CDeviceMonitors&) = delete;

    // Starts every monitor once, after the host has loaded its settings and statistics, in the
    // order of Device: coin acceptor, bill acceptor, coin dispenser, bill dispenser, security
    // module, security scale, conveyor.
    void Start(MonitorHost& host);
    // Stops every monitor in the order they were started, each waiting for its worker.
    void Stop();

    // Hands a message to the monitor of `device`, which owns it from now on.
    void Post(Device device, std::unique_ptr<MonitorMessage> message);
    // Hands the messages over in order, as one batch; empties `messages`.
    void PostAll(Device device, std::vector<std::unique_ptr<MonitorMessage>>& messages,
                 std::vector<std::unique_ptr<MonitorMessage>>* handled = nullptr);
    // The decoder's trace text of a message for `device` ("" for devices without one).
    std::string FormatTrace(Device device, const MonitorMessage& message);
    // As above, for the device the frame table sends the message to.
    std::string FormatTrace(const MonitorMessage& message);

    CDeviceMonitor& Monitor(Device device);

  private:
    // Declared in the order of construction.
    CBillAcceptorMonitor billAcceptor_;
    CBillDispenserMonitor billDispenser_;
    CCoinAcceptorMonitor coinAcceptor_;
    CCoinDispenserMonitor coinDispenser_;
    CSecurityModuleMonitor securityModule_;
    CSecurityScaleMonitor securityScale_;
    CConveyorMonitor conveyor_;
};

}  // namespace lane::monitor
