// The seven monitoring switches that gate time stamps and the hand-over to each decoder.
#pragma once

#include "monitor/acquisition/FrameTable.h"

namespace lane::monitor {

struct MonitorSwitches {
    bool MonitorSecurityModule = true;
    bool MonitorSecurityScale = true;
    bool MonitorConveyor = true;
    bool MonitorCoinAcceptor = true;
    bool MonitorCoinDispenser = true;
    bool MonitorBillAcceptor = true;
    bool MonitorBillDispenser = true;

    bool For(Device device) const {
        switch (device) {
            case Device::CoinAcceptor:
                return MonitorCoinAcceptor;
            case Device::BillAcceptor:
                return MonitorBillAcceptor;
            case Device::CoinDispenser:
                return MonitorCoinDispenser;
            case Device::BillDispenser:
                return MonitorBillDispenser;
            case Device::SecurityModule:
                return MonitorSecurityModule;
            case Device::SecurityScale:
                return MonitorSecurityScale;
            case Device::Conveyor:
                return MonitorConveyor;
        }
        return false;
    }

    bool operator==(const MonitorSwitches&) const = default;
};

}  // namespace lane::monitor
