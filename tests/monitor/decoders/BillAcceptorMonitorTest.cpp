// The bill acceptor decoder: trace texts, statistics, rates, cleaning, latches and the hourly tick.
#include "monitor/decoders/BillAcceptorMonitor.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/monitor/decoders/DecoderTestSupport.h"

namespace lane::monitor {
namespace {

using testing::Bytes;

constexpr std::uint8_t kBill = 0xA9;
constexpr std::time_t kT0 = 1'100'000'000;

// A status reply: two header bytes, then the state, conditions, power, flash and type bytes,
// cut to `length`.
MonitorMessage Reply(std::uint8_t state, std::uint8_t conditions = 0, std::uint8_t power = 0,
                     int length = 6, std::time_t time = kT0, std::uint8_t flash = 0,
                     std::uint8_t type = 0) {
    std::vector<std::uint8_t> data = {0x02, 0x0B, state, conditions, power, flash, type};
    data.resize(static_cast<std::size_t>(length), 0);
    return Bytes(kBill, 2, data, time);
}

// Power byte with the last-bill value (bits 5..3).
constexpr std::uint8_t Value(std::uint8_t value) {
    return static_cast<std::uint8_t>(value << 3);
}

constexpr std::uint8_t kStacked = 0x10;
constexpr std::uint8_t kEscrowed = 0x04;
constexpr std::uint8_t kStacking = 0x08;
constexpr std::uint8_t kReturned = 0x40;
constexpr std::uint8_t kCheated = 0x01;
constexpr std::uint8_t kRejected = 0x02;
constexpr std::uint8_t kJammed = 0x04;
constexpr std::uint8_t kFull = 0x08;
constexpr std::uint8_t kCassetteOut = 0x10;
constexpr std::uint8_t kCalibration = 0x40;
constexpr std::uint8_t kReset = 0x01;
constexpr std::uint8_t kHardware = 0x04;
constexpr std::uint8_t kOffline = 0x40;

class BillAcceptorMonitorTest : public testing::DecoderFixture<CBillAcceptorMonitor> {
  protected:
    void Process(const MonitorMessage& message) { decoder.ProcessMessage(message); }
    void Stack(int count) {
        for (int i = 0; i < count; ++i) {
            Process(Reply(kStacked, 0, Value(5)));
        }
    }
    void Reject(int count) {
        for (int i = 0; i < count; ++i) {
            Process(Reply(0x01, kRejected));
        }
    }
};

struct TraceCase {
    const char* what;
    std::uint8_t subCode;
    std::vector<std::uint8_t> data;
    std::string text;
};

TEST_F(BillAcceptorMonitorTest, TraceTextOfEachMessage) {
    const std::vector<TraceCase> cases = {
        {"stacked twenty",
         2,
         {2, 11, 0x10, 0, 0x28, 0},
         " <= Bill Acceptor: Bill Stacked,LRC Installed,$20 Bill Last Inserted"},
        {"no bill value",
         2,
         {2, 11, 0x01, 0, 0, 0},
         " <= Bill Acceptor: In Idling State,LRC Installed,No Bills Inserted,"},
        {"length 4: only the state byte",
         2,
         {2, 11, 0x02, 0xFF},
         " <= Bill Acceptor: In Accepting State,"},
        {"length 5: conditions, no value",
         2,
         {2, 11, 0x00, 0x22, 0x00},
         " <= Bill Acceptor: Bill Rejected,LRC Installed,Paused,"},
        {"every bit",
         2,
         {2, 11, 0x7F, 0x6B, 0x7F, 0x02, 0x00},
         " <= Bill Acceptor: In Idling State,In Accepting State,In Escrowed State,"
         "In Stacking State,Bill Stacked,In Returning StateBill Returned,Bill Cheated,"
         "Bill Rejected,Stacker Full,LRC Installed,Paused,Entering Calibration Mode,"
         "$100 Bill Last Inserted"
         "Just Reset (Powering up),Received Invalid Command,Hardware Error,OFFLINE,"
         "Flash Download in progress,"},
        {"flash bit needs length 7",
         2,
         {2, 11, 0x00, 0x00, 0x08, 0x02},
         " <= Bill Acceptor: LRC Installed,$1 Bill Last Inserted"},
        {"CRC/model reply",
         2,
         {2, 11, 0x10, 0, 0x28, 0, 0x70},
         " <= Bill Acceptor: Response to CRC/Model/Version request"},
        {"status request", 1, {'1'}, " => Bill Acceptor Status Request"},
        {"enable", 1, {'2', 0x7F}, " => Bill Acceptor Enable"},
        {"disable", 1, {'2', 0}, " => Bill Acceptor Disable"},
        {"reject", 1, {'3', 1}, " => Bill Acceptor Reject"},
        {"stack", 1, {'3', 2}, " => Bill Acceptor Accept/Stack"},
        {"model request", 1, {'4'}, " => Bill Acceptor Model/Version Request"},
        {"bookmark", 1, {'5'}, " => Bill Acceptor Bookmark Mode"},
        {"calibrate", 1, {'6'}, " => Bill Acceptor Calibrate"},
        {"unknown command", 1, {'7'}, ""},
        {"bad packet", 3, {1, 2, 0}, "** Bill Acceptor: Bad/Incomplete Packet! **"},
        {"raw to", 4, {0x02, 0xAB}, "Raw Data to BillAcc:  02 AB "},
        {"raw from", 5, {0x03}, "Raw Data from BillAcc:  03 "},
        {"reset sent", 6, {0, 0, 0}, " => Reset Cmd sent to Bill Acceptor"},
        {"non-recoverable", 7, {0, 0, 0}, " => Bill Acceptor Non-recoverable Error"},
        {"model report", 8, {0x1F, 2}, ""},
        {"sub-code outside the table", 9, {1}, ""},
    };
    for (const TraceCase& c : cases) {
        CBillAcceptorMonitor fresh(clock, testing::kTestAlertLibrary, testing::DollarProfile());
        EXPECT_EQ(fresh.FormatTrace(Bytes(kBill, c.subCode, c.data)), c.text) << c.what;
    }
}

TEST_F(BillAcceptorMonitorTest, TraceFollowsJamFullCassetteAndDownloadAcrossReplies) {
    const std::vector<std::pair<MonitorMessage, std::string>> steps = {
        {Reply(0, kJammed | kFull | kCassetteOut, 0, 5), "Bill Jammed,Stacker Full,LRC Removed,"},
        {Reply(0, kJammed, 0, 5), "Bill Jammed,Stacker Just Emptied,LRC Replaced,"},
        // A short reply says nothing of the conditions and keeps the flags.
        {Reply(0, 0, 0, 4), ""},
        {Reply(0, 0, 0, 5), "Just Unjammed,LRC Installed,"},
        {Reply(0, 0, 0, 5), "LRC Installed,"},
        {Reply(0, 0, 0, 7, kT0, 0, 0x50), "Download Request"},
        // Until a command with the 0x50 bits, replies are only labelled.
        {Reply(kStacked, kJammed, Value(5), 7), ""},
        {Bytes(kBill, 1, {'1'}), " => Bill Acceptor Status Request"},
        {Reply(kStacked, 0, 0, 5), ""},
        {Bytes(kBill, 1, {0x50}), ""},
        {Reply(kStacked, 0, 0, 5), "Bill Stacked,LRC Installed,"},
    };
    for (std::size_t i = 0; i < steps.size(); ++i) {
        const MonitorMessage& message = steps[i].first;
        const std::string prefix = message.subCode == 2 ? " <= Bill Acceptor: " : "";
        EXPECT_EQ(decoder.FormatTrace(message), prefix + steps[i].second) << "step " << i;
    }
}

TEST_F(BillAcceptorMonitorTest, StackedReplyCountsABillOnlyWithItsValue) {
    // Without a value: Green and Ready, but nothing counted, so one reject is the whole rate.
    Stats().StatusBillAcceptor = StatusColour::Yellow;
    Stats().BillAccState = DeviceState::Jammed;
    Process(Reply(kStacked, 0, 0, 6, kT0));
    EXPECT_EQ(Stats().StatusBillAcceptor, StatusColour::Green);
    EXPECT_EQ(Stats().BillAccState, DeviceState::Ready);
    EXPECT_EQ(Stats().BillAccLastTimeReceivedBills, DefaultStatisticsTime());
    // The value byte only counts in a reply long enough to carry it.
    Process(Reply(kStacked, 0, Value(5), 5, kT0 + 1));
    EXPECT_EQ(Stats().BillAccLastTimeReceivedBills, DefaultStatisticsTime());
    Reject(1);
    EXPECT_EQ(Stats().BillAccRejectRate, 100u);

    Process(Reply(kStacked, 0, Value(5), 6, kT0 + 2));
    EXPECT_EQ(Stats().BillAccLastTimeReceivedBills, kT0 + 2);
    EXPECT_EQ(Stats().BillAccRejectRate, 50u);
    EXPECT_EQ(Stats().BillAccLastTimeCommunicated, kT0 + 2);
}

TEST_F(BillAcceptorMonitorTest, JamIsRaisedOncePerTimerPeriod) {
    for (int i = 0; i < 3; ++i) {
        Process(Reply(0, kJammed, 0, 5, kT0 + i));
        EXPECT_EQ(Stats().BillAccLastTimeJammed, kT0 + i);
    }
    EXPECT_EQ(Stats().BillAccState, DeviceState::Jammed);
    EXPECT_EQ(Stats().StatusBillAcceptor, StatusColour::Red);
    EXPECT_EQ(alerts.Codes(), std::vector<int>{kEventBillAccJammed});

    Settings().FireBillAccUnjammed = true;
    Process(Reply(0, 0, 0, 5, kT0 + 10));
    Process(Reply(0, 0, 0, 5, kT0 + 11));
    EXPECT_EQ(Stats().BillAccLastTimeUnjammed, kT0 + 10);
    EXPECT_EQ(Stats().BillAccState, DeviceState::Ready);
    EXPECT_EQ(Stats().StatusBillAcceptor, StatusColour::Red);

    // Still within the period: a new jam is not raised again; after the worker's tick it is.
    Process(Reply(0, kJammed, 0, 5, kT0 + 20));
    EXPECT_EQ(alerts.Codes(), (std::vector<int>{kEventBillAccJammed, kEventBillAccUnjammed}));
    testing::TickAndWait(clock);
    EXPECT_EQ(Stats().StatusBillAcceptor, StatusColour::Yellow);
    EXPECT_EQ(Stats().StatusSystem, StatusColour::Yellow);
    Process(Reply(0, kJammed, 0, 5, kT0 + 30));
    EXPECT_EQ(alerts.Codes(),
              (std::vector<int>{kEventBillAccJammed, kEventBillAccUnjammed, kEventBillAccJammed}));
}

TEST_F(BillAcceptorMonitorTest, ShortRepliesAndModelReplies) {
    // Length 4: a jam, reset and offline bit are beyond the reply and not interpreted.
    Process(Reply(kStacked, kJammed | kFull, kReset | kOffline | Value(5), 4, kT0));
    EXPECT_EQ(Stats().BillAccLastTimeCommunicated, kT0);
    EXPECT_EQ(Stats().BillAccState, DeviceState::Ready);
    EXPECT_EQ(Stats().BillAccLastTimeReceivedBills, DefaultStatisticsTime());
    EXPECT_TRUE(alerts.Codes().empty());

    // 0x70 carries both marks: processing takes it as a download request.
    MonitorMessage both = Reply(0, kJammed, 0, 9, kT0 + 1, 0, 0x70);
    both.data[7] = 0x54;
    both.data[8] = 0x12;
    Process(both);
    EXPECT_EQ(Stats().BillAccLastTimeCommunicated, kT0 + 1);
    EXPECT_EQ(Stats().BillAccModel, 0u);
    EXPECT_EQ(Stats().BillAccState, DeviceState::Ready);

    MonitorMessage model = Reply(0, kJammed, 0, 8, kT0 + 2, 0, 0x60);
    model.data[7] = 0x54;
    Process(model);
    EXPECT_EQ(Stats().BillAccModel, 0x54u);
    EXPECT_EQ(Stats().BillAccRevision, 0u);
    EXPECT_EQ(Stats().BillAccState, DeviceState::Ready);  // a model reply says nothing else
    model.length = 9;
    model.data[8] = 0x12;
    Process(model);
    EXPECT_EQ(Stats().BillAccRevision, 0x12u);

    Process(Bytes(kBill, 8, {0x1F, 0x03}));
    EXPECT_EQ(Stats().BillAccModel, 0x1Fu);
    EXPECT_EQ(Stats().BillAccRevision, 3u);
    Process(Bytes(kBill, 3, {0xDE, 0xAD, 0x00}, kT0 + 3));
    EXPECT_EQ(Stats().BillAccLastBadPacket, "DE AD 00 ");
    EXPECT_EQ(Stats().BillAccLastTimeBadPacket, kT0 + 3);
    // Commands, raw traffic and unknown sub-codes change nothing.
    Process(Bytes(kBill, 1, {'3', 1}, kT0 + 4));
    Process(Bytes(kBill, 5, {0x10, 0x10}, kT0 + 4));
    Process(Bytes(kBill, 0xEE, {2, 11, kStacked, 0, Value(5), 0}, kT0 + 4));
    EXPECT_EQ(Stats().BillAccLastTimeCommunicated, kT0 + 2);
}

struct HandlerCase {
    const char* what;
    MonitorMessage reply;
    std::vector<int> events;
    std::time_t CDeviceStatistics::*stamp;
    DeviceState state;
    StatusColour colour;
};

TEST_F(BillAcceptorMonitorTest, EachConditionRunsItsHandler) {
    Settings().FireBillAccEmptied = true;
    Settings().FireBillAccCassetteReplaced = true;
    const std::vector<HandlerCase> cases = {
        {"reset with a bill in escrow",
         Reply(kEscrowed, 0, kReset),
         {26, 27},
         &CDeviceStatistics::BillAccLastTimeResetWithBill,
         DeviceState::Ready,
         StatusColour::Green},
        {"reset while stacking",
         Reply(kEscrowed | kStacking, 0, kReset),
         {26},
         &CDeviceStatistics::BillAccLastTimeReset,
         DeviceState::Ready,
         StatusColour::Green},
        {"cheated",
         Reply(0, kCheated),
         {21},
         &CDeviceStatistics::BillAccLastTimeCheatMode,
         DeviceState::Ready,
         StatusColour::Green},
        {"calibration",
         Reply(0, kCalibration),
         {25},
         &CDeviceStatistics::BillAccLastTimeEnteredCalibration,
         DeviceState::Ready,
         StatusColour::Green},
        {"full",
         Reply(0, kFull),
         {17},
         &CDeviceStatistics::BillAccLastTimeFull,
         DeviceState::Full,
         StatusColour::Red},
        {"still full",
         Reply(0, kFull),
         {},
         &CDeviceStatistics::BillAccLastTimeFull,
         DeviceState::Full,
         StatusColour::Red},
        {"emptied",
         Reply(0, 0),
         {18},
         &CDeviceStatistics::BillAccLastTimeEmptied,
         DeviceState::Ready,
         StatusColour::Green},
        {"cassette removed",
         Reply(0, kCassetteOut),
         {19},
         &CDeviceStatistics::BillAccLastTimeCassetteRemoved,
         DeviceState::CassetteRemoved,
         StatusColour::Red},
        {"still removed",
         Reply(0, kCassetteOut),
         {},
         &CDeviceStatistics::BillAccLastTimeCassetteRemoved,
         DeviceState::CassetteRemoved,
         StatusColour::Red},
        {"replaced",
         Reply(0, 0),
         {20},
         &CDeviceStatistics::BillAccLastTimeCassetteReplaced,
         DeviceState::Ready,
         StatusColour::Green},
        {"hardware failure",
         Reply(kEscrowed, 0, kHardware),
         {28},
         &CDeviceStatistics::BillAccLastTimeNonrecoverableError,
         DeviceState::CommError,
         StatusColour::Red},
        {"offline",
         Reply(0, 0, kOffline),
         {29},
         &CDeviceStatistics::BillAccLasttimeOffline,
         DeviceState::Offline,
         StatusColour::Red},
        {"still offline",
         Reply(0, 0, kOffline),
         {},
         &CDeviceStatistics::BillAccLasttimeOffline,
         DeviceState::Offline,
         StatusColour::Red},
    };
    std::size_t seen = 0;
    std::time_t time = kT0;
    for (HandlerCase c : cases) {
        c.reply.time = ++time;
        Process(c.reply);
        const std::vector<int> codes = alerts.Codes();
        ASSERT_GE(codes.size(), seen) << c.what;
        EXPECT_EQ(std::vector<int>(codes.begin() + static_cast<long>(seen), codes.end()), c.events)
            << c.what;
        seen = codes.size();
        EXPECT_EQ(Stats().*c.stamp, time) << c.what;
        EXPECT_EQ(Stats().BillAccState, c.state) << c.what;
        EXPECT_EQ(Stats().StatusBillAcceptor, c.colour) << c.what;
    }
}

TEST_F(BillAcceptorMonitorTest, SwitchedOffAlertsAreNotRaised) {
    MonitorSettings& s = Settings();
    s.FireBillAccJammed = s.FireBillAccFull = s.FireBillAccReset = s.FireBillAccResetWithEscrow =
        s.FireBillAccOffline = s.FireBillAccCheatMode = s.FireBillAccRejectRateHigh =
            s.FireBillAccRepeatedReject = false;
    Process(Reply(kEscrowed, kJammed | kFull | kCheated | kRejected, kReset | kOffline));
    EXPECT_EQ(Stats().BillAccState, DeviceState::Offline);
    Reject(20);
    EXPECT_TRUE(alerts.Codes().empty());
}

TEST_F(BillAcceptorMonitorTest, RejectRateCallsForCleaningFromTheTwentiethBill) {
    Settings().BillAccRejectRateRejectCount = 3;  // threshold 30 %
    Settings().BillAccRejectRateCompareCount = 10;
    Settings().BillAccRejectRepeatedRejectCount = 100;
    Stack(14);
    Reject(5);
    EXPECT_FALSE(Stats().BillAccRequireCleaning);
    EXPECT_EQ(Stats().BillAccRejectRate, 26u);
    Reject(1);  // 6 of 20: 30 % calls for cleaning, but the alert wants more than 30 %
    EXPECT_TRUE(Stats().BillAccRequireCleaning);
    EXPECT_EQ(Stats().BillAccRejectRate, 30u);
    EXPECT_TRUE(alerts.Codes().empty());
    Reject(2);  // 7 of 21, 8 of 22: raised once in the period
    EXPECT_EQ(alerts.Codes(), std::vector<int>{kEventBillAccRejectRateHigh});
    // While the rate is high the hourly tick keeps the colour.
    Stats().StatusBillAcceptor = StatusColour::Yellow;
    decoder.OnTimer();
    EXPECT_EQ(Stats().StatusBillAcceptor, StatusColour::Yellow);
    Reject(1);
    EXPECT_EQ(alerts.Codes(),
              (std::vector<int>{kEventBillAccRejectRateHigh, kEventBillAccRejectRateHigh}));
    Stack(40);  // 9 of 63: 14 %
    EXPECT_FALSE(Stats().BillAccRequireCleaning);
    Stats().StatusBillAcceptor = StatusColour::Yellow;
    decoder.OnTimer();
    EXPECT_EQ(Stats().StatusBillAcceptor, StatusColour::Green);
}

TEST_F(BillAcceptorMonitorTest, NineteenBillsNeverCallForCleaningByRate) {
    Settings().BillAccRejectRepeatedRejectCount = 100;
    Reject(19);
    EXPECT_FALSE(Stats().BillAccRequireCleaning);
    EXPECT_EQ(Stats().BillAccRejectRate, 100u);
    Reject(1);
    EXPECT_TRUE(Stats().BillAccRequireCleaning);
}

TEST_F(BillAcceptorMonitorTest, ReturnsAndNotStackedRatesCallForCleaning) {
    Settings().BillAccRejectRepeatedRejectCount = 100;
    // 5 returned of 20 is 25 %.
    Stack(15);
    for (int i = 0; i < 5; ++i) {
        Process(Reply(kReturned));
    }
    EXPECT_TRUE(Stats().BillAccRequireCleaning);
    EXPECT_EQ(Stats().BillAccRejectRate, 0u);
}

TEST_F(BillAcceptorMonitorTest, CompareCountZeroMakesTheRateThresholdUnreachable) {
    Settings().BillAccRejectRateCompareCount = 0;
    Settings().BillAccRejectRepeatedRejectCount = 100;
    Stack(14);
    Reject(6);  // 30 % rejected, below the not-stacked rate of 35 %
    EXPECT_FALSE(Stats().BillAccRequireCleaning);
    Reject(20);
    EXPECT_EQ(Stats().BillAccRejectRate, 65u);
    EXPECT_TRUE(Stats().BillAccRequireCleaning);  // by the not-stacked rate
    EXPECT_TRUE(alerts.Codes().empty());
}

TEST_F(BillAcceptorMonitorTest, RepeatedRejectsTurnYellowUntilABillIsStacked) {
    Settings().BillAccRejectRepeatedRejectCount = 3;
    Settings().FireBillAccRejectRateHigh = false;
    Reject(2);
    EXPECT_EQ(Stats().StatusBillAcceptor, StatusColour::Green);
    Reject(2);
    EXPECT_EQ(Stats().BillAccRepeatedRejects, 4u);
    EXPECT_EQ(Stats().StatusBillAcceptor, StatusColour::Yellow);
    EXPECT_TRUE(Stats().BillAccRequireCleaning);
    EXPECT_EQ(alerts.Codes(), std::vector<int>{kEventBillAccRepeatedReject});
    decoder.OnTimer();  // the run still holds
    EXPECT_EQ(Stats().StatusBillAcceptor, StatusColour::Yellow);
    Reject(1);
    EXPECT_EQ(alerts.Codes(),
              (std::vector<int>{kEventBillAccRepeatedReject, kEventBillAccRepeatedReject}));
    // A jammed (Red) acceptor stays Red through a reject run.
    Process(Reply(0, kJammed | kRejected));
    Reject(1);
    EXPECT_EQ(Stats().StatusBillAcceptor, StatusColour::Red);
    Process(Reply(kStacked, 0, Value(4)));
    EXPECT_EQ(Stats().StatusBillAcceptor, StatusColour::Green);
    EXPECT_FALSE(Stats().BillAccRequireCleaning);
    // A returned bill breaks the run too.
    Reject(2);
    Process(Reply(kReturned));
    Reject(2);
    EXPECT_EQ(Stats().StatusBillAcceptor, StatusColour::Green);
}

TEST_F(BillAcceptorMonitorTest, RedNeedsTwoQuietTicks) {
    Process(Reply(0, 0, kHardware));
    EXPECT_EQ(Stats().StatusBillAcceptor, StatusColour::Red);
    decoder.OnTimer();
    EXPECT_EQ(Stats().StatusBillAcceptor, StatusColour::Yellow);
    EXPECT_EQ(Stats().StatusSystem, StatusColour::Yellow);
    decoder.OnTimer();
    EXPECT_EQ(Stats().StatusBillAcceptor, StatusColour::Green);
    EXPECT_EQ(Stats().StatusSystem, StatusColour::Green);
}

}  // namespace
}  // namespace lane::monitor
