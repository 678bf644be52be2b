// Tavrik -Test against lanesim with the fleet metrics on: after a bill jam and a report on
// request, a real node exporter serves the lane's colours from the metrics folder over HTTP.
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "tests/e2e/ToolRun.h"

namespace lane::e2e {
namespace {

constexpr const char* kScenario = R"(
connect within 20000
expect 02 56 03 02 48 03
bill jam
delay 200
send A0 01 03 45 4E 44      # the end of the traffic
expect DE AD BE EF FF FF within 30000
hold 10000
)";

// "... msg="Listening on" address=127.0.0.1:43121" gives "127.0.0.1:43121".
std::string ListeningAddress(const std::string& line) {
    const std::string key = "address=";
    const std::size_t at = line.find(key);
    return at == std::string::npos ? std::string() : line.substr(at + key.size());
}

// Each request waits for its report's trace line, so this bounds the wait without a clock.
constexpr int kReportRequests = 50;

class FleetMetricsExporterTest : public LaneTest {};

TEST_F(FleetMetricsExporterTest, NodeExporterServesTheJammedLanesColoursWithoutScrapeError) {
    const auto metrics = root / "metrics";
    std::filesystem::create_directories(metrics);
    SetSetting("MetricsFolder", platform::RegValue::String(metrics.string()));
    StartLanesim(kScenario);

    platform::ChildProcess tavrik;
    auto environment = Environment();
    // The alerts of this run go nowhere rather than into the machine's log.
    environment.emplace_back("LANE_SYSLOG_SOCKET", (root / "no-log").string());
    ASSERT_EQ(tavrik.Start(BinaryPath("monitor/Tavrik"), {"-Test", "-Debug"}, environment), 0u);
    ASSERT_TRUE(ReadUntil(tavrik, "<= Bill Acceptor: Bill Jammed,"));
    ASSERT_TRUE(ReadUntil(tavrik, "A0 01 [03] 45 4E 44"));
    // The lane's colour follows once the security module's worker has taken the last frame,
    // which may come just after its trace line: ask for reports until the file shows it.
    bool laneRed = false;
    for (int request = 0; request < kReportRequests && !laneRed; ++request) {
        ASSERT_EQ(tavrik.SendServiceRequest(), 0u);
        ASSERT_TRUE(ReadUntil(tavrik, "Status report written on request"));
        std::ifstream file(metrics / "tavrik.prom");
        const std::string text((std::istreambuf_iterator<char>(file)),
                               std::istreambuf_iterator<char>());
        laneRed = text.find("\nlane_status_colour 0\n") != std::string::npos;
    }
    ASSERT_TRUE(laneRed);

    // The exporter with the textfile collector alone, on a port the system picks.
    ASSERT_TRUE(std::filesystem::exists(LANE_NODE_EXPORTER))
        << "missing " << LANE_NODE_EXPORTER << ": run scripts/setup.sh";
    platform::ChildProcess exporter;
    ASSERT_EQ(exporter.Start(LANE_NODE_EXPORTER,
                             {"--web.listen-address=127.0.0.1:0", "--collector.disable-defaults",
                              "--collector.textfile", "--web.disable-exporter-metrics",
                              "--collector.textfile.directory=" + metrics.string()},
                             {}, true),
              0u);
    std::vector<std::string> lines;
    ASSERT_TRUE(ReadUntil(exporter, "msg=\"Listening on\"", &lines));
    const std::string address = ListeningAddress(lines.back());
    ASSERT_EQ(address.rfind("127.0.0.1:", 0), 0u) << lines.back();

    const ToolResult scrape = RunTool(LANE_CURL, {"--silent", "--show-error", "--max-time", "20",
                                                  "http://" + address + "/metrics"});
    ASSERT_EQ(scrape.exitCode, 0) << scrape.output;
    for (const char* sample : {
             "\nlane_status_colour 0\n",
             "\nlane_device_status_colour{device=\"bill_acceptor\"} 0\n",
             "\nlane_device_state{device=\"bill_acceptor\",state=\"jammed\"} 1\n",
             "\nnode_textfile_scrape_error 0\n",
         }) {
        EXPECT_NE(scrape.output.find(sample), std::string::npos) << sample << scrape.output;
    }

    ASSERT_EQ(exporter.Terminate(), 0u);
    ASSERT_EQ(tavrik.Terminate(), 0u);
    EXPECT_EQ(ExitCode(tavrik), 0);
    EXPECT_EQ(ExitCode(lanesim), 0);
}

}  // namespace
}  // namespace lane::e2e
