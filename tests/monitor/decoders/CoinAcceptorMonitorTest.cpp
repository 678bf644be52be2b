// The coin acceptor decoder: trace texts, coins and the bin estimate, bills-only transactions.
#include "monitor/decoders/CoinAcceptorMonitor.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/monitor/decoders/DecoderTestSupport.h"

namespace lane::monitor {
namespace {

using testing::Bytes;

constexpr std::uint8_t kCoin = 0xA8;
constexpr std::uint8_t kBill = 0xA9;
constexpr std::time_t kT0 = 1'100'000'000;

MonitorMessage StatusReply(std::uint8_t status, std::time_t time = kT0) {
    return Bytes(kCoin, 2, {'x', '1', status}, time);
}

class CoinAcceptorMonitorTest : public testing::DecoderFixture<CCoinAcceptorMonitor> {
  protected:
    void Process(const MonitorMessage& message) { decoder.ProcessMessage(message); }
    void Transaction(bool withCoin) {
        Process(Bytes(kCoin, 1, {'2'}));
        Process(Bytes(kBill, 2, {0x02, 0x0B, 0x10, 0, 0x28, 0}));
        if (withCoin) {
            Process(StatusReply(0x0C, kT0 + 100));
        }
        Process(Bytes(kCoin, 1, {'3'}));
    }
    std::vector<std::string> TakeNotes() {
        std::vector<std::string> notes = host.Notes();
        std::vector<std::string> fresh(notes.begin() + static_cast<long>(notesSeen_), notes.end());
        notesSeen_ = notes.size();
        return fresh;
    }

  private:
    std::size_t notesSeen_ = 0;
};

class CanadianCoinAcceptorTest : public testing::DecoderFixture<CCoinAcceptorMonitor> {
  protected:
    CanadianCoinAcceptorTest() : DecoderFixture(CurrencyProfile{"CAD", 0x1009, "$", ".", ","}) {}
};

// A French lane's profile as the system's fr_FR locale gives it.
class EuroCoinAcceptorTest : public testing::DecoderFixture<CCoinAcceptorMonitor> {
  protected:
    EuroCoinAcceptorTest() : DecoderFixture(MakeCurrencyProfile("2")) {}
};

struct TraceCase {
    std::uint8_t code;
    std::uint8_t subCode;
    std::vector<std::uint8_t> data;
    std::string text;
};

TEST_F(CoinAcceptorMonitorTest, TraceTextOfEachMessage) {
    const std::vector<TraceCase> cases = {
        {kCoin, 1, {0x02, 'E', 0x03}, " => Coin Acc Enabled"},
        {kCoin, 1, {0x02, 'D', 0x03}, " => Coin Acc Disabled"},
        {kCoin, 1, {0x02, 'X', 0x03}, ""},
        {kCoin, 1, {0x02, 'E', 0x04}, " - Coin Acc Output"},
        {kCoin, 1, {'2'}, " - Coin Acc Output"},
        {kCoin, 2, {'C', 1}, " <= 0.01 Coin Inserted"},
        {kCoin, 2, {'C', 2}, " <= 0.05 Coin Inserted"},
        {kCoin, 2, {'C', 3}, " <= 0.10 Coin Inserted"},
        {kCoin, 2, {'C', 4}, " <= 0.25 Coin Inserted"},
        {kCoin, 2, {'C', 5}, " <= 0.50 Coin Inserted"},
        {kCoin, 2, {'C', 6}, " <= 1.00 Coin Inserted"},
        {kCoin, 2, {'C', 34}, " <= 0.20 Coin Inserted"},
        {kCoin, 2, {'C', 35}, " <= 2.00 Coin Inserted"},
        {kCoin, 2, {'C', 33}, " <= Unknown Coin Inserted"},
        {kCoin, 2, {'C'}, " <= Unknown Coin Inserted"},
        {kCoin, 2, {'x', '1', 0x0C}, ""},
        {kCoin, 3, {0x02, 0x45}, "Raw Data to CoinAcc:  02 45 "},
        {kCoin, 4, {}, "Raw Data from CoinAcc:  "},
        {kCoin, 5, {1, 2}, ""},
        {kBill, 2, {0x02, 0x0B, 0x10}, ""},
    };
    for (const TraceCase& c : cases) {
        EXPECT_EQ(decoder.FormatTrace(Bytes(c.code, c.subCode, c.data)), c.text)
            << "sub-code " << int(c.subCode) << " data " << c.data.size();
    }
}

struct ReplyCase {
    std::uint8_t status;
    bool fireFull;
    std::vector<std::string> notes;
    std::uint32_t volume;  // added to the estimate
    bool coinReceived;
};

TEST_F(CoinAcceptorMonitorTest, EachReplyStatus) {
    const std::string enabled = "Coin Acceptor Status: Enabled";
    const std::string disabled = "Coin Acceptor Status: Disabled";
    const std::vector<ReplyCase> cases = {
        {0x0C, true, {"Coin Acceptor: $0.25", enabled}, 1029, true},
        {0x0C, false, {"Coin Acceptor: $0.25", enabled}, 0, true},
        {0x09, true, {"Coin Acceptor: $0.01", enabled}, 563, true},
        {0x02, true, {"Coin Acceptor: $0.05", disabled}, 877, true},
        {0x03, true, {"Coin Acceptor: $0.10", disabled}, 433, true},
        {0x05, true, {"Coin Acceptor: $0.50", disabled}, 2015, true},
        {0x0E, true, {"Coin Acceptor: $1.00", enabled}, 1404, true},
        {0x21, true, {"Coin Acceptor: $0.02", disabled}, 0, true},
        {0x22, true, {"Coin Acceptor: $0.20", disabled}, 925, true},
        {0x6B, true, {"Coin Acceptor: $2.00", enabled, "Coin Acceptor: Invalid Coin"}, 1600, true},
        {0x07, true, {disabled, "Coin Acceptor: Deck Open (Reject)"}, 0, false},
        {0x48, true, {enabled, "Coin Acceptor: Invalid Coin"}, 0, false},
        {0x27, true, {disabled, "Coin Acceptor: Deck Open (Reject)"}, 0, false},
        {0x10, true, {disabled}, 0, false},
    };
    std::time_t time = kT0;
    for (const ReplyCase& c : cases) {
        Settings().FireCoinAccFull = c.fireFull;
        Stats().StatusCoinAcceptor = StatusColour::Yellow;
        const std::uint32_t before = Stats().CoinAccCoinVolume;
        const std::time_t lastCoin = Stats().CoinAccLastTimeReceivedCoin;
        Process(StatusReply(c.status, ++time));
        const std::string what = "status " + std::to_string(c.status);
        EXPECT_EQ(TakeNotes(), c.notes) << what;
        EXPECT_EQ(Stats().CoinAccCoinVolume - before, c.volume) << what;
        EXPECT_EQ(Stats().CoinAccLastTimeReceivedCoin, c.coinReceived ? time : lastCoin) << what;
        EXPECT_EQ(Stats().StatusCoinAcceptor,
                  c.coinReceived ? StatusColour::Green : StatusColour::Yellow)
            << what;
    }
    // Replies that are not status replies change nothing.
    Process(Bytes(kCoin, 2, {'x', '2', 0x0C}, ++time));
    Process(Bytes(kCoin, 4, {'x', '1', 0x0C}, time));
    EXPECT_TRUE(TakeNotes().empty());
    EXPECT_NE(Stats().CoinAccLastTimeReceivedCoin, time);
    EXPECT_TRUE(alerts.Codes().empty());
}

TEST_F(CanadianCoinAcceptorTest, CodeFiveIsTheTwoDollarCoinWithTheFiftyCentVolume) {
    decoder.ProcessMessage(StatusReply(0x0D));
    EXPECT_EQ(host.Notes(),
              (std::vector<std::string>{"Coin Acceptor: $2.00", "Coin Acceptor Status: Enabled"}));
    EXPECT_EQ(Stats().CoinAccCoinVolume, Settings().CoinAcc50Volume);
}

TEST_F(EuroCoinAcceptorTest, CoinLineUsesTheLocalesSymbolAndDecimalComma) {
    decoder.ProcessMessage(StatusReply(0x0C));
    decoder.ProcessMessage(StatusReply(0x05));
    EXPECT_EQ(host.Notes(), (std::vector<std::string>{"Coin Acceptor: \xE2\x82\xAC"
                                                      "0,25",
                                                      "Coin Acceptor Status: Enabled",
                                                      "Coin Acceptor: \xE2\x82\xAC"
                                                      "0,50",
                                                      "Coin Acceptor Status: Disabled"}));
}

TEST_F(CoinAcceptorMonitorTest, BinFullIsReportedOnEveryReplyAtOrAboveTheBinVolume) {
    Settings().CoinAccBinVolume = 2058;
    Process(StatusReply(0x0C));
    EXPECT_EQ(Stats().CoinAccState, DeviceState::Ready);
    TakeNotes();
    Process(StatusReply(0x0C));  // 2058: full, but the coin itself sets Ready and Green after
    EXPECT_EQ(TakeNotes(), (std::vector<std::string>{"Coin Acceptor: $0.25",
                                                     "Coin Acceptor Bin Appears to be FULL",
                                                     "Coin Acceptor Status: Enabled"}));
    EXPECT_EQ(Stats().CoinAccState, DeviceState::Ready);
    Process(StatusReply(0x08));  // no coin: the full state stays
    Process(StatusReply(0x08));
    EXPECT_EQ(Stats().CoinAccState, DeviceState::Full);
    EXPECT_EQ(Stats().StatusCoinAcceptor, StatusColour::Yellow);
    EXPECT_EQ(alerts.Codes(), std::vector<int>(3, kEventCoinAccFull));
    // Without the coin acceptor monitored, or without the alert, the bin is not checked.
    Settings().switches.MonitorCoinAcceptor = false;
    Process(StatusReply(0x08));
    Settings().switches.MonitorCoinAcceptor = true;
    Settings().FireCoinAccFull = false;
    Process(StatusReply(0x08));
    EXPECT_EQ(alerts.Codes().size(), 3u);
}

TEST_F(CoinAcceptorMonitorTest, BillsOnlyTransactionsRaiseOnTheLastAndEveryOneAfter) {
    const std::string note =
        "Number of cash transactions without coins indications possible Coin Acceptor issue";
    Settings().CoinAccBillsWithoutCoinCount = 3;
    Transaction(false);
    Transaction(false);
    EXPECT_EQ(Stats().CoinAccRejectRate, 2u);
    EXPECT_TRUE(alerts.Codes().empty());
    Transaction(false);
    EXPECT_EQ(Stats().CoinAccRejectRate, 3u);
    EXPECT_EQ(Stats().CoinAccState, DeviceState::Offline);
    EXPECT_EQ(Stats().StatusCoinAcceptor, StatusColour::Yellow);
    EXPECT_EQ(TakeNotes(), std::vector<std::string>{note});
    EXPECT_EQ(alerts.Codes(), std::vector<int>{kEventCoinAccBillsOnly});
    Transaction(false);
    EXPECT_EQ(Stats().StatusCoinAcceptor, StatusColour::Red);
    EXPECT_EQ(alerts.Codes(), std::vector<int>(2, kEventCoinAccBillsOnly));
    // The tick does not recover while the count is at its threshold.
    decoder.OnTimer();
    EXPECT_EQ(Stats().StatusCoinAcceptor, StatusColour::Red);

    // Bills outside a transaction, other bill sub-codes and short replies do not count.
    TakeNotes();
    Process(Bytes(kBill, 2, {0x02, 0x0B, 0x10}));
    Process(Bytes(kCoin, 1, {'2'}));
    Process(Bytes(kBill, 4, {0x02, 0x0B, 0x54}));
    Process(Bytes(kBill, 2, {0x02, 0x0B}));
    Process(Bytes(kCoin, 1, {'3'}));
    Process(Bytes(kCoin, 1, {'3'}));  // an end without a start still evaluates
    EXPECT_EQ(Stats().CoinAccRejectRate, 4u);

    // A transaction with a coin sets the count back and the colour Green at once.
    Transaction(true);
    EXPECT_EQ(Stats().CoinAccRejectRate, 0u);
    EXPECT_EQ(Stats().StatusCoinAcceptor, StatusColour::Green);
    EXPECT_EQ(Stats().CoinAccState, DeviceState::Ready);
    Transaction(false);
    EXPECT_EQ(Stats().CoinAccRejectRate, 1u);
}

TEST_F(CoinAcceptorMonitorTest, TickRecoversOneStepBelowTheThreshold) {
    Stats().StatusCoinAcceptor = StatusColour::Red;
    Stats().StatusBillAcceptor = StatusColour::Green;
    decoder.OnTimer();
    EXPECT_EQ(Stats().StatusCoinAcceptor, StatusColour::Yellow);
    EXPECT_EQ(Stats().StatusSystem, StatusColour::Yellow);
    decoder.OnTimer();
    EXPECT_EQ(Stats().StatusCoinAcceptor, StatusColour::Green);
    EXPECT_EQ(Stats().StatusSystem, StatusColour::Green);
}

}  // namespace
}  // namespace lane::monitor
