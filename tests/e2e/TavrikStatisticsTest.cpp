// Tavrik -Test against lanesim: settings and statistics in the registry hive after a run, and the
// time stamps that the security module's messages set.
#include <filesystem>
#include <fstream>
#include <functional>

#include "tests/e2e/EndToEnd.h"

namespace lane::e2e {
namespace {

constexpr const char* kSettingsKey = "SOFTWARE\\Quarnel\\Tavrik";
constexpr const char* kValuesKey = "SOFTWARE\\Quarnel\\Tavrik\\Values";
constexpr const char* kDefaultTime = "1980-01-01 00:00:00";

using Values = std::vector<std::pair<std::string, platform::RegValue>>;

// Plays `frames` as one packet each and ends the traffic with a marker frame.
std::string ScenarioSending(const std::vector<std::string>& frames) {
    std::string scenario = "connect within 20000\nexpect 02 56 03 02 48 03\n";
    for (const auto& frame : frames) {
        scenario += "send " + frame + "\ndelay 200\n";
    }
    scenario += "send A0 01 03 45 4E 44\nexpect DE AD BE EF FF FF within 20000\nhold 10000\n";
    return scenario;
}

class TavrikStatisticsTest : public LaneTest {
  protected:
    // Runs the monitor over `frames` and stops it; the display lines are kept.
    void RunMonitor(const std::vector<std::string>& frames) {
        StartLanesim(ScenarioSending(frames));
        platform::ChildProcess tavrik;
        ASSERT_EQ(StartTavrik(tavrik, {"-Test", "-Debug"}), 0u);
        ASSERT_TRUE(ReadUntil(tavrik, "A0 01 [03] 45 4E 44", &displayed));
        ASSERT_EQ(tavrik.Terminate(), 0u);
        EXPECT_EQ(ExitCode(tavrik), 0);
        EXPECT_EQ(ExitCode(lanesim), 0);
    }
    Values Key(const char* key) {
        Values values;
        EXPECT_EQ(registry.ReadKey(key, values), 0u);
        return values;
    }
    std::string Text(const char* key, const std::string& name) {
        platform::RegValue value;
        EXPECT_EQ(registry.QueryValue(key, name, value), 0u) << name;
        return value.text;
    }
    // The values of a key in one of the golden hives of the statistics tests.
    Values Golden(const std::string& file, const char* key) {
        const auto copy = root / file;
        std::filesystem::copy_file(
            std::string(LANE_SOURCE_DIR) + "/tests/monitor/stats/golden/" + file, copy);
        Values values;
        EXPECT_EQ(platform::Registry(copy.string()).ReadKey(key, values), 0u);
        return values;
    }
    bool Displayed(const std::string& tail) const {
        for (const auto& line : displayed) {
            if (line.size() >= tail.size() &&
                line.compare(line.size() - tail.size(), tail.size(), tail) == 0) {
                return true;
            }
        }
        return false;
    }

    std::vector<std::string> displayed;
    int exitCode = -1;
};

void ExpectSameValues(const Values& actual, const Values& expected) {
    ASSERT_EQ(actual.size(), expected.size());
    for (std::size_t i = 0; i < actual.size(); ++i) {
        EXPECT_EQ(actual[i].first, expected[i].first) << "value " << i;
        EXPECT_EQ(actual[i].second.type, expected[i].second.type) << actual[i].first;
        EXPECT_EQ(actual[i].second.text, expected[i].second.text) << actual[i].first;
        EXPECT_EQ(actual[i].second.dword, expected[i].second.dword) << actual[i].first;
    }
}

TEST_F(TavrikStatisticsTest, AFirstRunLeavesEverySettingAndStatisticWithItsDefault) {
    RunMonitor({});
    ExpectSameValues(Key(kSettingsKey), Golden("SettingsDefaults.reg", kSettingsKey));
    Values expected = Golden("StatisticsDefaults.reg", kValuesKey);
    const std::string communicated = Text(kValuesKey, "SecModLastTimeCommunicated");
    EXPECT_NE(communicated, kDefaultTime);  // the marker frame at the end of the traffic
    for (auto& [name, value] : expected) {
        if (name == "LaneSoftwareVersion") {
            value.text = "<Unknown>";  // this lane root has no set-up file
        } else if (name == "SecModLastTimeCommunicated") {
            value.text = communicated;
        }
    }
    ExpectSameValues(Key(kValuesKey), expected);
}

TEST_F(TavrikStatisticsTest, GreenButtonStampsTheModuleWhenItIsMonitored) {
    RunMonitor({"A2 01"});
    EXPECT_TRUE(Displayed("A2 01  - Green Button Pressed"));
    const std::string pressed = Text(kValuesKey, "SecModLastTimeGreenButtonPressed");
    EXPECT_NE(pressed, kDefaultTime);
    EXPECT_EQ(pressed.size(), 19u);
    // The marker frame at the end also marks the module as heard from, a moment later.
    EXPECT_GE(Text(kValuesKey, "SecModLastTimeCommunicated"), pressed);
}

TEST_F(TavrikStatisticsTest, NothingIsStampedWhenTheModuleIsNotMonitored) {
    SetSetting("MonitorSecurityModule", platform::RegValue::String("False"));
    RunMonitor({"A2 01", "AF 05"});
    EXPECT_TRUE(Displayed("A2 01  - Green Button Pressed"));
    EXPECT_TRUE(Displayed("AF 05  - Curtains Bag Area Full"));
    EXPECT_EQ(Text(kValuesKey, "SecModLastTimeGreenButtonPressed"), kDefaultTime);
    EXPECT_EQ(Text(kValuesKey, "SecModLastTimeCommunicated"), kDefaultTime);
    // The bag area belongs to the conveyor's switch, which is still on.
    EXPECT_NE(Text(kValuesKey, "BaggingSensorLastTimeBagAreaFull"), kDefaultTime);
    EXPECT_EQ(Text(kSettingsKey, "MonitorSecurityModule"), "false");
}

TEST_F(TavrikStatisticsTest, CashSystemDataIsTracedWithItsLength) {
    RunMonitor({"B2 02 02 41 42"});
    EXPECT_TRUE(Displayed("B2 02 [02] 41 42  - Data FROM Cash System"));
}

TEST_F(TavrikStatisticsTest, UnrecognisedBytesAreKeptAsTheLastBadData) {
    RunMonitor({"50 51"});
    EXPECT_EQ(Text(kValuesKey, "SecModLastBadData"), "50 51 ");
    EXPECT_NE(Text(kValuesKey, "SecModLastTimeBadData"), kDefaultTime);
}

TEST_F(TavrikStatisticsTest, AFailedSaveIsToldAndTriedAgainAndALossAtTheStopEndsWith3) {
    const auto hive = root / "registry/HKEY_LOCAL_MACHINE.reg";
    std::filesystem::create_directories(hive.parent_path());
    const auto breakHive = [&hive] { std::ofstream(hive) << "this is not a hive\n"; };
    const std::string reason = "The data is invalid (error 13)";
    const auto runUntilStopped = [this](std::vector<std::string>& lines,
                                        const std::function<void()>& whileRunning) {
        StartLanesim(ScenarioSending({"A2 01"}));
        platform::ChildProcess tavrik;
        ASSERT_EQ(
            tavrik.Start(BinaryPath("monitor/Tavrik"), {"-Test", "-Debug"}, Environment(), true),
            0u);
        ASSERT_TRUE(ReadUntil(tavrik, "A0 01 [03] 45 4E 44", &lines));
        whileRunning();
        ASSERT_EQ(tavrik.Terminate(), 0u);
        std::string line;
        while (tavrik.ReadLine(line, kLineTimeoutMs) == 0) {
            lines.push_back(line);
        }
        exitCode = ExitCode(tavrik);
        EXPECT_EQ(ExitCode(lanesim), 0);
    };
    const auto shown = [](const std::vector<std::string>& lines, const std::string& text) {
        for (const auto& line : lines) {
            if (line.find(text) != std::string::npos) {
                return true;
            }
        }
        return false;
    };

    // The start cannot save the settings: told on standard error and in the trace. The hive is
    // mended while the monitor runs, and the stop's saves reach it.
    breakHive();
    std::vector<std::string> first;
    runUntilStopped(first, [&hive] { std::filesystem::remove(hive); });
    EXPECT_TRUE(shown(first, "Tavrik: Registry: The settings could not be saved to " +
                                 hive.string() + ": " + reason + ". The next save tries again."));
    EXPECT_TRUE(shown(first, "** The settings are saved to the registry again **"));
    EXPECT_FALSE(shown(first, "are lost"));
    EXPECT_EQ(exitCode, 0);
    EXPECT_NE(Text(kValuesKey, "SecModLastTimeGreenButtonPressed"), kDefaultTime);

    // A hive still broken at the stop: the loss is told and the exit code says so.
    breakHive();
    std::vector<std::string> second;
    runUntilStopped(second, [] {});
    EXPECT_TRUE(shown(second, "** The statistics could not be saved to the registry: " + reason));
    EXPECT_TRUE(
        shown(second, "Tavrik: Registry: The settings and statistics could not be saved to " +
                          hive.string() + " at the stop: " + reason + ". They are lost."));
    EXPECT_EQ(exitCode, 3);
}

}  // namespace
}  // namespace lane::e2e
