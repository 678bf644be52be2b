// CCoinDispenserMonitor: the coin dispenser's requests, status replies, version and bad packets.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <ctime>
#include <string>

#include "monitor/alerts/AlertEvents.h"
#include "monitor/decoders/CurrencyProfile.h"
#include "monitor/stats/DeviceMonitor.h"

namespace lane::monitor {

// The longest version text kept from the dispenser's version report.
inline constexpr std::size_t kCoinDispVersionMax = 29;

// Messages with code 0xAA. FormatTrace uses no member state; ProcessMessage runs on the worker
// thread and ends every message with UpdateSystemStatus. A reply is decoded as a reply only: its
// first byte is the dispenser's, not a request character, so it never counts as a dispense.
class CCoinDispenserMonitor final : public CDeviceMonitor {
  public:
    CCoinDispenserMonitor(Clock& clock, const std::string& alertLibraryName,
                          CurrencyProfile currency);
    ~CCoinDispenserMonitor() override { Stop(); }

    std::string FormatTrace(const MonitorMessage& message) override;
    void ProcessMessage(const MonitorMessage& message) override;

    const CurrencyProfile& Currency() const { return currency_; }

  private:
    void ProcessReply(const MonitorMessage& message);
    void ProcessRequest(const MonitorMessage& message);
    void ProcessBadPacket(const MonitorMessage& message);
    void ProcessVersion(const MonitorMessage& message);
    // The status byte's lines, times and alerts, then the state and colour it leaves.
    void HandleStatus(std::uint8_t status, std::time_t time);
    // The amount of a dispense request in the lane's currency ("$0.75").
    std::string DispenseAmount(const MonitorMessage& message) const;

    CurrencyProfile currency_;
    std::array<char, kCoinDispVersionMax + 1> versionText_{};
};

}  // namespace lane::monitor
