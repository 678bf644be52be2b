// The bill dispenser decoder: trace texts, commands, status bytes, rejects and dispense replies.
#include "monitor/decoders/BillDispenserMonitor.h"

#include <gtest/gtest.h>

#include "tests/monitor/decoders/BillDispenserTestSupport.h"

namespace lane::monitor {
namespace {

using namespace testing;

constexpr std::time_t kT0 = 1'300'000'000;

class BillDispenserMonitorTest : public BillDispenserFixture {};

TEST_F(BillDispenserMonitorTest, TraceTextOfEachMessage) {
    const struct {
        std::uint8_t code;
        std::uint8_t subCode;
        std::string text;
    } cases[] = {
        {kBillDisp, 1, " - Bill Dispenser OUTPUT"},
        {kBillDisp, 2, " - Bill Dispenser INPUT"},
        {kBillDisp, 3, " - Bill Dispenser STATUS BYTE"},
        {kBillDisp, 4, " - Bill Dispenser RESET"},
        {kBillDisp, 5, " - Bill Dispenser XMN ERROR/RESET XMN"},
        {kBillDisp, 6, " - Bill Dispenser Comm Error"},
        {kBillDisp, 7, ""},
        {0xAE, 1, ""},
        {0xB1, 1, ""},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(decoder.FormatTrace(Bytes(c.code, c.subCode, {'x'})), c.text)
            << int(c.code) << "/" << int(c.subCode);
    }
}

TEST_F(BillDispenserMonitorTest, CommandsAndTheDispenseCommandsFields) {
    const struct {
        std::vector<std::uint8_t> data;
        Notes notes;
        bool reset;
    } cases[] = {
        {{0x02, '3', '0', 'B', kSep, '0', kSep, 'B', '0', '0', '2', kSep, 'D', '0', '0', '1'},
         {"Bill Dispenser: Dispense Command:", "Bill Dispenser: Timeout = Normal",
          "Bill Dispenser: Denomination: B Dispense: 2",
          "Bill Dispenser: Denomination: D Dispense: 1"},
         false},
        // A fast timeout; digits that stop early; only six of the groups are traced.
        {{0x02, '3', '0',  'B',  kSep, '1', kSep, 'A',  '1',  '2', 'x', kSep, 'B',  '0',
          '0',  '1', kSep, 'C',  '0',  '0', '1',  kSep, 'D',  '0', '0', '1',  kSep, 'E',
          '0',  '0', '1',  kSep, 'F',  '0', '0',  '1',  kSep, 'G', '9', '9',  '9'},
         {"Bill Dispenser: Dispense Command:", "Bill Dispenser: Timeout = Fast",
          "Bill Dispenser: Denomination: A Dispense: 12",
          "Bill Dispenser: Denomination: B Dispense: 1",
          "Bill Dispenser: Denomination: C Dispense: 1",
          "Bill Dispenser: Denomination: D Dispense: 1",
          "Bill Dispenser: Denomination: E Dispense: 1",
          "Bill Dispenser: Denomination: F Dispense: 1"},
         false},
        // A separator in the last byte: its group has no letter and no line.
        {{0x02, '3', '0', 'B', kSep, '0', kSep},
         {"Bill Dispenser: Dispense Command:", "Bill Dispenser: Timeout = Normal"},
         false},
        {{0x02, '1', '0', '0'}, {"Bill Dispenser: Reset Command"}, true},
        {{0x02, '3', '0', '0'}, {"Bill Dispenser: Reset Command"}, true},
        {{0x02, '2', '0', '0'}, {"Bill Dispenser: Status Command"}, false},
        {{0x02, '3', '0', '5'}, {"Bill Dispenser: Status Command"}, false},
        {{0x02, '3', '0', '4'}, {"Bill Dispenser: Configuration Command"}, false},
        {{0x02, '3', '0', 'A'}, {"Bill Dispenser: Purge Command"}, false},
        {{0x02, '3', '0', 'C'}, {}, false},
        {{0x02, '4', '0', 'B'}, {}, false},
    };
    std::time_t time = kT0;
    for (const auto& c : cases) {
        const std::time_t resetBefore = Stats().BillDispLastTimeReset;
        Process(Bytes(kBillDisp, 1, c.data, ++time));
        EXPECT_EQ(TakeNotes(), c.notes) << "command " << c.data[1] << c.data[3];
        EXPECT_EQ(Stats().BillDispLastTimeReset, c.reset ? time : resetBefore);
        EXPECT_EQ(TakeEvents(),
                  c.reset ? std::vector<int>{kEventBillDispReset} : std::vector<int>{});
        EXPECT_EQ(Stats().BillDispLastTimeCommunicated, time);
    }
}

// The security module's view of the link, then the dispenser's own status replies.
TEST_F(BillDispenserMonitorTest, LinkStatusAndStatusRepliesMoveTheState) {
    const struct {
        std::uint8_t subCode;
        std::vector<std::uint8_t> data;
        Notes notes;
        DeviceState state;
        StatusColour colour;
        std::vector<int> events;
    } cases[] = {
        {3,
         {0x01},
         {"Bill Dispenser Status: OFFLINE"},
         DeviceState::Offline,
         StatusColour::Red,
         {kEventBillDispOffline}},
        {3,
         {0x00},
         {"Bill Dispenser Status: READY"},
         DeviceState::Ready,
         StatusColour::Green,
         {kEventBillDispOnline}},
        {3,
         {0x0E},
         {"Bill Dispenser Status: SEND ERROR", "Bill Dispenser Status: BUSY",
          "Bill Dispenser Status: COMM ERROR"},
         DeviceState::CommError,
         StatusColour::Red,
         {}},
        {3,
         {0x04},
         {"Bill Dispenser Status: BUSY", "Bill Dispenser Status: READY"},
         DeviceState::Ready,
         StatusColour::Green,
         {}},
        {3, {0x00}, {}, DeviceState::Ready, StatusColour::Green, {}},
        {2,
         {0x02, '2', 0x03},
         {"Bill Dispenser Status: COMM ERROR", "Bill Dispenser Status: OFFLINE"},
         DeviceState::Offline,
         StatusColour::Red,
         {kEventBillDispOffline}},
        {2,
         {0x02, '2', 0x02},
         {"Bill Dispenser Status: COMM ERROR"},
         DeviceState::CommError,
         StatusColour::Red,
         {}},
        // Any reply brings the dispenser back to Ready; the colour waits for a clean report.
        {2, {0x02, '2', 0x00}, {}, DeviceState::Ready, StatusColour::Red, {}},
        {4,
         {},
         {"BillDispenser Reset by Monitor"},
         DeviceState::Ready,
         StatusColour::Red,
         {kEventBillDispReset}},
        {5,
         {},
         {"BillDispenser: XMN Error -> Reset XMN"},
         DeviceState::Ready,
         StatusColour::Red,
         {}},
        {6, {}, {"BillDispenser: Comm Error"}, DeviceState::Ready, StatusColour::Red, {}},
    };
    std::time_t time = kT0;
    for (const auto& c : cases) {
        Process(Bytes(kBillDisp, c.subCode, c.data, ++time));
        const std::string what = "sub-code " + std::to_string(c.subCode) + " byte " +
                                 std::to_string(c.data.empty() ? 0 : c.data.back());
        EXPECT_EQ(TakeNotes(), c.notes) << what;
        EXPECT_EQ(Stats().BillDispState, c.state) << what;
        EXPECT_EQ(Stats().StatusBillDispenser, c.colour) << what;
        EXPECT_EQ(TakeEvents(), c.events) << what;
        // Every message ends by deriving the lane's colour.
        EXPECT_EQ(Stats().StatusSystem, c.colour) << what;
    }
    EXPECT_EQ(Stats().BillDispLastTimeUnitOffline, kT0 + 7);
    EXPECT_EQ(Stats().BillDispLastTimeReset, kT0 + 9);
}

TEST_F(BillDispenserMonitorTest, CommandRejectsNameTheCommandAndReason) {
    Settings().FireBillDispCommandReject = false;  // the reject is reported all the same
    const struct {
        std::uint8_t command;
        std::uint8_t reason;
        std::string commandLine;
        std::string reasonLine;
    } cases[] = {
        {'B', 'A', "Bill Dispenser Rejected Cmd: Dispense",
         "Bill Dispenser Reason Code: Dispense data invalid"},
        {'0', '0', "Bill Dispenser Rejected Cmd: Reset",
         "Bill Dispenser Reason Code: Invalid command"},
        {'4', '1', "Bill Dispenser Rejected Cmd: Return Configuration",
         "Bill Dispenser Reason Code: Command out of sequence"},
        {'5', '2', "Bill Dispenser Rejected Cmd: Return Current Status",
         "Bill Dispenser Reason Code: Buffer overflow"},
        {'A', '3', "Bill Dispenser Rejected Cmd: Purge",
         "Bill Dispenser Reason Code: Bad device ID"},
        {'C', 0x40, "Bill Dispenser Rejected Cmd: Test Dispense",
         "Bill Dispenser Reason Code: Denomination error"},
        {'B', 'B', "Bill Dispenser Rejected Cmd: Dispense",
         "Bill Dispenser Reason Code: No cassette in feed module (test dispense)"},
        {0x80, 0xFF, "Bill Dispenser Rejected Cmd: 0x80", "Bill Dispenser Reason Code: 0xff"},
        {0x00, 0x07, "Bill Dispenser Rejected Cmd: 0x0", "Bill Dispenser Reason Code: 0x7"},
    };
    std::time_t time = kT0;
    for (const auto& c : cases) {
        Process(Response('0', {c.command, c.reason}, ++time));
        EXPECT_EQ(TakeNotes(),
                  (Notes{"Bill Dispenser: Command Reject", c.commandLine, c.reasonLine}));
        EXPECT_EQ(Stats().BillDispLastCommandRejected, c.commandLine);
        EXPECT_EQ(Stats().BillDispLastCmdRejectReason, c.reasonLine);
        EXPECT_EQ(Stats().BillDispLastTimeCommandReject, time);
        EXPECT_EQ(TakeEvents(), std::vector<int>{kEventBillDispCommandReject});
    }
}

TEST_F(BillDispenserMonitorTest, PurgeReplies) {
    Process(Response('A', {}, kT0));
    Process(Response('A', {';', '8', 0x90}, kT0));
    EXPECT_EQ(TakeNotes(), (Notes{"Bill Dispenser: Purge Command Response",
                                  "Bill Dispenser: Purge Command Complete",
                                  "Bill Dispenser: Purge Command Response",
                                  "Bill Dispenser: Purge Error: 0x3b  Status:: 0x38 0x90"}));
}

// A module low during a dispense, an unmapped letter, rejected notes, then the refill.
TEST_F(BillDispenserMonitorTest, DispenseRepliesPerFeedModule) {
    Process(Response('B', {kSep, '1', 'c', '0',  '0', '3', '0',  '0', '0', kSep, '2', 'F',
                           '0',  '0', '2', '0',  '0', '0', kSep, '4', 'D', '0',  '0', '0',
                           '0',  '0', '1', kSep, '3', 'B', '0',  '0', '0', '0',  '0', '2'},
                     kT0));
    EXPECT_EQ(TakeNotes(),
              (Notes{"Bill Dispenser: Dispense Command Response",
                     "Bill Dispenser: Feed Module: 1  Denomination: $10 (C)  <low>  Dispensed: 3  "
                     "Rejected: 0",
                     "Bill Dispenser: Feed Module: 2  Denomination: $X (F)    Dispensed: 2  "
                     "Rejected: 0",
                     "Bill Dispenser: Feed Module: 3  Denomination: $5 (B)    Dispensed: 0  "
                     "Rejected: 2",
                     "Bill Dispenser: Feed Module: 4  Denomination: $20 (D)    Dispensed: 0  "
                     "Rejected: 1"}));
    EXPECT_EQ(Stats().BillDispFMnDenomination[0], "$10");
    EXPECT_EQ(Stats().BillDispFMnDenomination[1], "<Unmapped Currency Code>");
    EXPECT_EQ(Stats().BillDispLastCurrenciesDispensed, "10:3; X:2; ");
    EXPECT_EQ(Stats().BillDispLastTimeDispensedBills, kT0);
    EXPECT_EQ(Stats().BillDispFMnLastTimeDispensedBills[1], kT0);
    EXPECT_NE(Stats().BillDispFMnLastTimeDispensedBills[2], kT0);
    // Only the first module that rejected notes is stamped.
    EXPECT_EQ(Stats().BillDispFMnLastTimeBillsRejected[2], kT0);
    EXPECT_NE(Stats().BillDispFMnLastTimeBillsRejected[3], kT0);
    EXPECT_EQ(Stats().BillDispFMnLastTimeLow[0], kT0);
    EXPECT_EQ(Stats().BillDispFMnLastTimeCassetteLowDuringDispense[0], kT0);
    EXPECT_EQ(Stats().BillDispState, DeviceState::Low);
    EXPECT_EQ(Stats().StatusBillDispenser, StatusColour::Yellow);
    EXPECT_EQ(TakeEvents(), (std::vector<int>{kEventBillDispBillsRejected, kEventBillDispLow,
                                              kEventBillDispCassetteLowDispense}));

    // Module numbers outside 1 to 6 are ignored; module 1 is refilled.
    Process(Response('B', {kSep, '1', 'C', '0', '0',  '1', '0', '0', '0', kSep, '0', 'A', '0', '0',
                           '1',  '0', '0', '0', kSep, '7', 'A', '0', '0', '1',  '0', '0', '0'},
                     kT0 + 1));
    EXPECT_EQ(TakeNotes().size(), 2u);
    EXPECT_EQ(Stats().BillDispLastCurrenciesDispensed, "10:1; ");
    EXPECT_EQ(Stats().BillDispFMnLastTimeRefilled[0], kT0 + 1);
    EXPECT_EQ(Stats().BillDispState, DeviceState::Ready);
    EXPECT_EQ(Stats().StatusBillDispenser, StatusColour::Green);
    EXPECT_EQ(TakeEvents(), std::vector<int>{kEventBillDispRefilled});
}

}  // namespace
}  // namespace lane::monitor
