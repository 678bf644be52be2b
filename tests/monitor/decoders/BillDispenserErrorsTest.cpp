// The bill dispenser's dispense error codes: lines, modules, effects and the end of a jam.
#include <gtest/gtest.h>

#include "monitor/decoders/BillDispenserErrorTable.h"
#include "tests/monitor/decoders/BillDispenserTestSupport.h"

namespace lane::monitor {
namespace {

using namespace testing;
using billdisp::DecodedError;
using billdisp::DecodeError;
using billdisp::ErrorColour;
using billdisp::ErrorEffect;

constexpr std::time_t kT0 = 1'400'000'000;

struct ErrorCase {
    std::uint8_t error, status1, status2;
    std::string line;
    int module;
    ErrorEffect effect;
    ErrorColour colour;
    int eventCode;
};

TEST(BillDispenserErrorTableTest, EachCodeItsLineModuleAndEffect) {
    using E = ErrorEffect;
    using C = ErrorColour;
    const std::string p = "Bill Dispenser: ";
    const ErrorCase cases[] = {
        {';', '0', '4', p + "Unsolicited Note Feed Module 4", 0, E::None, C::Unchanged, 0},
        {';', '3', 0, p + "Diverter will not go to reject position", 0, E::None, C::Unchanged, 0},
        {';', '5', '8', p + "Too many notes dispensed", 0, E::None, C::Unchanged, 0},
        {';', '5', '9', p + "Timing wheel error", 0, E::None, C::Unchanged, 0},
        {';', '7', 'x', p + "Failure to dump", 0, E::None, C::Unchanged, 0},
        {';', '8', 'x', p + "Purge error following dispense error", 0, E::None, C::Unchanged, 0},
        {'<', '8', 'x', p + "Dispense Timeout", 0, E::None, C::Unchanged, 0},
        {'=', '1', '7', p + "Feed Failure Feed Module 1", 1, E::FeedFailure, C::Red, 43},
        {'=', '1', '9', p + "Feed Failure Feed Module 3", 3, E::FeedFailure, C::Red, 43},
        {'=', '2', '1', p + "Feed Failure Feed Module 5", 5, E::FeedFailure, C::Red, 43},
        {'=', '3', '6', p + "Unidentified cassette code", 0, E::InvalidCassettes, C::Red, 40},
        {'=', '3', 'B', p + "Notes THICKER than Key Data Feed Module 2", 2, E::None, C::Unchanged,
         0},
        {'=', '5', 'F', p + "Notes THINNER than Key Data Feed Module 6", 6, E::None, C::Unchanged,
         0},
        {'=', '6', '5', p + "Cassettes shuffled", 0, E::None, C::Unchanged, 0},
        {'=', '6', 'A', p + "Notes SHORTER than Key Data Feed Module 1", 1, E::None, C::Unchanged,
         0},
        {'=', '7', '8', p + "Diverter Full", 0, E::DiverterFull, C::Unchanged, 0},
        {'=', '7', '9', p + "Diverter Missing", 0, E::DiverterMissing, C::Yellow, 0},
        {'=', '7', 'C', p + "Notes LONGER than Key Data Feed Module 3", 3, E::None, C::Unchanged,
         0},
        {'>', '2', '5', p + "Jam Feed Module 1", 1, E::JamModule, C::Red, 35},
        {'>', '2', '9', p + "Jam Feed Module 5", 5, E::JamModule, C::Red, 35},
        {'>', '3', '0', p + " Jam Feed Module 6", 6, E::JamModuleFlag, C::Red, 35},
        {'>', '3', '3', p + "Jam between double detect and exit throat", 0, E::Jam, C::Red, 35},
        {'>', '3', '4', p + "Jam between double detect and reject throat", 0, E::Jam, C::Red, 35},
        {'>', '6', 0, p + "Counting Sensor blocked", 0, E::SensorBlock, C::Yellow, 44},
        {'>', '8', 'D', p + "Prox Voltage out of range Feed Module 4", 4, E::VoltageRange,
         C::Yellow, 45},
        {'?', '9', 0, p + "Feed Module 6 Not In Service", 6, E::NotInService, C::Red, 46},
        {'?', '6', 0, p + "Counting Sensor dirty", 0, E::SensorBlock, C::Yellow, 44},
        // Bit 3 of the code: feed failure or no cassette, the module the sum of the nibbles.
        {'1', 0, 0, p + "No Cassette 4", 4, E::None, C::Unchanged, 0},
        {'8', 0, 0, p + "Feed Failure Feed Module 3", 3, E::FeedFailure, C::Unchanged, 43},
        {0x4A, 0, 0, p + "Feed Failure Feed Module 6", 6, E::FeedFailure, C::Unchanged, 43},
        // Sums of 7 to 11 are no feed modules (the fault must not reach the module arrays).
        {0x4F, 0, 0, p + "Feed Failure Feed Module ;", 11, E::FeedFailure, C::Unchanged, 43},
        {'P', 0, 0, p + "No Cassette 5", 5, E::None, C::Unchanged, 0},
        // A kind in the high nibble of the first status code, a module in its low nibble.
        {'p', 3, 0, p + "Feed Failure Feed Module 3", 3, E::FeedFailure, C::Unchanged, 43},
        {'x', 0x12, 0, p + "Jam Feed Module 2", 2, E::JamModule, C::Red, 35},
        {'x', 0x0F, 0, p + "Jam Feed Module ?", 15, E::JamModule, C::Red, 35},
        {'x', 0x24, 0, p + "Feed Failure Feed Module 4", 4, E::FeedFailure, C::Unchanged, 43},
        {'x', 0x41, 0, p + "Sensor Error (No bill) Feed Module 1", 1, E::None, C::Unchanged, 0},
        {'z', 0x00, 0, p + "Jam", 0, E::Jam, C::Red, 0},
        {'z', 0x31, 0, p + "Feed Failure", 0, E::None, C::Unchanged, 0},
        {'z', 0x40, 0, p + "Sensor Error", 0, E::None, C::Unchanged, 0},
        {'{', 0x40, 0, p + "Sensor Error", 0, E::None, C::Unchanged, 0},
        {'|', 0x20, 0, p + "Feed Failure", 0, E::None, C::Unchanged, 0},
        {'}', 0x10, 0, p + "Jam", 0, E::Jam, C::Red, 0},
        {0x82, 0, 0, p + "Long Bill", 0, E::None, C::Unchanged, 0},
        {0x83, 0, 0, p + "Short Bill", 0, E::None, C::Unchanged, 0},
    };
    for (const ErrorCase& c : cases) {
        const std::optional<DecodedError> decoded = DecodeError(c.error, c.status1, c.status2);
        const std::string what = "codes " + std::to_string(c.error) + " " +
                                 std::to_string(c.status1) + " " + std::to_string(c.status2);
        ASSERT_TRUE(decoded.has_value()) << what;
        EXPECT_EQ(decoded->line, c.line) << what;
        EXPECT_EQ(decoded->module, c.module) << what;
        EXPECT_EQ(decoded->effect, c.effect) << what;
        EXPECT_EQ(decoded->colour, c.colour) << what;
        EXPECT_EQ(decoded->eventCode, c.eventCode) << what;
    }
    // Codes and combinations without a line.
    const std::uint8_t silent[][3] = {{'9', 0, 0},    {':', 0, 0},  {';', '5', '7'}, {'<', '1', 0},
                                      {'p', 7, 0},    {'p', 0, 0},  {'x', 0x50, 0},  {'{', 0x20, 0},
                                      {'}', 0x20, 0}, {0x80, 0, 0}, {0xFF, 0, 0},    {'Q', 0, 0}};
    for (const auto& codes : silent) {
        EXPECT_FALSE(DecodeError(codes[0], codes[1], codes[2]).has_value())
            << int(codes[0]) << " " << int(codes[1]);
    }
}

class BillDispenserErrorsTest : public BillDispenserFixture {
  protected:
    MonitorMessage ErrorReply(std::uint8_t error, std::uint8_t s1, std::uint8_t s2,
                              std::time_t time) {
        return Response('B', {error, s1, s2}, time);
    }
    MonitorMessage CleanReply(std::time_t time) {
        return Response('B', {kSep, '1', 'A', '0', '0', '1', '0', '0', '0'}, time);
    }
};

TEST_F(BillDispenserErrorsTest, JamOfModuleTwoAndItsClearing) {
    Process(ErrorReply('>', '2', '6', kT0));
    EXPECT_EQ(TakeNotes(), (Notes{"Bill Dispenser: Dispense Command Response",
                                  "Error Code: 0x3e  Status Code: 0x32 0x36",
                                  "Bill Dispenser: Jam Feed Module 2"}));
    EXPECT_EQ(Stats().BillDispFMnLastTimeJammed[1], kT0);
    EXPECT_EQ(Stats().BillDispState, DeviceState::Jammed);
    EXPECT_EQ(Stats().StatusBillDispenser, StatusColour::Red);
    EXPECT_EQ(Stats().BillDispLastTimeFaultReported, kT0);
    EXPECT_EQ(Stats().BillDispLastFaultCodeReported, "Error Code: 0x3e  Status Code: 0x32 0x36");
    EXPECT_EQ(TakeEvents(), std::vector<int>{kEventBillDispJammed});
    // A second jam keeps the state; an error that is no jam ends it.
    Process(ErrorReply('>', '3', '0', kT0 + 1));
    EXPECT_EQ(Stats().BillDispState, DeviceState::Jammed);
    Process(ErrorReply('<', '8', 0, kT0 + 2));
    EXPECT_EQ(Stats().BillDispState, DeviceState::Ready);
    EXPECT_EQ(Stats().StatusBillDispenser, StatusColour::Green);
    EXPECT_EQ(Stats().BillDispFMnLastTimeUnjammed[1], kT0 + 2);
    EXPECT_EQ(Stats().BillDispFMnLastTimeUnjammed[5], kT0 + 2);

    // The clean reply that follows a jam records the module as unjammed.
    Process(ErrorReply('x', 0x03, 0, kT0 + 3));
    EXPECT_EQ(Stats().BillDispFMnLastTimeJammed[2], kT0 + 3);
    Process(ErrorReply('>', '2', '6', kT0 + 4));
    Process(CleanReply(kT0 + 5));
    EXPECT_EQ(Stats().BillDispFMnLastTimeUnjammed[1], kT0 + 5);
    EXPECT_EQ(Stats().BillDispState, DeviceState::Ready);
    EXPECT_EQ(Stats().StatusBillDispenser, StatusColour::Green);
}

TEST_F(BillDispenserErrorsTest, FeedFailureRowsStampTheirModule) {
    const struct {
        std::uint8_t error, s1, s2;
        std::size_t slot;
        StatusColour colour;
    } cases[] = {
        {'=', '1', '7', 0, StatusColour::Red},  {'=', '1', '8', 1, StatusColour::Red},
        {'=', '2', '0', 3, StatusColour::Red},  {'=', '2', '1', 4, StatusColour::Red},
        {'=', '2', '2', 5, StatusColour::Red},  {'x', 0x24, 0, 3, StatusColour::Green},
        {'p', 0x06, 0, 5, StatusColour::Green}, {'9' - 1, 0, 0, 2, StatusColour::Green},
    };
    std::time_t time = kT0;
    for (const auto& c : cases) {
        Stats().StatusBillDispenser = StatusColour::Green;
        Process(ErrorReply(c.error, c.s1, c.s2, ++time));
        EXPECT_EQ(Stats().BillDispFMnLastTimeFeedFailure[c.slot], time) << c.slot;
        EXPECT_EQ(Stats().StatusBillDispenser, c.colour) << c.slot;
        EXPECT_EQ(TakeEvents(), std::vector<int>{kEventBillDispFeedFailure}) << c.slot;
    }
    // Module numbers beyond 6 are traced and stamp nothing.
    const FeedModuleTimes feedFailures = Stats().BillDispFMnLastTimeFeedFailure;
    const FeedModuleTimes jams = Stats().BillDispFMnLastTimeJammed;
    Process(ErrorReply(0x4F, 0, 0, ++time));
    Process(ErrorReply('x', 0x2F, 0, ++time));
    Process(ErrorReply('x', 0x0A, 0, ++time));
    EXPECT_EQ(Stats().BillDispFMnLastTimeFeedFailure, feedFailures);
    EXPECT_EQ(Stats().BillDispFMnLastTimeJammed, jams);
    // Switched off, the event stays quiet.
    TakeEvents();
    Settings().FireBillDispFeedFailure = false;
    Process(ErrorReply('=', '2', '1', ++time));
    EXPECT_TRUE(TakeEvents().empty());
}

TEST_F(BillDispenserErrorsTest, CodesWithoutALineChangeNothing) {
    for (const std::uint8_t error : {'9', ':'}) {
        Stats().StatusBillDispenser = StatusColour::Yellow;
        Process(ErrorReply(error, '0', '0', kT0));
        EXPECT_EQ(TakeNotes().size(), 2u);  // the response and the codes, nothing decoded
        EXPECT_EQ(Stats().BillDispState, DeviceState::Ready);
        EXPECT_EQ(Stats().StatusBillDispenser, StatusColour::Yellow);
    }
    EXPECT_TRUE(TakeEvents().empty());
}

}  // namespace
}  // namespace lane::monitor
