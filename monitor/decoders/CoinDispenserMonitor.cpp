// CCoinDispenserMonitor: the coin dispenser's requests, status replies, version and bad packets.
#include "monitor/decoders/CoinDispenserMonitor.h"

#include <algorithm>
#include <mutex>
#include <utility>

#include "monitor/decoders/BitTest.h"
#include "monitor/decoders/DeviceText.h"

namespace lane::monitor {

namespace {

constexpr std::uint8_t kCoinDispenserCode = 0xAA;

// Sub-codes of 0xAA.
constexpr std::uint8_t kRequest = 1;
constexpr std::uint8_t kReply = 2;
constexpr std::uint8_t kBadPacket = 3;
constexpr std::uint8_t kRawToDispenser = 4;
constexpr std::uint8_t kRawFromDispenser = 5;
constexpr std::uint8_t kVersion = 6;

constexpr std::uint8_t kStatusRequest = '1';
constexpr std::uint8_t kDispenseRequest = '2';
constexpr std::uint8_t kStatusReply = '1';

// Bits of the status byte.
constexpr unsigned kDispensedBit = 5;
constexpr unsigned kLowBit = 4;
constexpr unsigned kBusyBit = 3;
constexpr unsigned kOfflineBit = 2;
constexpr unsigned kFunctionErrorBit = 1;
constexpr unsigned kCommErrorBit = 0;

constexpr const char* kDollarCurrency = "USD";

std::string CharText(std::uint8_t byte) {
    return DeviceString(&byte, 1);
}

}  // namespace

CCoinDispenserMonitor::CCoinDispenserMonitor(Clock& clock, const std::string& alertLibraryName,
                                             CurrencyProfile currency)
    : CDeviceMonitor(clock, alertLibraryName), currency_(std::move(currency)) {}

std::string CCoinDispenserMonitor::FormatTrace(const MonitorMessage& received) {
    if (received.code != kCoinDispenserCode) {
        return {};
    }
    const MonitorMessage message = ZeroFilled(received);
    switch (message.subCode) {
        case kRequest:
            return " - Coin Disp Output";
        case kReply:
            return " - Coin Disp Input";
        case kBadPacket:
            return "** Coin Dispenser: Bad/Incomplete Packet! **";
        case kRawToDispenser:
            return "Raw Data to CoinDisp: " + FormatHexBytes(message.data.data(), message.length);
        case kRawFromDispenser:
            return "Raw Data from CoinDisp: " + FormatHexBytes(message.data.data(), message.length);
        default:
            return {};
    }
}

void CCoinDispenserMonitor::ProcessMessage(const MonitorMessage& received) {
    if (received.code != kCoinDispenserCode) {
        return;
    }
    const MonitorMessage message = ZeroFilled(received);
    switch (message.subCode) {
        case kReply:
            ProcessReply(message);
            break;
        case kRequest:
            ProcessRequest(message);
            break;
        case kBadPacket:
            ProcessBadPacket(message);
            break;
        case kVersion:
            ProcessVersion(message);
            break;
        default:
            break;
    }
    UpdateSystemStatus();
}

void CCoinDispenserMonitor::ProcessReply(const MonitorMessage& message) {
    {
        std::lock_guard<CDeviceStatistics> lock(Host().Statistics());
        Host().Statistics().CoinDispLastTimeCommunicated = message.time;
    }
    if (message.data[1] == kStatusReply) {
        Host().TraceNote("Coin Dispenser: Status Response - Status Byte 1 = " +
                         HexByte(message.data[2]));
        HandleStatus(message.data[2], message.time);
    }
}

void CCoinDispenserMonitor::ProcessRequest(const MonitorMessage& message) {
    if (message.data[0] == kStatusRequest) {
        Host().TraceNote("Coin Dispenser: Status Request");
        HandleStatus(message.data[2], message.time);
        return;
    }
    if (message.data[0] != kDispenseRequest) {
        return;
    }
    Host().TraceNote("Coin Dispenser: Dispense Request:");
    const std::string amount = DispenseAmount(message);
    {
        std::lock_guard<CDeviceStatistics> lock(Host().Statistics());
        Host().Statistics().CoinDispLastCoinsDispensed = amount;
    }
    Host().TraceNote("Coin Dispenser: " + amount);
}

std::string CCoinDispenserMonitor::DispenseAmount(const MonitorMessage& message) const {
    const auto& data = message.data;
    const bool dollars = currency_.currencyCode == kDollarCurrency;
    // A zero byte ends its part, as it would end a C string.
    const std::string units = dollars ? std::string("0") : CharText(data[1]);
    const std::string hundredths = dollars ? DeviceString(&data[1], 2) : DeviceString(&data[2], 2);
    return currency_.currencySymbol + units + currency_.decimalSeparator + hundredths;
}

void CCoinDispenserMonitor::ProcessBadPacket(const MonitorMessage& message) {
    Host().TraceNote("Coin Dispenser: Bad Packet Received");
    std::lock_guard<CDeviceStatistics> lock(Host().Statistics());
    Host().Statistics().CoinDispLastTimeBadPacket = message.time;
}

void CCoinDispenserMonitor::ProcessVersion(const MonitorMessage& message) {
    const std::size_t count =
        std::min(static_cast<std::size_t>(message.length), kCoinDispVersionMax);
    versionText_.fill(0);
    std::copy_n(message.data.begin(), count, versionText_.begin());
    const std::string version =
        DeviceString(reinterpret_cast<const std::uint8_t*>(versionText_.data()), count);
    Host().TraceNote("Coin Dispenser Version: " + version);
    std::lock_guard<CDeviceStatistics> lock(Host().Statistics());
    Host().Statistics().CoinDispVersion = version;
}

void CCoinDispenserMonitor::HandleStatus(std::uint8_t status, std::time_t time) {
    const MonitorSettings& settings = Host().Settings();
    CDeviceStatistics& statistics = Host().Statistics();
    auto storedState = [&statistics] {
        std::lock_guard<CDeviceStatistics> lock(statistics);
        return statistics.CoinDispState;
    };
    bool offline = false;
    bool commError = false;
    bool low = false;
    if (IsBitSet(status, kDispensedBit)) {
        {
            std::lock_guard<CDeviceStatistics> lock(statistics);
            statistics.CoinDispLastTimeDispensed = time;
        }
        Host().TraceNote("Coin Dispenser: Coins Dispensed");
    }
    if (IsBitSet(status, kLowBit)) {
        low = true;
        Host().TraceNote("Coin Dispenser: Coins Low");
        {
            std::lock_guard<CDeviceStatistics> lock(statistics);
            statistics.CoinDispLastTimeLow = time;
        }
        if (settings.FireCoinDispLow) {
            FireEvent(kEventCoinDispLow);
        }
    } else if (storedState() == DeviceState::Low) {
        {
            std::lock_guard<CDeviceStatistics> lock(statistics);
            statistics.CoinDispLastTimeRefilled = time;
        }
        if (settings.FireCoinDispRefilled) {
            FireEvent(kEventCoinDispRefilled);
        }
    }
    if (IsBitSet(status, kBusyBit)) {
        Host().TraceNote("Coin Dispenser: Coin Dispenser Busy");
    }
    if (IsBitSet(status, kOfflineBit)) {
        offline = true;
        Host().TraceNote("Coin Dispenser: Offline");
        {
            std::lock_guard<CDeviceStatistics> lock(statistics);
            statistics.CoinDispLastTimeOffline = time;
        }
        if (settings.FireCoinDispOffline) {
            FireEvent(kEventCoinDispOffline);
        }
    } else if (storedState() == DeviceState::Offline && settings.FireCoinDispOnline) {
        FireEvent(kEventCoinDispOnline);
    }
    if (IsBitSet(status, kFunctionErrorBit)) {
        Host().TraceNote("Coin Dispenser: Function Error");
    }
    if (IsBitSet(status, kCommErrorBit)) {
        commError = true;
        Host().TraceNote("Coin Dispenser: Communication Error");
        std::lock_guard<CDeviceStatistics> lock(statistics);
        if (statistics.CoinDispState != DeviceState::Offline) {
            statistics.CoinDispLastTimeOffline = time;
        }
    }
    std::lock_guard<CDeviceStatistics> lock(statistics);
    auto enter = [&statistics](DeviceState state, StatusColour colour) {
        if (statistics.CoinDispState != state) {
            statistics.CoinDispState = state;
            statistics.StatusCoinDispenser = colour;
        }
    };
    if (offline) {
        enter(DeviceState::Offline, StatusColour::Red);
    } else if (commError) {
        enter(DeviceState::CommError, StatusColour::Red);
    } else if (low) {
        enter(DeviceState::Low, StatusColour::Yellow);
    } else {
        statistics.CoinDispState = DeviceState::Ready;
        statistics.StatusCoinDispenser = StatusColour::Green;
    }
}

}  // namespace lane::monitor
