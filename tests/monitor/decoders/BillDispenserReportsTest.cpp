// The bill dispenser's module reports (physical status, configuration, cassette status), the
// Fujitsu dispenser and the cash pocket.
#include <gtest/gtest.h>

#include "tests/monitor/decoders/BillDispenserTestSupport.h"

namespace lane::monitor {
namespace {

using namespace testing;

constexpr std::time_t kT0 = 1'500'000'000;
const std::string kModule = "Bill Dispenser: Feed Module";

class BillDispenserReportsTest : public BillDispenserFixture {};

TEST_F(BillDispenserReportsTest, PhysicalStatusRecordsAndTheDiverter) {
    Process(Response('5', {0x3F}, kT0));
    EXPECT_EQ(TakeNotes(), Notes{"Bill Dispenser: Internal Status (unexpected)"});

    // The top bit is ignored: 0xE1 is exit sensor blocked and motor interrupts failed.
    Process(Response('5',
                     {0xE1, kSep, 0x21, 0x32, 0x43, 0x14, 0x25, kSep, 0x00, 0x00, 0x00, 0x00, 0x10,
                      kSep, 0x0A, 0x0B, 0x0C, 0x0D, 0x18},
                     kT0 + 1));
    EXPECT_EQ(TakeNotes(),
              (Notes{"Bill Dispenser: Physical Status", "Bill Dispenser: Exit sensor blocked",
                     "Bill Dispenser: Motor interrupts failed",
                     kModule + ": 1  CK Denomination: 0x1234 <low>  CK Width: 0x6  CK Thick: 0x1  "
                               "CK SN: 0x5  <Picker Fault>  ",
                     kModule + ": 2  CK Denomination: 0x0   CK Width: 0  CK Thick: 0  CK SN: 0x0  "
                               "  <Cassette Fault>",
                     "Bill Dispenser: Diverter: SN: 0xabcd  <Diverter Fault>"}));
    EXPECT_EQ(Stats().BillDispFMn[0], 1u);
    EXPECT_EQ(Stats().BillDispFMn[1], 2u);
    EXPECT_EQ(Stats().BillDispFMn[2], 0u);
    EXPECT_EQ(Stats().BillDispDivBin, 1u);
    EXPECT_EQ(Stats().BillDispLastTimeSensorBlock, kT0 + 1);
    EXPECT_EQ(Stats().BillDispFMnLastTimeLow[0], kT0 + 1);
    EXPECT_EQ(Stats().BillDispState, DeviceState::Low);
    EXPECT_EQ(Stats().StatusBillDispenser, StatusColour::Yellow);
    EXPECT_EQ(TakeEvents(), (std::vector<int>{kEventBillDispSensorBlock, kEventBillDispLow}));

    // More records than positions: the extra ones are ignored; module 1 is refilled.
    std::vector<std::uint8_t> fields = {0x40};
    for (int record = 0; record < 9; ++record) {
        fields.insert(fields.end(), {kSep, 0x01, 0x00, 0x00, 0x00, 0x00});
    }
    Process(Response('5', fields, kT0 + 2));
    const Notes notes = TakeNotes();
    ASSERT_EQ(notes.size(), 7u);  // the status line and six modules; the seventh is no diverter
    EXPECT_EQ(notes[6], kModule +
                            ": 6  CK Denomination: 0x1000   CK Width: 0  CK Thick: 0  "
                            "CK SN: 0x0    ");
    EXPECT_EQ(Stats().BillDispFMn[5], 6u);
    EXPECT_EQ(Stats().BillDispFMnLastTimeRefilled[0], kT0 + 2);
    EXPECT_EQ(Stats().BillDispState, DeviceState::Ready);
    EXPECT_EQ(Stats().StatusBillDispenser, StatusColour::Green);
    EXPECT_EQ(TakeEvents(), std::vector<int>{kEventBillDispRefilled});
}

TEST_F(BillDispenserReportsTest, ConfigurationReplies) {
    Process(Response('4', {'M', 'R', kSep, 'A', 'c', 'F', 0x40, 'I', 0x03}, kT0));
    EXPECT_EQ(
        TakeNotes(),
        (Notes{"Bill Dispenser: Configuration Command Response:",
               "Bill Dispenser Model: 0x4d, Revision: 0x52", kModule + "[1]: Denomination: A ",
               kModule + "[2]: Denomination: C ", kModule + "[3]: Denomination: F ",
               kModule + "[4]: Denomination: <no cassette>",
               kModule + "[5]: Denomination: <unknown>"}));
    EXPECT_EQ(Stats().BillDispModel, "M");
    EXPECT_EQ(Stats().BillDispRevision, "R");
    EXPECT_EQ(Stats().BillDispFMnDenomination[0], "$1 ");
    EXPECT_EQ(Stats().BillDispFMnDenomination[1], "$10 ");
    EXPECT_EQ(Stats().BillDispFMnDenomination[2], "$<Unmapped CurrencyCode>");
    EXPECT_EQ(Stats().BillDispFMn[4], 5u);
    EXPECT_EQ(Stats().BillDispFMn[5], 0u);
    EXPECT_EQ(Stats().BillDispState, DeviceState::Low);
    EXPECT_EQ(TakeEvents(), std::vector<int>{kEventBillDispLow});

    // The line shows the previous report's low mark; module 2 is refilled.
    Process(Response('4', {'M', 0x81, kSep, 'A', 'C', 0x03}, kT0 + 1));
    EXPECT_EQ(TakeNotes(),
              (Notes{"Bill Dispenser: Configuration Command Response:",
                     "Bill Dispenser Model: 0x4d, Revision: 0x81",
                     kModule + "[1]: Denomination: A ", kModule + "[2]: Denomination: C <low>"}));
    EXPECT_EQ(Stats().BillDispRevision, "\xC2\x81");
    EXPECT_EQ(Stats().BillDispFMnLastTimeRefilled[1], kT0 + 1);
    EXPECT_EQ(Stats().BillDispState, DeviceState::Ready);
    EXPECT_EQ(TakeEvents(), std::vector<int>{kEventBillDispRefilled});

    // Too short for any letter; a seventh letter has a line but no statistics; a bad format.
    Process(Response('4', {'N', 'S', kSep}, kT0 + 2));
    EXPECT_EQ(TakeNotes().size(), 2u);
    Process(Response('4', {'N', 'S', kSep, 'A', 'A', 'A', 'A', 'A', 'A', 'b', 'b', 0x03}, kT0 + 3));
    const Notes notes = TakeNotes();
    ASSERT_EQ(notes.size(), 9u);
    EXPECT_EQ(notes.back(), kModule + "[7]: Denomination: B ");
    EXPECT_EQ(Stats().BillDispState, DeviceState::Ready);  // the seventh is no feed module
    Process(Response('4', {'X', 'Y', 'A', 'B'}, kT0 + 4));
    EXPECT_EQ(TakeNotes().back(), "Bill Dispenser Error: Incorrect Format");
    EXPECT_EQ(Stats().BillDispModel, "N");
}

TEST_F(BillDispenserReportsTest, CassetteRemovedThenReplaced) {
    const auto status = [](std::uint8_t mask, std::uint8_t third) {
        return std::vector<std::uint8_t>{mask, 0, kSep, 'A', 'B', third, 0x03};
    };
    // Bit 0 (the diverter bin) takes no part while no diverter has been reported.
    Process(Response('a', status(0x09, 0x40), kT0));
    EXPECT_EQ(
        TakeNotes(),
        (Notes{"Bill Dispenser: Unsolicited Cassette Status:", kModule + "[1]: Denomination: A ",
               kModule + "[2]: Denomination: B ", kModule + "[3]: Denomination: <no cassette>",
               "Bill Dispenser: Cassette 1 Present", "Bill Dispenser: Cassette 2 Present",
               "Bill Dispenser: Cassette 3 Missing"}));
    EXPECT_EQ(Stats().BillDispFMnLastTimeCassetteRemoved[2], kT0);
    EXPECT_EQ(Stats().BillDispLastCassetteRemoved, "3");
    EXPECT_EQ(Stats().BillDispFMnDenomination[2], "$<Cassette Removed>");
    EXPECT_EQ(Stats().BillDispFMnDenomination[1], "$5");
    EXPECT_EQ(Stats().BillDispState, DeviceState::CassetteRemoved);
    EXPECT_EQ(Stats().StatusBillDispenser, StatusColour::Red);
    EXPECT_EQ(TakeEvents(), std::vector<int>{kEventBillDispCassetteRemoved});
    // Still missing: no second event.
    Process(Response('a', status(0x08, 0x40), kT0 + 1));
    EXPECT_TRUE(TakeEvents().empty());

    Process(Response('a', status(0x00, 'c'), kT0 + 2));
    EXPECT_EQ(TakeNotes().back(), "Bill Dispenser: All Cassettes Inserted");
    EXPECT_EQ(Stats().BillDispFMnLastTimeCassetteReplaced[2], kT0 + 2);
    EXPECT_EQ(Stats().BillDispLastCassetteReplaced, "3");
    // Replaced, then low: the cassette came back nearly empty.
    EXPECT_EQ(Stats().BillDispState, DeviceState::Low);
    EXPECT_EQ(Stats().StatusBillDispenser, StatusColour::Yellow);
    EXPECT_EQ(TakeEvents(), (std::vector<int>{kEventBillDispCassetteReplaced, kEventBillDispLow}));
    // This reply never ends the low state.
    Process(Response('a', status(0x00, 'C'), kT0 + 3));
    EXPECT_EQ(Stats().BillDispState, DeviceState::Low);

    // Once a diverter is known, its bin counts.
    Stats().BillDispDivBin = 1;
    TakeNotes();
    Process(Response('a', status(0x01, 'C'), kT0 + 4));
    EXPECT_EQ(TakeNotes()[4], "Bill Dispenser: Diverter Bin Missing");
    EXPECT_EQ(Stats().BillDispDivBinLastTimeRemoved, kT0 + 4);
    Process(Response('a', {0, 0, 'x', 'A'}, kT0 + 5));
    EXPECT_EQ(TakeNotes().back(), "Bill Dispenser Error: Incorrect Format");
}

TEST_F(BillDispenserReportsTest, FujitsuDispenserLines) {
    const struct {
        std::uint8_t subCode;
        std::string line;
    } cases[] = {
        {1, "Output to Fujitsu BillDisp:  01 80 "},
        {2, "Input from Fujitsu BillDisp:  01 80 "},
        {3, "Raw Data to Fujitsu BillDisp:  01 80 "},
        {4, "Raw Data from Fujitsu BillDisp:  01 80 "},
        {5, "Fujitsu BillDisp: Packet Error"},
        {6, "Fujitsu BillDisp Init Cassettes:  01 80 "},
        {7, "Fujitsu BillDisp Power Off/On While Dispensing"},
        {8, "Fujitsu BillDisp Cassette Removed/Inserted:  01 80 "},
        {9, "Fujitsu BillDisp: Resend Packet"},
        {10, "Fujitsu BillDisp Error Codes:  01 80 "},
    };
    std::time_t time = kT0;
    for (const auto& c : cases) {
        Process(Bytes(0xB1, c.subCode, {0x01, 0x80}, ++time));
        EXPECT_EQ(TakeNotes(), Notes{c.line});
        EXPECT_EQ(Stats().BillDispLastTimeCommunicated, time);
    }
    Process(Bytes(0xB1, 11, {'1', 'A'}, ++time));
    EXPECT_EQ(TakeNotes(), Notes{"Fujitsu BillDisp Firmware Version: 1A"});
    EXPECT_EQ(Stats().BillDispRevision, "1A");
    Process(Bytes(0xB1, 12, {'9'}, ++time));
    EXPECT_TRUE(TakeNotes().empty());
    EXPECT_EQ(Stats().BillDispLastTimeCommunicated, time);
    EXPECT_EQ(Stats().BillDispState, DeviceState::Ready);
    EXPECT_EQ(Stats().StatusBillDispenser, StatusColour::Green);
}

TEST_F(BillDispenserReportsTest, CashPocketLightBuzzerAndSensor) {
    const struct {
        std::uint8_t subCode;
        Notes notes;
        bool light;
        bool buzzer;
    } cases[] = {
        {1, {"BillDispenser: Light ON"}, true, false},
        {2, {"BillDispenser: Buzzer ON"}, true, true},
        {3, {"BillDispenser: Bill Detected"}, true, true},
        {4, {"BillDispenser: No Bill Detected/Timeout"}, true, true},
        {6, {}, true, true},
        {5, {"BillDispenser: Complete/Timeout"}, false, false},
    };
    std::time_t time = kT0;
    for (const auto& c : cases) {
        Process(Bytes(0xAE, c.subCode, {}, ++time));
        EXPECT_EQ(TakeNotes(), c.notes) << int(c.subCode);
        EXPECT_EQ(Stats().CashPocketLightState, c.light) << int(c.subCode);
        EXPECT_EQ(Stats().CashPocketBuzzerState, c.buzzer) << int(c.subCode);
        EXPECT_EQ(Stats().CashPocketLastTimeCommunicated, time);
    }
    EXPECT_EQ(Stats().CashPocketLastTimeLightOn, kT0 + 1);
    EXPECT_EQ(Stats().CashPocketLastTimeBuzzerOn, kT0 + 2);
    EXPECT_EQ(Stats().CashPocketLastTimeBillDetected, kT0 + 3);
    EXPECT_EQ(Stats().CashPocketLastTimeNoBillDetectedOrTimeout, kT0 + 4);
    EXPECT_NE(Stats().BillDispLastTimeCommunicated, kT0 + 1);
}

}  // namespace
}  // namespace lane::monitor
