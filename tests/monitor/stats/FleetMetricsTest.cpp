// Fleet metrics: the exposition text of a lane in trouble, the setting that turns the file on,
// and a reader racing the writer.
#include "monitor/stats/FleetMetrics.h"

#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>
#include <map>
#include <regex>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "tests/monitor/stats/MonitorTestSupport.h"

namespace lane::monitor {
namespace {

using testing::FakeHost;
using testing::Lines;
using testing::ScratchFolder;

// Every sample line as name{labels} -> value, checking the exposition rules on the way: each
// family has one HELP and one TYPE before its samples, names and labels are well formed.
std::map<std::string, std::string> Samples(const std::string& text) {
    static const std::regex sample(
        R"(^(lane_[a-z_]+)(\{[a-z_]+="([^"\\]|\\.)*"(,[a-z_]+="([^"\\]|\\.)*")*\})? (-?[0-9.e+-]+)$)");
    std::map<std::string, std::string> samples;
    std::set<std::string> typed;
    std::string family;
    for (const std::string& line : Lines(text)) {
        if (line.rfind("# HELP ", 0) == 0) {
            family = line.substr(7, line.find(' ', 7) - 7);
            EXPECT_TRUE(typed.insert(family).second) << "family twice: " << family;
            continue;
        }
        if (line.rfind("# TYPE ", 0) == 0) {
            EXPECT_EQ(line, "# TYPE " + family + " gauge");
            continue;
        }
        std::smatch match;
        if (!std::regex_match(line, match, sample)) {
            ADD_FAILURE() << "not a sample: " << line;
            continue;
        }
        EXPECT_EQ(match[1].str(), family) << line;
        const std::string series = match[1].str() + match[2].str();
        EXPECT_TRUE(samples.emplace(series, match[6].str()).second) << "twice: " << series;
    }
    EXPECT_EQ(text.back(), '\n');
    return samples;
}

class FleetMetricsTest : public ::testing::Test {
  protected:
    ScratchFolder folder;
    FakeHost host{folder.File("hive.reg")};
};

TEST_F(FleetMetricsTest, LaneWithAJamShowsColoursStatesTimesRatesAndVersions) {
    const std::time_t jammed = testing::LocalSeconds(2026, 3, 4, 14, 5, 9);
    auto& s = host.statistics;
    s.StatusBillAcceptor = StatusColour::Red;
    s.StatusCoinAcceptor = StatusColour::Yellow;
    s.UpdateSystemStatus();
    s.BillAccState = DeviceState::Jammed;
    s.BillAccLastTimeJammed = jammed;
    s.BillAccRejectRate = 25;
    s.BillAccRepeatedRejects = 4;
    s.BillAccRequireCleaning = true;
    s.CoinAccCoinVolume = 1000000;
    s.CoinAccRejectRate = 50;  // more bills-only transactions than the alert needs
    s.BillDispFMn[2] = 3;      // only feed module 3 reported
    s.BillDispFMnLastTimeLow[2] = jammed + 60;
    // Texts from the devices and files are untrusted: quotes, line ends, bytes beyond ASCII.
    s.LaneSoftwareVersion = "4.2 \"beta\"\n\\x\xff";
    host.settings.ReportingIntervalMinutes = 10;

    const auto samples = Samples(FleetMetricsText(s, host.settings));
    const std::map<std::string, std::string> expected = {
        {"lane_status_colour", "0"},
        {"lane_device_status_colour{device=\"bill_acceptor\"}", "0"},
        {"lane_device_status_colour{device=\"coin_acceptor\"}", "1"},
        {"lane_device_status_colour{device=\"security_scale\"}", "2"},
        {"lane_device_state{device=\"bill_acceptor\",state=\"jammed\"}", "1"},
        {"lane_device_state{device=\"bill_acceptor\",state=\"ready\"}", "0"},
        {"lane_device_state{device=\"coin_dispenser\",state=\"ready\"}", "1"},
        {"lane_device_last_event_timestamp_seconds{device=\"bill_acceptor\",event=\"jammed\"}",
         std::to_string(jammed)},
        // Never happened: 0, not the record's 1980 default.
        {"lane_device_last_event_timestamp_seconds{device=\"bill_acceptor\",event=\"offline\"}",
         "0"},
        {"lane_bill_dispenser_feed_module_last_event_timestamp_seconds{module=\"3\",event=\"low\"}",
         std::to_string(jammed + 60)},
        {"lane_coin_acceptor_bin_fill_ratio", "0.25"},
        {"lane_coin_acceptor_bills_only_transactions", "50"},
        {"lane_coin_acceptor_bills_only_ratio", "1"},
        {"lane_bill_acceptor_reject_ratio", "0.25"},
        {"lane_bill_acceptor_rejects_in_a_row", "4"},
        {"lane_bill_acceptor_requires_cleaning", "1"},
        {"lane_security_module_eprom_check_failed", "0"},
        {"lane_report_interval_seconds", "600"},
        {"lane_software_info{version=\"4.2 \\\"beta\\\"\\n\\\\x?\"}", "1"},
        {"lane_security_module_firmware_info{version=\"\"}", "1"},
    };
    for (const auto& [series, value] : expected) {
        const auto found = samples.find(series);
        ASSERT_NE(found, samples.end()) << series;
        EXPECT_EQ(found->second, value) << series;
    }
    // One state per device is set; absent feed modules have no series.
    int statesSet = 0;
    for (const auto& [series, value] : samples) {
        statesSet += series.rfind("lane_device_state{", 0) == 0 && value == "1";
        EXPECT_EQ(series.find("module=\"1\""), std::string::npos) << series;
    }
    EXPECT_EQ(statesSet, 6);
    EXPECT_EQ(
        samples.count("lane_monitor_build_info{version=\"" LANE_SUITE_VERSION_FOR_TESTS "\"}"), 1u);
}

TEST_F(FleetMetricsTest, FileIsWrittenOnlyIntoAConfiguredFolderThatExists) {
    const std::string metrics = folder.File("metrics");
    const std::string file = metrics + "/tavrik.prom";
    // Not configured: nothing written, nothing traced.
    EXPECT_EQ(WriteFleetMetrics(host), 0u);
    ASSERT_EQ(
        host.registry.SetValue(kSettingsKey, kMetricsFolderValue, platform::RegValue::String("")),
        0u);
    EXPECT_EQ(WriteFleetMetrics(host), 0u);
    EXPECT_TRUE(host.Notes().empty());

    // A folder that is not there is an error the trace shows; it is not created behind the
    // operator's back.
    ASSERT_EQ(host.registry.SetValue(kSettingsKey, kMetricsFolderValue,
                                     platform::RegValue::String(metrics)),
              0u);
    EXPECT_EQ(WriteFleetMetrics(host), 3u);
    ASSERT_EQ(host.Notes().size(), 1u);
    EXPECT_EQ(host.Notes()[0].rfind("Fleet metrics not written to " + file + ", error 3", 0), 0u)
        << host.Notes()[0];
    EXPECT_FALSE(std::filesystem::exists(file));

    std::filesystem::create_directory(metrics);
    host.statistics.BillAccState = DeviceState::Offline;
    EXPECT_EQ(WriteFleetMetrics(host), 0u);
    EXPECT_EQ(testing::ReadText(file), FleetMetricsText(host.statistics, host.settings));
    // Only the file itself is left behind: no temporary for the collector to trip over.
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(metrics),
                            std::filesystem::directory_iterator()),
              1);
}

TEST_F(FleetMetricsTest, ReaderRacingTheWriterSeesWholeFilesOnly) {
    const std::string metrics = folder.File("metrics");
    std::filesystem::create_directory(metrics);
    ASSERT_EQ(host.registry.SetValue(kSettingsKey, kMetricsFolderValue,
                                     platform::RegValue::String(metrics)),
              0u);
    // Two versions of very different length, so a file caught half written cannot pass for one.
    host.statistics.LaneSoftwareVersion = "short";
    const std::string shortText = FleetMetricsText(host.statistics, host.settings);
    host.statistics.LaneSoftwareVersion = std::string(200000, 'L');
    const std::string longText = FleetMetricsText(host.statistics, host.settings);
    ASSERT_EQ(WriteFleetMetrics(host), 0u);

    constexpr int kWrites = 200;
    std::atomic<bool> writing{true};
    std::thread writer([&] {
        for (int i = 0; i < kWrites; ++i) {
            {
                std::lock_guard<CDeviceStatistics> guard(host.statistics);
                host.statistics.LaneSoftwareVersion =
                    i % 2 == 0 ? std::string("short") : std::string(200000, 'L');
            }
            EXPECT_EQ(WriteFleetMetrics(host), 0u);
        }
        writing = false;
    });
    int reads = 0;
    int wrong = 0;
    while (writing || reads == 0) {
        const std::string text = testing::ReadText(metrics + "/tavrik.prom");
        ++reads;
        wrong += text != shortText && text != longText;
    }
    writer.join();
    EXPECT_EQ(wrong, 0) << "of " << reads << " reads";
    EXPECT_TRUE(host.Notes().empty());
}

}  // namespace
}  // namespace lane::monitor
