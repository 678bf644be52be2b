// The coin dispenser decoder: trace texts, status bytes, dispense amounts, version, bad packets.
#include "monitor/decoders/CoinDispenserMonitor.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/monitor/decoders/DecoderTestSupport.h"

namespace lane::monitor {
namespace {

using testing::Bytes;
using Lines = std::vector<std::string>;

constexpr std::uint8_t kCoinDisp = 0xAA;
constexpr std::time_t kT0 = 1'200'000'000;

MonitorMessage Status(std::uint8_t status, std::time_t time) {
    return Bytes(kCoinDisp, 2, {'?', '1', status}, time);
}

class CoinDispenserMonitorTest : public testing::DecoderFixture<CCoinDispenserMonitor> {
  protected:
    void SetUp() override {
        DecoderFixture::SetUp();
        Settings().FireCoinDispRefilled = true;
        Settings().FireCoinDispOnline = true;
    }
    void Process(const MonitorMessage& message) { decoder.ProcessMessage(message); }
    Lines TakeNotes() {
        Lines notes = host.Notes();
        Lines fresh(notes.begin() + static_cast<long>(seen_), notes.end());
        seen_ = notes.size();
        return fresh;
    }

  private:
    std::size_t seen_ = 0;
};

TEST_F(CoinDispenserMonitorTest, TraceTextOfEachMessage) {
    const struct {
        std::uint8_t code;
        std::uint8_t subCode;
        std::vector<std::uint8_t> data;
        std::string text;
    } cases[] = {
        {kCoinDisp, 1, {'1'}, " - Coin Disp Output"},
        {kCoinDisp, 2, {'?', '1', 0}, " - Coin Disp Input"},
        {kCoinDisp, 3, {}, "** Coin Dispenser: Bad/Incomplete Packet! **"},
        {kCoinDisp, 4, {0x02, 0x8F}, "Raw Data to CoinDisp:  02 8F "},
        {kCoinDisp, 5, {}, "Raw Data from CoinDisp:  "},
        {kCoinDisp, 6, {'V'}, ""},
        {0xAB, 1, {'1'}, ""},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(decoder.FormatTrace(Bytes(c.code, c.subCode, c.data)), c.text)
            << "sub-code " << int(c.subCode);
    }
}

// Each status reply in turn, from the state the previous one left.
TEST_F(CoinDispenserMonitorTest, StatusRepliesMoveTheStateAndRaiseTheirAlerts) {
    const struct {
        std::uint8_t status;
        Lines notes;
        DeviceState state;
        StatusColour colour;
        std::vector<int> events;
    } cases[] = {
        {0x10,
         {"Coin Dispenser: Status Response - Status Byte 1 = 0x10", "Coin Dispenser: Coins Low"},
         DeviceState::Low,
         StatusColour::Yellow,
         {kEventCoinDispLow}},
        {0x30,
         {"Coin Dispenser: Status Response - Status Byte 1 = 0x30",
          "Coin Dispenser: Coins Dispensed", "Coin Dispenser: Coins Low"},
         DeviceState::Low,
         StatusColour::Yellow,
         {kEventCoinDispLow}},
        {0x00,
         {"Coin Dispenser: Status Response - Status Byte 1 = 0x0"},
         DeviceState::Ready,
         StatusColour::Green,
         {kEventCoinDispRefilled}},
        {0x05,
         {"Coin Dispenser: Status Response - Status Byte 1 = 0x5", "Coin Dispenser: Offline",
          "Coin Dispenser: Communication Error"},
         DeviceState::Offline,
         StatusColour::Red,
         {kEventCoinDispOffline}},
        {0x0B,
         {"Coin Dispenser: Status Response - Status Byte 1 = 0xb",
          "Coin Dispenser: Coin Dispenser Busy", "Coin Dispenser: Function Error",
          "Coin Dispenser: Communication Error"},
         DeviceState::CommError,
         StatusColour::Red,
         {kEventCoinDispOnline}},
        {0x90,
         {"Coin Dispenser: Status Response - Status Byte 1 = 0x90", "Coin Dispenser: Coins Low"},
         DeviceState::Low,
         StatusColour::Yellow,
         {kEventCoinDispLow}},
    };
    std::time_t time = kT0;
    for (const auto& c : cases) {
        const std::size_t before = alerts.Codes().size();
        Process(Status(c.status, ++time));
        const std::string what = "status " + std::to_string(c.status);
        EXPECT_EQ(TakeNotes(), c.notes) << what;
        EXPECT_EQ(Stats().CoinDispState, c.state) << what;
        EXPECT_EQ(Stats().StatusCoinDispenser, c.colour) << what;
        const std::vector<int> codes = alerts.Codes();
        EXPECT_EQ(std::vector<int>(codes.begin() + static_cast<long>(before), codes.end()),
                  c.events)
            << what;
        EXPECT_EQ(Stats().CoinDispLastTimeCommunicated, time);
    }
    EXPECT_EQ(Stats().CoinDispLastTimeDispensed, kT0 + 2);
    EXPECT_EQ(Stats().CoinDispLastTimeRefilled, kT0 + 3);
    EXPECT_EQ(Stats().CoinDispLastTimeOffline, kT0 + 4);  // not the comm error while offline
    EXPECT_EQ(Stats().CoinDispLastTimeLow, kT0 + 6);
}

TEST_F(CoinDispenserMonitorTest, AStateAlreadyHeldKeepsTheColourAndSwitchedOffAlertsStayQuiet) {
    Stats().CoinDispState = DeviceState::Offline;
    Stats().StatusCoinDispenser = StatusColour::Yellow;
    Settings().FireCoinDispOffline = false;
    Process(Status(0x05, kT0));
    EXPECT_EQ(Stats().CoinDispState, DeviceState::Offline);
    EXPECT_EQ(Stats().StatusCoinDispenser, StatusColour::Yellow);
    // The comm error leaves the offline time of an already offline dispenser.
    Process(Status(0x01, kT0 + 1));
    EXPECT_EQ(Stats().CoinDispLastTimeOffline, kT0);
    EXPECT_EQ(Stats().CoinDispState, DeviceState::CommError);
    Settings().FireCoinDispLow = false;
    Process(Status(0x10, kT0 + 2));
    EXPECT_EQ(alerts.Codes(), std::vector<int>{kEventCoinDispOnline});
}

// A status request carries the status byte at the same place as a reply.
TEST_F(CoinDispenserMonitorTest, RequestsDispenseAmountsInEachCurrency) {
    const std::time_t communicated = Stats().CoinDispLastTimeCommunicated;
    Process(Bytes(kCoinDisp, 1, {'1', 0, 0x10}, kT0));
    EXPECT_EQ(TakeNotes(), (Lines{"Coin Dispenser: Status Request", "Coin Dispenser: Coins Low"}));
    EXPECT_EQ(Stats().CoinDispState, DeviceState::Low);
    EXPECT_EQ(Stats().CoinDispLastTimeCommunicated,
              communicated);  // a request is not the dispenser talking

    Process(Bytes(kCoinDisp, 1, {'2', '7', '5'}, kT0));
    EXPECT_EQ(TakeNotes(), (Lines{"Coin Dispenser: Dispense Request:", "Coin Dispenser: $0.75"}));
    Process(Bytes(kCoinDisp, 1, {'2', '1', '5', '0'}, kT0));
    EXPECT_EQ(Stats().CoinDispLastCoinsDispensed, "$0.15");
    Process(Bytes(kCoinDisp, 1, {'3', '1', '5', '0'}, kT0));
    EXPECT_EQ(TakeNotes().size(), 2u);  // the second dispense; '3' is no request
    EXPECT_EQ(Stats().CoinDispLastCoinsDispensed, "$0.15");
}

class PoundCoinDispenserTest : public testing::DecoderFixture<CCoinDispenserMonitor> {
  protected:
    PoundCoinDispenserTest()
        : DecoderFixture(CurrencyProfile{"GBP", 0x0809, "\xC2\xA3", ".", ","}) {}
};

TEST_F(PoundCoinDispenserTest, UnitsComeFromTheFirstAmountByte) {
    decoder.ProcessMessage(Bytes(kCoinDisp, 1, {'2', '1', '5', '0'}, kT0));
    EXPECT_EQ(Stats().CoinDispLastCoinsDispensed,
              "\xC2\xA3"
              "1.50");
    // A short request: the missing bytes end their parts.
    decoder.ProcessMessage(Bytes(kCoinDisp, 1, {'2', '4'}, kT0));
    EXPECT_EQ(Stats().CoinDispLastCoinsDispensed,
              "\xC2\xA3"
              "4.");
}

TEST_F(CoinDispenserMonitorTest, RepliesAreNotReadAsRequests) {
    // A reply whose first byte is the dispense request character dispenses nothing.
    Process(Bytes(kCoinDisp, 2, {'2', '1', 0x00}, kT0));
    EXPECT_EQ(Stats().CoinDispLastCoinsDispensed, "");
    EXPECT_EQ(TakeNotes(), Lines{"Coin Dispenser: Status Response - Status Byte 1 = 0x0"});
    Process(Bytes(kCoinDisp, 2, {'2', '5', '9'}, kT0));
    EXPECT_TRUE(TakeNotes().empty());
    EXPECT_EQ(Stats().CoinDispLastTimeCommunicated, kT0);
}

TEST_F(CoinDispenserMonitorTest, VersionAndBadPacket) {
    std::vector<std::uint8_t> version(40, 'v');
    version[0] = 'C';
    version[28] = 'Z';
    Process(Bytes(kCoinDisp, 6, version, kT0));
    const std::string kept = "C" + std::string(27, 'v') + "Z";
    EXPECT_EQ(Stats().CoinDispVersion, kept);
    Process(Bytes(kCoinDisp, 6, {'2', '.', 0xB0}, kT0));
    EXPECT_EQ(Stats().CoinDispVersion, "2.\xC2\xB0");
    Process(Bytes(kCoinDisp, 3, {}, kT0 + 9));
    EXPECT_EQ(TakeNotes(),
              (Lines{"Coin Dispenser Version: " + kept, "Coin Dispenser Version: 2.\xC2\xB0",
                     "Coin Dispenser: Bad Packet Received"}));
    EXPECT_EQ(Stats().CoinDispLastTimeBadPacket, kT0 + 9);
    EXPECT_EQ(Stats().CoinDispLastBadPacket, "");
}

// Every message, whatever its sub-code, ends by deriving the lane's colour.
TEST_F(CoinDispenserMonitorTest, EveryMessageUpdatesTheLaneColour) {
    for (const std::uint8_t subCode : {1, 3, 4, 5, 9}) {
        Stats().StatusSystem = StatusColour::Red;
        Process(Bytes(kCoinDisp, subCode, {'x'}, kT0));
        EXPECT_EQ(Stats().StatusSystem, StatusColour::Green) << int(subCode);
    }
}

}  // namespace
}  // namespace lane::monitor
