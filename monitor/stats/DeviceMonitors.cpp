// CDeviceMonitors: the seven device monitors of the view, built, started and stopped in order.
#include "monitor/stats/DeviceMonitors.h"

#include <array>

namespace lane::monitor {

namespace {

// The order of Device is the order of the monitors' start and stop.
constexpr std::array<Device, kDeviceCount> kStartOrder = {
    Device::CoinAcceptor,   Device::BillAcceptor,  Device::CoinDispenser, Device::BillDispenser,
    Device::SecurityModule, Device::SecurityScale, Device::Conveyor,
};

}  // namespace

CDeviceMonitors::CDeviceMonitors(Clock& clock, const std::string& alertLibraryName,
                                 const CurrencyProfile& currency)
    : billAcceptor_(clock, alertLibraryName, currency),
      billDispenser_(clock, alertLibraryName, currency),
      coinAcceptor_(clock, alertLibraryName, currency),
      coinDispenser_(clock, alertLibraryName, currency),
      securityModule_(clock, alertLibraryName),
      securityScale_(clock, alertLibraryName),
      conveyor_(clock, alertLibraryName) {}

CDeviceMonitors::~CDeviceMonitors() {
    Stop();
}

void CDeviceMonitors::Start(MonitorHost& host) {
    for (const Device device : kStartOrder) {
        Monitor(device).Start(host);
    }
}

void CDeviceMonitors::Stop() {
    for (const Device device : kStartOrder) {
        Monitor(device).Stop();
    }
}

void CDeviceMonitors::Post(Device device, std::unique_ptr<MonitorMessage> message) {
    Monitor(device).Post(std::move(message));
}

void CDeviceMonitors::PostAll(Device device, std::vector<std::unique_ptr<MonitorMessage>>& messages,
                              std::vector<std::unique_ptr<MonitorMessage>>* handled) {
    Monitor(device).PostAll(messages, handled);
}

std::string CDeviceMonitors::FormatTrace(Device device, const MonitorMessage& message) {
    return Monitor(device).FormatTrace(message);
}

std::string CDeviceMonitors::FormatTrace(const MonitorMessage& message) {
    if (!IsMonitorCode(message.code)) {
        return {};
    }
    return FormatTrace(RuleFor(message.code, message.subCode).destination, message);
}

CDeviceMonitor& CDeviceMonitors::Monitor(Device device) {
    switch (device) {
        case Device::CoinAcceptor:
            return coinAcceptor_;
        case Device::BillAcceptor:
            return billAcceptor_;
        case Device::CoinDispenser:
            return coinDispenser_;
        case Device::BillDispenser:
            return billDispenser_;
        case Device::SecurityModule:
            return securityModule_;
        case Device::SecurityScale:
            return securityScale_;
        case Device::Conveyor:
            return conveyor_;
    }
    return conveyor_;
}

}  // namespace lane::monitor
