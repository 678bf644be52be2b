// Statistics and repeat histories in the registry: stored set, round trips, hand edits, histories.
#include "monitor/stats/StatisticsStore.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "common/TimeText.h"
#include "monitor/stats/Settings.h"
#include "monitor/stats/StatisticsFields.h"
#include "platform/Registry.h"
#include "tests/monitor/stats/StatsGeneration.h"
#include "tests/monitor/stats/StatsTestSupport.h"

namespace lane::monitor {
namespace {

using testing::LocalSeconds;
using testing::ScratchFolder;

using KeyValues = std::vector<std::pair<std::string, platform::RegValue>>;

const std::string kGreenButtonKey = std::string(kValuesKey) + "\\SecMod\\GreenButtonTimes";

class StatisticsStoreTest : public ::testing::Test {
  protected:
    KeyValues Values(const std::string& key) const {
        KeyValues values;
        EXPECT_EQ(registry.ReadKey(key, values), 0u);
        return values;
    }
    std::vector<std::string> Names(const std::string& key) const {
        std::vector<std::string> names;
        for (const auto& value : Values(key)) {
            names.push_back(value.first);
        }
        return names;
    }
    std::string Text(const std::string& name) const {
        platform::RegValue value;
        EXPECT_EQ(registry.QueryValue(kValuesKey, name, value), 0u) << name;
        return value.text;
    }
    void Set(const std::string& key, const std::string& name, const std::string& text) {
        ASSERT_EQ(registry.SetValue(key, name, platform::RegValue::String(text)), 0u);
    }
    void Set(const std::string& name, const std::string& text) { Set(kValuesKey, name, text); }

    ScratchFolder folder;
    platform::Registry registry{folder.File("HKEY_LOCAL_MACHINE.reg")};
};

TEST_F(StatisticsStoreTest, FirstSaveWritesEveryValueWithItsDefault) {
    const CDeviceStatistics statistics;
    ASSERT_EQ(SaveStatistics(registry, statistics), 0u);

    EXPECT_EQ(Names(kValuesKey), testing::StoredStatisticsNames());
    EXPECT_EQ(Values(kValuesKey).size(), kStoredStatisticsCount);
    testing::ExpectMatchesGolden(registry.HiveFile(), "StatisticsDefaults.reg");
}

TEST_F(StatisticsStoreTest, EveryStoredFieldReadsBackButTheEpromFailure) {
    CDeviceStatistics saved;
    testing::FillGeneration(saved, 7);
    saved.SecModEPROMFailed = true;
    ASSERT_EQ(SaveStatistics(registry, saved), 0u);

    CDeviceStatistics loaded;
    LoadStatistics(registry, loaded);
    std::vector<std::string> mismatches;
    EXPECT_EQ(testing::GenerationOf(loaded, mismatches), 7u);
    EXPECT_TRUE(mismatches.empty()) << mismatches.front();
    EXPECT_FALSE(loaded.SecModEPROMFailed);
    EXPECT_EQ(Text("BillDispFM6LastTimeNotInService"),
              RegistryTimeText(saved.BillDispFMnLastTimeNotInService[5]));
}

TEST_F(StatisticsStoreTest, StoredTextsReadAsTheirKindsSay) {
    Set("SecModLastTimeLaneOpened", "2004-7-3 9:5:0");
    Set("BillAccState", "jammed");
    Set("CoinDispState", "Jammed");
    Set("SecModState", "Check Sum Error");
    Set("StatusCoinAcceptor", "Red");
    Set("BillAccRequireCleaning", "True");
    Set("BillAccRevision", "seven");
    Set("BillAccLastTimeJammed", "yesterday");

    CDeviceStatistics statistics;
    statistics.BillAccState = DeviceState::Low;
    statistics.SecModState = DeviceState::Offline;
    statistics.BillAccRevision = 3;
    LoadStatistics(registry, statistics);

    EXPECT_EQ(statistics.SecModLastTimeLaneOpened, LocalSeconds(2004, 7, 3, 9, 5, 0));
    EXPECT_EQ(statistics.BillAccState, DeviceState::Low);
    EXPECT_EQ(statistics.CoinDispState, DeviceState::Jammed);
    EXPECT_EQ(statistics.SecModState, DeviceState::Offline);
    EXPECT_EQ(statistics.StatusCoinAcceptor, StatusColour::Red);
    EXPECT_TRUE(statistics.BillAccRequireCleaning);
    EXPECT_EQ(statistics.BillAccRevision, 3u);
    EXPECT_EQ(statistics.BillAccLastTimeJammed, DefaultStatisticsTime());

    ASSERT_EQ(SaveStatistics(registry, statistics), 0u);
    EXPECT_EQ(Text("SecModLastTimeLaneOpened"), "2004-07-03 09:05:00");
    EXPECT_EQ(Text("BillAccState"), "Low");
    EXPECT_EQ(Text("BillAccRequireCleaning"), "true");
    EXPECT_EQ(Text("BillAccLastTimeJammed"), "1980-01-01 00:00:00");
}

TEST_F(StatisticsStoreTest, HandEditedHiveGivesWhatIsValid) {
    const std::string tooLong(261, 'x');
    const std::string longest(260, 'y');
    testing::WriteText(registry.HiveFile(),
                       "\xEF\xBB\xBFWindows Registry Editor Version 5.00\n"
                       "\n"
                       "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Quarnel\\Tavrik\\Values]\n"
                       "; copied from lane 12\n"
                       "\"BillAccLastTimeJammed\"  =  \"2011-11-05 13:45:10\"\n"
                       "\"billacclasttimeoffline\"=\"2011-11-05 13:50:00\"\n"
                       "\"BillAccLastBadPacket\"=\"" +
                           tooLong +
                           "\"\n"
                           "\"CoinDispLastBadPacket\"=\"" +
                           longest +
                           "\"\n"
                           "\"BillDispFM3\"=\"3\"\n"
                           "\"BillDispFM3Denomination\"=\"20 \\\"EUR\\\"\"\n"
                           "\"BillDispFM7\"=\"7\"\n"
                           "\"CoinAccCoinVolume\"=dword:00000010\n"
                           "\"StatusSystem\"=\"Red\n"
                           "\"BillAccRepeatedRejects\"=hex(2):31,00,00,00\n"
                           "@=\"default\"\n"
                           "\n"
                           "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Quarnel\\Tavrik\\Values\\Old]\n"
                           "\"BillAccRejectRate\"=\"5\"\n");

    CDeviceStatistics statistics;
    LoadStatistics(registry, statistics);
    EXPECT_EQ(statistics.BillAccLastTimeJammed, LocalSeconds(2011, 11, 5, 13, 45, 10));
    EXPECT_EQ(statistics.BillAccLasttimeOffline, LocalSeconds(2011, 11, 5, 13, 50, 0));
    EXPECT_EQ(statistics.BillAccLastBadPacket, "");
    EXPECT_EQ(statistics.CoinDispLastBadPacket, longest);
    EXPECT_EQ(statistics.BillDispFMn[2], 3u);
    EXPECT_EQ(statistics.BillDispFMnDenomination[2], "20 \"EUR\"");
    EXPECT_EQ(statistics.CoinAccCoinVolume, 0u);  // a DWORD where a number text belongs
    EXPECT_EQ(statistics.StatusSystem, StatusColour::Green);
    EXPECT_EQ(statistics.BillAccRepeatedRejects, 0u);
    EXPECT_EQ(statistics.BillAccRejectRate, 0u);
}

TEST_F(StatisticsStoreTest, HistoryLoadStopsAtTheFirstGap) {
    const std::time_t first = LocalSeconds(2004, 7, 3, 9, 5, 0);
    Set(kGreenButtonKey, "0", RegistryTimeText(first));
    Set(kGreenButtonKey, "1", RegistryTimeText(first + 60));
    Set(kGreenButtonKey, "3", RegistryTimeText(first + 180));

    TimeHistory history;
    LoadTimeList(registry, kSecModGroup, kGreenButtonTimesHistory, history);
    EXPECT_EQ(history, (TimeHistory{first, first + 60}));

    TimeHistory none;
    LoadTimeList(registry, kSecScaleGroup, kResetTimesHistory, none);
    EXPECT_TRUE(none.empty());

    Set(kGreenButtonKey, "1", "not a time");
    TimeHistory cut;
    LoadTimeList(registry, kSecModGroup, kGreenButtonTimesHistory, cut);
    EXPECT_EQ(cut, TimeHistory{first});
}

TEST_F(StatisticsStoreTest, SavedHistoryReplacesTheOldOne) {
    const std::time_t first = LocalSeconds(2004, 7, 3, 9, 5, 0);
    const TimeHistory five = {first, first + 1, first + 2, first + 3, first + 4};
    ASSERT_EQ(SaveTimeList(registry, kSecModGroup, kGreenButtonTimesHistory, five), 0u);
    ASSERT_EQ(SaveTimeList(registry, kSecModGroup, kRedButtonTimesHistory, five), 0u);
    const TimeHistory three = {first + 10, first + 11, first + 12};
    ASSERT_EQ(SaveTimeList(registry, kSecModGroup, kGreenButtonTimesHistory, three), 0u);

    EXPECT_EQ(Names(kGreenButtonKey), (std::vector<std::string>{"0", "1", "2"}));
    TimeHistory loaded;
    LoadTimeList(registry, kSecModGroup, kGreenButtonTimesHistory, loaded);
    EXPECT_EQ(loaded, three);
    TimeHistory red;
    LoadTimeList(registry, kSecModGroup, kRedButtonTimesHistory, red);
    EXPECT_EQ(red, five);

    ASSERT_EQ(SaveTimeList(registry, kSecModGroup, kGreenButtonTimesHistory, TimeHistory{}), 0u);
    EXPECT_TRUE(Values(kGreenButtonKey).empty());
}

}  // namespace
}  // namespace lane::monitor
