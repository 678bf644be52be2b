// CBillDispenserMonitor: trace texts, dispatch, status replies and the link's status byte.
#include "monitor/decoders/BillDispenserMonitor.h"

#include <mutex>
#include <utility>

#include "monitor/decoders/BillDispenserCodes.h"
#include "monitor/decoders/BitTest.h"

namespace lane::monitor {

using namespace billdisp;

namespace {

constexpr unsigned kSendErrorBit = 3;
constexpr unsigned kBusyBit = 2;
constexpr unsigned kCommErrorBit = 1;
constexpr unsigned kOfflineBit = 0;

}  // namespace

CBillDispenserMonitor::CBillDispenserMonitor(Clock& clock, const std::string& alertLibraryName,
                                             CurrencyProfile currency)
    : CDeviceMonitor(clock, alertLibraryName), currency_(std::move(currency)) {}

std::string CBillDispenserMonitor::FormatTrace(const MonitorMessage& message) {
    if (message.code != kSerialCode) {
        return {};
    }
    switch (message.subCode) {
        case kCommand:
            return " - Bill Dispenser OUTPUT";
        case kReply:
            return " - Bill Dispenser INPUT";
        case kLinkStatus:
            return " - Bill Dispenser STATUS BYTE";
        case kMonitorReset:
            return " - Bill Dispenser RESET";
        case kTransmissionError:
            return " - Bill Dispenser XMN ERROR/RESET XMN";
        case kCommError:
            return " - Bill Dispenser Comm Error";
        default:
            return {};
    }
}

void CBillDispenserMonitor::ProcessMessage(const MonitorMessage& received) {
    const MonitorMessage message = ZeroFilled(received);
    switch (message.code) {
        case kSerialCode:
            ProcessSerial(message);
            break;
        case kFujitsuCode:
            ProcessFujitsu(message);
            break;
        case kCashPocketCode:
            ProcessCashPocket(message);
            break;
        default:
            return;
    }
    UpdateSystemStatus();
}

void CBillDispenserMonitor::ProcessSerial(const MonitorMessage& message) {
    {
        std::lock_guard<CDeviceStatistics> lock(Host().Statistics());
        Host().Statistics().BillDispLastTimeCommunicated = message.time;
    }
    switch (message.subCode) {
        case kCommand:
            ProcessCommand(message);
            break;
        case kReply:
            ProcessReply(message);
            break;
        case kLinkStatus:
            ProcessLinkStatus(message);
            break;
        case kMonitorReset:
            ProcessMonitorReset(message);
            break;
        case kTransmissionError:
            Host().TraceNote("BillDispenser: XMN Error -> Reset XMN");
            break;
        case kCommError:
            Host().TraceNote("BillDispenser: Comm Error");
            break;
        default:
            break;
    }
}

void CBillDispenserMonitor::ProcessReply(const MonitorMessage& message) {
    {
        CDeviceStatistics& statistics = Host().Statistics();
        std::lock_guard<CDeviceStatistics> lock(statistics);
        if (statistics.BillDispState == DeviceState::Offline ||
            statistics.BillDispState == DeviceState::CommError) {
            statistics.BillDispState = DeviceState::Ready;
        }
    }
    if (message.data[1] == kStatusReplyMark) {
        ProcessStatusReply(message);
        return;
    }
    if (message.data[1] != kResponseMark) {
        return;
    }
    switch (message.data[3]) {
        case kCommandReject:
            ProcessCommandReject(message);
            break;
        case kConfiguration:
            ProcessConfiguration(message);
            break;
        case kPhysicalStatus:
            ProcessPhysicalStatus(message);
            break;
        case kPurge:
            ProcessPurgeReply(message);
            break;
        case kDispense:
            ProcessDispenseReply(message);
            break;
        case kCassetteStatus:
            ProcessCassetteStatus(message);
            break;
        default:
            break;
    }
}

void CBillDispenserMonitor::ProcessStatusReply(const MonitorMessage& message) {
    const std::uint8_t status = message.data[2];
    CDeviceStatistics& statistics = Host().Statistics();
    if (IsBitSet(status, kSendErrorBit)) {
        Host().TraceNote("Bill Dispenser Status: SEND ERROR");
    }
    if (IsBitSet(status, kBusyBit)) {
        Host().TraceNote("Bill Dispenser Status: BUSY");
    }
    const bool commError = IsBitSet(status, kCommErrorBit);
    const bool offline = IsBitSet(status, kOfflineBit);
    if (commError) {
        {
            std::lock_guard<CDeviceStatistics> lock(statistics);
            statistics.BillDispLastTimeUnitOffline = message.time;
        }
        Host().TraceNote("Bill Dispenser Status: COMM ERROR");
    }
    if (offline) {
        {
            std::lock_guard<CDeviceStatistics> lock(statistics);
            statistics.BillDispLastTimeUnitOffline = message.time;
        }
        FireIf(Host().Settings().FireBillDispOffline, kEventBillDispOffline);
        Host().TraceNote("Bill Dispenser Status: OFFLINE");
    }
    std::lock_guard<CDeviceStatistics> lock(statistics);
    if (offline) {
        statistics.BillDispState = DeviceState::Offline;
        statistics.StatusBillDispenser = StatusColour::Red;
    } else if (commError) {
        statistics.BillDispState = DeviceState::CommError;
        statistics.StatusBillDispenser = StatusColour::Red;
    }
}

void CBillDispenserMonitor::ProcessLinkStatus(const MonitorMessage& message) {
    const std::uint8_t status = message.data[0];
    const MonitorSettings& settings = Host().Settings();
    CDeviceStatistics& statistics = Host().Statistics();
    if (IsBitSet(status, kSendErrorBit)) {
        Host().TraceNote("Bill Dispenser Status: SEND ERROR");
    }
    if (IsBitSet(status, kBusyBit)) {
        Host().TraceNote("Bill Dispenser Status: BUSY");
    }
    if (IsBitSet(status, kCommErrorBit)) {
        {
            std::lock_guard<CDeviceStatistics> lock(statistics);
            statistics.BillDispState = DeviceState::CommError;
            statistics.StatusBillDispenser = StatusColour::Red;
        }
        Host().TraceNote("Bill Dispenser Status: COMM ERROR");
    }
    DeviceState before;
    {
        std::lock_guard<CDeviceStatistics> lock(statistics);
        before = statistics.BillDispState;
    }
    if (IsBitSet(status, kOfflineBit)) {
        {
            std::lock_guard<CDeviceStatistics> lock(statistics);
            statistics.BillDispLastTimeUnitOffline = message.time;
            statistics.BillDispState = DeviceState::Offline;
            statistics.StatusBillDispenser = StatusColour::Red;
        }
        FireIf(settings.FireBillDispOffline, kEventBillDispOffline);
        Host().TraceNote("Bill Dispenser Status: OFFLINE");
    } else if (before == DeviceState::Offline) {
        FireIf(settings.FireBillDispOnline, kEventBillDispOnline);
    }
    if (IsBitSet(status, kOfflineBit) || IsBitSet(status, kCommErrorBit)) {
        return;
    }
    {
        std::lock_guard<CDeviceStatistics> lock(statistics);
        if (statistics.BillDispState != DeviceState::CommError &&
            statistics.BillDispState != DeviceState::Offline) {
            return;
        }
        statistics.BillDispState = DeviceState::Ready;
        statistics.StatusBillDispenser = StatusColour::Green;
    }
    Host().TraceNote("Bill Dispenser Status: READY");
}

void CBillDispenserMonitor::ProcessMonitorReset(const MonitorMessage& message) {
    {
        std::lock_guard<CDeviceStatistics> lock(Host().Statistics());
        Host().Statistics().BillDispLastTimeReset = message.time;
    }
    FireIf(Host().Settings().FireBillDispReset, kEventBillDispReset);
    Host().TraceNote("BillDispenser Reset by Monitor");
}

}  // namespace lane::monitor
