// CCoinAcceptorMonitor: coins, the bin volume estimate and bills-only cash transactions.
#include "monitor/decoders/CoinAcceptorMonitor.h"

#include <limits>
#include <mutex>
#include <utility>

#include "monitor/decoders/BitTest.h"

namespace lane::monitor {

namespace {

constexpr std::uint8_t kCoinAcceptorCode = 0xA8;
constexpr std::uint8_t kBillAcceptorCode = 0xA9;

// Sub-codes of 0xA8.
constexpr std::uint8_t kOutput = 1;
constexpr std::uint8_t kReply = 2;
constexpr std::uint8_t kRawToAcceptor = 3;
constexpr std::uint8_t kRawFromAcceptor = 4;
// The bill acceptor's status reply, and the length that carries its state byte.
constexpr std::uint8_t kBillStatusReply = 2;
constexpr int kBillStateLength = 3;

// Outputs to the acceptor: the framed enable and disable, and the cash transaction markers.
constexpr std::uint8_t kFrameStart = 0x02;
constexpr std::uint8_t kFrameEnd = 0x03;
constexpr std::uint8_t kTransactionStart = '2';
constexpr std::uint8_t kTransactionEnd = '3';
// Replies: 'C' and a coin number (traced); 'x', '1' and the status byte (processed).
constexpr std::uint8_t kCoinReport = 'C';
constexpr std::uint8_t kStatusReport = '1';

constexpr std::uint8_t kCoinCodeMask = 0x27;
constexpr unsigned kEnabledBit = 3;
constexpr unsigned kInvalidCoinBit = 6;
constexpr std::uint8_t kDeckOpenMask = 0x07;

struct Coin {
    std::uint8_t code;
    std::uint32_t MonitorSettings::*volume;
    const char* units;       // before the decimal separator
    const char* hundredths;  // after it
};

constexpr Coin kCoins[] = {
    {0x01, &MonitorSettings::CoinAcc01Volume, "0", "01"},
    {0x02, &MonitorSettings::CoinAcc05Volume, "0", "05"},
    {0x03, &MonitorSettings::CoinAcc10Volume, "0", "10"},
    {0x04, &MonitorSettings::CoinAcc25Volume, "0", "25"},
    {0x05, &MonitorSettings::CoinAcc50Volume, "0", "50"},
    {0x06, &MonitorSettings::CoinAcc100Volume, "1", "00"},
    {0x21, &MonitorSettings::CoinAcc02Volume, "0", "02"},
    {0x22, &MonitorSettings::CoinAcc20Volume, "0", "20"},
    {0x23, &MonitorSettings::CoinAcc200Volume, "2", "00"},
};
// Code 5 is the two-unit coin on Canadian lanes; it still adds the 0.50 coin's volume.
constexpr std::uint8_t kCanadianTwoUnitCode = 0x05;
constexpr const char* kCanadianCurrency = "CAD";

const Coin* FindCoin(std::uint8_t code) {
    for (const Coin& coin : kCoins) {
        if (coin.code == code) {
            return &coin;
        }
    }
    return nullptr;
}

// The decimal coin names of the trace, by the coin number of a 'C' reply.
const char* CoinInsertedText(std::uint8_t number) {
    switch (number) {
        case 1:
            return " <= 0.01 Coin Inserted";
        case 2:
            return " <= 0.05 Coin Inserted";
        case 3:
            return " <= 0.10 Coin Inserted";
        case 4:
            return " <= 0.25 Coin Inserted";
        case 5:
            return " <= 0.50 Coin Inserted";
        case 6:
            return " <= 1.00 Coin Inserted";
        case 34:
            return " <= 0.20 Coin Inserted";
        case 35:
            return " <= 2.00 Coin Inserted";
        default:
            return " <= Unknown Coin Inserted";
    }
}

std::string FormatOutput(const MonitorMessage& message) {
    if (message.data[0] != kFrameStart || message.data[2] != kFrameEnd) {
        return " - Coin Acc Output";
    }
    switch (message.data[1]) {
        case 'E':
            return " => Coin Acc Enabled";
        case 'D':
            return " => Coin Acc Disabled";
        default:
            return {};
    }
}

// The volume estimate never wraps round to look like an empty bin.
std::uint32_t AddVolume(std::uint32_t volume, std::uint32_t coinVolume) {
    const std::uint32_t room = std::numeric_limits<std::uint32_t>::max() - volume;
    return coinVolume > room ? std::numeric_limits<std::uint32_t>::max() : volume + coinVolume;
}

// One step away from Green: Green becomes Yellow, Yellow becomes Red.
void StepTowardsRed(StatusColour& colour) {
    if (colour == StatusColour::Green) {
        colour = StatusColour::Yellow;
    } else if (colour == StatusColour::Yellow) {
        colour = StatusColour::Red;
    }
}

}  // namespace

CCoinAcceptorMonitor::CCoinAcceptorMonitor(Clock& clock, const std::string& alertLibraryName,
                                           CurrencyProfile currency)
    : CDeviceMonitor(clock, alertLibraryName), currency_(std::move(currency)) {}

std::string CCoinAcceptorMonitor::FormatTrace(const MonitorMessage& received) {
    if (received.code != kCoinAcceptorCode) {
        return {};
    }
    const MonitorMessage message = ZeroFilled(received);
    switch (message.subCode) {
        case kOutput:
            return FormatOutput(message);
        case kReply:
            return message.data[0] == kCoinReport ? CoinInsertedText(message.data[1])
                                                  : std::string();
        case kRawToAcceptor:
            return "Raw Data to CoinAcc: " + FormatHexBytes(message.data.data(), message.length);
        case kRawFromAcceptor:
            return "Raw Data from CoinAcc: " + FormatHexBytes(message.data.data(), message.length);
        default:
            return {};
    }
}

void CCoinAcceptorMonitor::ProcessMessage(const MonitorMessage& received) {
    const MonitorMessage message = ZeroFilled(received);
    if (message.code == kBillAcceptorCode) {
        ProcessBillReply(message);
        return;
    }
    if (message.code != kCoinAcceptorCode) {
        return;
    }
    if (message.subCode == kOutput) {
        ProcessOutput(message);
        return;
    }
    if (message.subCode == kReply && message.data[1] == kStatusReport) {
        ProcessReply(message);
    }
}

void CCoinAcceptorMonitor::ProcessBillReply(const MonitorMessage& message) {
    if (message.subCode != kBillStatusReply || message.length < kBillStateLength) {
        return;
    }
    const std::uint8_t state = message.data[2];
    // Escrowed, stacked or returned: the customer fed a bill.
    const bool billTaken = IsBitSet(state, 2) || IsBitSet(state, 4) || IsBitSet(state, 6);
    if (billTaken && cashTransactionOpen_) {
        billSeen_ = true;
    }
}

void CCoinAcceptorMonitor::ProcessOutput(const MonitorMessage& message) {
    if (message.data[0] == kTransactionStart) {
        cashTransactionOpen_ = true;
        return;
    }
    if (message.data[0] == kTransactionEnd) {
        EndTransaction();
    }
}

void CCoinAcceptorMonitor::EndTransaction() {
    cashTransactionOpen_ = false;
    if (billSeen_ && !coinSeen_) {
        const MonitorSettings& settings = Host().Settings();
        CDeviceStatistics& statistics = Host().Statistics();
        std::lock_guard<CDeviceStatistics> lock(statistics);
        if (statistics.CoinAccRejectRate < std::numeric_limits<std::uint32_t>::max()) {
            ++statistics.CoinAccRejectRate;
        }
        if (statistics.CoinAccRejectRate >= settings.CoinAccBillsWithoutCoinCount) {
            StepTowardsRed(statistics.StatusCoinAcceptor);
            statistics.CoinAccState = DeviceState::Offline;
            Host().TraceNote(
                "Number of cash transactions without coins indications possible Coin Acceptor "
                "issue");
            if (settings.FireCoinAccBillsOnly) {
                FireEvent(kEventCoinAccBillsOnly);
            }
        }
    }
    billSeen_ = false;
    coinSeen_ = false;
}

void CCoinAcceptorMonitor::ProcessReply(const MonitorMessage& message) {
    const MonitorSettings& settings = Host().Settings();
    CDeviceStatistics& statistics = Host().Statistics();
    const std::uint8_t status = message.data[2];
    const std::uint8_t code = static_cast<std::uint8_t>(status & kCoinCodeMask);
    const Coin* coin = FindCoin(code);
    if (coin != nullptr) {
        // The bin is only estimated while its alert is wanted.
        if (settings.FireCoinAccFull) {
            std::lock_guard<CDeviceStatistics> lock(statistics);
            statistics.CoinAccCoinVolume =
                AddVolume(statistics.CoinAccCoinVolume, settings.*(coin->volume));
        }
        Host().TraceNote(CoinLine(code));
    }
    if (settings.switches.MonitorCoinAcceptor && settings.FireCoinAccFull) {
        std::lock_guard<CDeviceStatistics> lock(statistics);
        if (statistics.CoinAccCoinVolume >= settings.CoinAccBinVolume) {
            Host().TraceNote("Coin Acceptor Bin Appears to be FULL");
            statistics.CoinAccState = DeviceState::Full;
            statistics.StatusCoinAcceptor = StatusColour::Yellow;
            FireEvent(kEventCoinAccFull);
        }
    }
    Host().TraceNote(IsBitSet(status, kEnabledBit) ? "Coin Acceptor Status: Enabled"
                                                   : "Coin Acceptor Status: Disabled");
    if (coin != nullptr && settings.switches.MonitorCoinAcceptor) {
        {
            std::lock_guard<CDeviceStatistics> lock(statistics);
            statistics.CoinAccRejectRate = 0;
            statistics.StatusCoinAcceptor = StatusColour::Green;
            statistics.CoinAccLastTimeReceivedCoin = message.time;
            statistics.CoinAccState = DeviceState::Ready;
        }
        if (cashTransactionOpen_) {
            coinSeen_ = true;
        }
    }
    if (IsBitSet(status, kInvalidCoinBit)) {
        Host().TraceNote("Coin Acceptor: Invalid Coin");
    }
    if ((status & kDeckOpenMask) == kDeckOpenMask) {
        Host().TraceNote("Coin Acceptor: Deck Open (Reject)");
    }
}

std::string CCoinAcceptorMonitor::CoinLine(std::uint8_t coinCode) const {
    const Coin* coin = FindCoin(coinCode);
    if (coin == nullptr) {
        return {};
    }
    const bool canadianTwo =
        coinCode == kCanadianTwoUnitCode && currency_.currencyCode == kCanadianCurrency;
    const char* units = canadianTwo ? "2" : coin->units;
    const char* hundredths = canadianTwo ? "00" : coin->hundredths;
    return "Coin Acceptor: " + currency_.currencySymbol + units + currency_.decimalSeparator +
           hundredths;
}

void CCoinAcceptorMonitor::OnTimer() {
    ArmTimer();
    {
        const MonitorSettings& settings = Host().Settings();
        CDeviceStatistics& statistics = Host().Statistics();
        std::lock_guard<CDeviceStatistics> lock(statistics);
        if (statistics.CoinAccRejectRate < settings.CoinAccBillsWithoutCoinCount) {
            StepTowardsGreen(statistics.StatusCoinAcceptor);
        }
    }
    UpdateSystemStatus();
}

}  // namespace lane::monitor
