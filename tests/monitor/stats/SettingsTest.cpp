// Settings in the registry: the first start's complete set, round trips, a hand-edited key.
#include "monitor/stats/Settings.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "platform/Registry.h"
#include "tests/monitor/stats/StatsTestSupport.h"

namespace lane::monitor {
namespace {

using testing::ExpectMatchesGolden;
using testing::ScratchFolder;
using testing::WriteText;

class SettingsTest : public ::testing::Test {
  protected:
    std::vector<std::pair<std::string, platform::RegValue>> SettingsValues() const {
        std::vector<std::pair<std::string, platform::RegValue>> values;
        EXPECT_EQ(registry.ReadKey(kSettingsKey, values), 0u);
        return values;
    }

    ScratchFolder folder;
    platform::Registry registry{folder.File("HKEY_LOCAL_MACHINE.reg")};
};

TEST_F(SettingsTest, FirstStartLeavesEverySettingWithItsDefault) {
    MonitorSettings settings;
    LoadSettings(registry, settings);
    ASSERT_EQ(SaveSettings(registry, settings), 0u);

    EXPECT_EQ(SettingsValues().size(), kStoredSettingsCount);
    ExpectMatchesGolden(registry.HiveFile(), "SettingsDefaults.reg");
    // A second start finds the complete set and leaves it as it is.
    const std::string first = testing::ReadText(registry.HiveFile());
    MonitorSettings again;
    LoadSettings(registry, again);
    ASSERT_EQ(SaveSettings(registry, again), 0u);
    EXPECT_EQ(testing::ReadText(registry.HiveFile()), first);
}

TEST_F(SettingsTest, ChangedSettingsReadBackAndUnstoredOnesStartOver) {
    MonitorSettings settings;
    settings.LoggingState = 2;
    settings.MaxLogSize = 65536;
    settings.TraceFileName = "d:\\traces\\lane 7.trc";
    settings.Port = "COM3";
    settings.ReportCopies = 0;
    settings.switches.MonitorConveyor = false;
    settings.switches.MonitorBillDispenser = false;
    settings.CoinAccBinVolume = 4294967295u;
    settings.FireBillDispFeedModule = false;
    settings.FireBillDispOnline = true;
    settings.CoinAcc02Volume = 480;
    settings.FireBillDispCommandReject = false;
    ASSERT_EQ(SaveSettings(registry, settings), 0u);

    MonitorSettings loaded;
    LoadSettings(registry, loaded);
    EXPECT_EQ(loaded.LoggingState, 2u);
    EXPECT_EQ(loaded.MaxLogSize, 65536u);
    EXPECT_EQ(loaded.TraceFileName, "d:\\traces\\lane 7.trc");
    EXPECT_EQ(loaded.Port, "COM3");
    EXPECT_EQ(loaded.ReportCopies, 0u);
    EXPECT_FALSE(loaded.switches.MonitorConveyor);
    EXPECT_FALSE(loaded.switches.MonitorBillDispenser);
    EXPECT_TRUE(loaded.switches.MonitorSecurityModule);
    EXPECT_EQ(loaded.CoinAccBinVolume, 4294967295u);
    EXPECT_FALSE(loaded.FireBillDispFeedModule);
    EXPECT_TRUE(loaded.FireBillDispOnline);
    EXPECT_EQ(loaded.CoinAcc02Volume, 0u);
    EXPECT_TRUE(loaded.FireBillDispCommandReject);

    platform::RegValue value;
    ASSERT_EQ(registry.QueryValue(kSettingsKey, "LoggingState", value), 0u);
    EXPECT_EQ(value.type, platform::RegValue::Type::Dword);
    ASSERT_EQ(registry.QueryValue(kSettingsKey, "MonitorConveyor", value), 0u);
    EXPECT_EQ(value.text, "false");
    EXPECT_EQ(SettingsValues().size(), kStoredSettingsCount);
}

TEST_F(SettingsTest, HandEditedKeyGivesWhatIsValid) {
    const std::string tooLong(261, 'x');
    const std::string longest = "c:\\" + std::string(257, 'y');
    WriteText(registry.HiveFile(),
              "Windows Registry Editor Version 5.00\r\n"
              "\r\n"
              "; settings changed by the service engineer\r\n"
              "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Quarnel\\Tavrik]\r\n"
              "  \"ReportingIntervalMinutes\" =   \"15\"  \r\n"
              "\"monitorconveyor\"=\"FALSE\"\r\n"
              "\"MonitorBillAcceptor\"=\"yes\"\r\n"
              "\"MonitorCoinAcceptor\"=\"1\"\r\n"
              "\"MonitorCoinDispenser\"=\"\"\r\n"
              "\"MonitorSecurityScale\"=\"tRUE\"\r\n"
              "\"LoggingState\"=dword:00000002\r\n"
              "\"MaxLogSize\"=\"80\"\r\n"
              "\"ReportCopies\"=dword:00000009\r\n"
              "\"SMRedButtonTimes\"=\"many\"\r\n"
              "\"SMGreenButtonTimes\"=\" 12 presses\"\r\n"
              "\"LogFileName\"=\"" +
                  tooLong +
                  "\"\r\n"
                  "\"TraceFileName\"=\"" +
                  longest +
                  "\"\r\n"
                  "\"NotASetting\"=\"1\"\r\n"
                  "this line means nothing\r\n"
                  "\r\n"
                  "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Quarnel\\Tavrik\\Elsewhere]\r\n"
                  "\"Port\"=\"9\"\r\n"
                  "\r\n"
                  "[HKEY_CURRENT_USER\\SOFTWARE\\Quarnel\\Tavrik]\r\n"
                  "\"Port\"=\"8\"\r\n");

    MonitorSettings settings;
    LoadSettings(registry, settings);
    EXPECT_EQ(settings.ReportingIntervalMinutes, 15u);
    EXPECT_FALSE(settings.switches.MonitorConveyor);
    EXPECT_FALSE(settings.switches.MonitorBillAcceptor);
    EXPECT_FALSE(settings.switches.MonitorCoinAcceptor);
    EXPECT_FALSE(settings.switches.MonitorCoinDispenser);
    EXPECT_TRUE(settings.switches.MonitorSecurityScale);
    EXPECT_EQ(settings.LoggingState, 2u);
    EXPECT_EQ(settings.MaxLogSize, 40u);   // a text where a DWORD belongs
    EXPECT_EQ(settings.ReportCopies, 3u);  // a DWORD where a text belongs
    EXPECT_EQ(settings.SMRedButtonTimes, 10u);
    EXPECT_EQ(settings.SMGreenButtonTimes, 12u);
    EXPECT_EQ(settings.LogFileName, "c:\\tavrik.log");
    EXPECT_EQ(settings.TraceFileName, longest);
    EXPECT_EQ(settings.Port, "7");

    // Saving completes the set and keeps what it does not know.
    ASSERT_EQ(SaveSettings(registry, settings), 0u);
    EXPECT_EQ(SettingsValues().size(), kStoredSettingsCount + 1);
    platform::RegValue value;
    EXPECT_EQ(registry.QueryValue(kSettingsKey, "NotASetting", value), 0u);
    ASSERT_EQ(registry.QueryValue(kSettingsKey, "LogFileName", value), 0u);
    EXPECT_EQ(value.text, "c:\\tavrik.log");
}

TEST(ChangedSettingsTest, NamesEachChangedStoredSettingInStoredOrderWithItsText) {
    const MonitorSettings before;
    MonitorSettings after;
    EXPECT_TRUE(ChangedSettings(before, after).empty());
    after.FireBillAccJammed = false;
    after.MaxLogSize = 64;
    after.LogFileName = "c:\\lane.log";
    after.ReportingIntervalMinutes = 1;
    after.CoinAcc02Volume = 9;  // not stored: not a change staff made in the registry
    EXPECT_EQ(ChangedSettings(before, after),
              (std::vector<std::string>{"MaxLogSize=64", "LogFileName=\"c:\\lane.log\"",
                                        "ReportingIntervalMinutes=1", "FireBillAccJammed=false"}));
}

}  // namespace
}  // namespace lane::monitor
