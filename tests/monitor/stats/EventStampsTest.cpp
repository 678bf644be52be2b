// The time stamps of the security module's events, each under its monitoring switch.
#include "monitor/stats/EventStamps.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "common/TimeText.h"
#include "tests/monitor/stats/StatsGeneration.h"
#include "tests/monitor/stats/StatsTestSupport.h"

namespace lane::monitor {
namespace {

using Fields = std::vector<std::string>;

class EventStampsTest : public ::testing::Test {
  protected:
    // Stamps one message and returns the fields that changed, as "name=text".
    Fields Stamp(std::uint8_t code, std::uint8_t subCode) {
        MonitorMessage message;
        message.code = code;
        message.subCode = subCode;
        message.time = messageTime;
        StampEventTimes(statistics, switches, message);
        return testing::ChangedFields(before, statistics);
    }
    std::string Stamped(const char* name) const {
        return std::string(name) + "=" + RegistryTimeText(messageTime);
    }

    const std::time_t messageTime = testing::LocalSeconds(2024, 3, 5, 14, 7, 9);
    MonitorSwitches switches;
    const CDeviceStatistics before;
    CDeviceStatistics statistics;
};

TEST_F(EventStampsTest, GreenButtonStampsOnlyWhileTheModuleIsMonitored) {
    EXPECT_EQ(Stamp(0xA2, 1), Fields{Stamped("SecModLastTimeGreenButtonPressed")});
    StampCommunicated(statistics, messageTime);
    EXPECT_EQ(testing::ChangedFields(before, statistics),
              (Fields{Stamped("SecModLastTimeCommunicated"),
                      Stamped("SecModLastTimeGreenButtonPressed")}));

    CDeviceStatistics untouched;
    MonitorMessage message;
    message.code = 0xA2;
    message.subCode = 1;
    message.time = messageTime;
    switches.MonitorSecurityModule = false;
    StampEventTimes(untouched, switches, message);
    EXPECT_TRUE(testing::ChangedFields(before, untouched).empty());
}

TEST_F(EventStampsTest, ConveyorAndCurtainsFollowTheConveyorSwitch) {
    switches.MonitorSecurityModule = false;
    EXPECT_EQ(Stamp(0xAF, 5), Fields{Stamped("BaggingSensorLastTimeBagAreaFull")});
    EXPECT_EQ(Stamp(0xA3, 1), Fields{Stamped("BaggingSensorLastTimeBagAreaFull")});
    switches.MonitorConveyor = false;
    EXPECT_EQ(Stamp(0xA5, 11), Fields{Stamped("BaggingSensorLastTimeBagAreaFull")});
}

TEST_F(EventStampsTest, ScaleEventsFollowTheScaleSwitch) {
    switches.MonitorSecurityScale = false;
    EXPECT_TRUE(Stamp(0xA6, 1).empty());
    switches.MonitorSecurityScale = true;
    switches.MonitorSecurityModule = false;
    EXPECT_EQ(Stamp(0xA6, 5), Fields{Stamped("SecScaleLastTimeZeroCommandSent")});
}

TEST_F(EventStampsTest, EventsWithoutAStampChangeNothing) {
    for (const auto& [code, subCode] : std::vector<std::pair<int, int>>{{0xA6, 7},
                                                                        {0xA2, 3},
                                                                        {0xA4, 1},
                                                                        {0xA3, 13},
                                                                        {0xA3, 0},
                                                                        {0xA9, 2},
                                                                        {0xB2, 1},
                                                                        {0x41, 1}}) {
        EXPECT_TRUE(
            Stamp(static_cast<std::uint8_t>(code), static_cast<std::uint8_t>(subCode)).empty())
            << std::hex << code << " " << subCode;
    }
}

TEST_F(EventStampsTest, TwoPowerEventsShareTheirStamp) {
    EXPECT_EQ(Stamp(0xA4, 3), Fields{Stamped("SecModLastTimeAbnormalPowerOff")});
    statistics.SecModLastTimeAbnormalPowerOff = 0;
    EXPECT_EQ(Stamp(0xA4, 4), Fields{Stamped("SecModLastTimeAbnormalPowerOff")});
}

TEST_F(EventStampsTest, BadDataKeepsItsTimeAndBytes) {
    RecordBadData(statistics, messageTime, "A2 07 FF");
    EXPECT_EQ(testing::ChangedFields(before, statistics),
              (Fields{Stamped("SecModLastTimeBadData"), "SecModLastBadData=A2 07 FF"}));
}

}  // namespace
}  // namespace lane::monitor
