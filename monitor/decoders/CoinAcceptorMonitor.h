// CCoinAcceptorMonitor: coins, the bin volume estimate and bills-only cash transactions.
#pragma once

#include <cstdint>
#include <string>

#include "monitor/alerts/AlertEvents.h"
#include "monitor/decoders/CurrencyProfile.h"
#include "monitor/stats/DeviceMonitor.h"

namespace lane::monitor {

// Messages with code 0xA8, and the bill acceptor's status replies (0xA9 sub-code 2), which tell
// it that bills were taken in the open cash transaction. FormatTrace uses no member state;
// ProcessMessage and OnTimer run on the worker thread.
class CCoinAcceptorMonitor final : public CDeviceMonitor {
  public:
    CCoinAcceptorMonitor(Clock& clock, const std::string& alertLibraryName,
                         CurrencyProfile currency);
    ~CCoinAcceptorMonitor() override { Stop(); }

    std::string FormatTrace(const MonitorMessage& message) override;
    void ProcessMessage(const MonitorMessage& message) override;
    // Re-arms the timer; while the bills-only count is below its threshold the colour steps
    // back towards Green; derives the lane's colour.
    void OnTimer() override;

    const CurrencyProfile& Currency() const { return currency_; }

  private:
    void ProcessBillReply(const MonitorMessage& message);
    void ProcessOutput(const MonitorMessage& message);
    void EndTransaction();
    void ProcessReply(const MonitorMessage& message);
    // The trace line of a received coin, in the lane's currency.
    std::string CoinLine(std::uint8_t coinCode) const;

    CurrencyProfile currency_;
    bool cashTransactionOpen_ = false;
    bool coinSeen_ = false;
    bool billSeen_ = false;
};

}  // namespace lane::monitor
