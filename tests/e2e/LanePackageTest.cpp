// The Debian package of the suite, made by this build and unpacked into a temporary folder (never
// into the machine's /usr): its unit starts the shipped Tavrik, which runs against lanesim, finds
// the alert library in the installed library folder and logs a jam to a test syslog socket.
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "platform/DatagramListener.h"
#include "tests/e2e/ToolRun.h"

namespace lane::e2e {
namespace {

namespace fs = std::filesystem;

constexpr const char* kScenario = R"(
connect within 20000
expect 02 56 03 02 48 03
bill jam
delay 200
send A0 01 03 45 4E 44      # the end of the traffic
expect DE AD BE EF FF FF within 30000
hold 10000
)";

class LanePackageTest : public LaneTest {
  protected:
    // Makes the package with this build's install rules; the path of the one .deb made.
    fs::path MakePackage() {
        const fs::path out = root / "package";
        const ToolResult cpack =
            RunTool(LANE_CPACK_COMMAND,
                    {"-G", "DEB", "-B", out.string(), "--config", BinaryPath("CPackConfig.cmake")});
        EXPECT_EQ(cpack.exitCode, 0) << cpack.output;
        for (const auto& entry : fs::directory_iterator(out)) {
            if (entry.path().extension() == ".deb") {
                return entry.path();
            }
        }
        ADD_FAILURE() << "no package made:\n" << cpack.output;
        return {};
    }

    // The unit's "Key=value" lines.
    static std::vector<std::string> UnitLines(const fs::path& unit) {
        std::ifstream in(unit);
        std::vector<std::string> lines;
        for (std::string line; std::getline(in, line);) {
            lines.push_back(line);
        }
        return lines;
    }

    static std::string UnitValue(const std::vector<std::string>& lines, const std::string& key) {
        for (const std::string& line : lines) {
            if (line.rfind(key + "=", 0) == 0) {
                return line.substr(key.size() + 1);
            }
        }
        return {};
    }
};

TEST_F(LanePackageTest, UnpackedPackageRunsTheMonitorItsUnitNamesAndAlertsReachSyslog) {
    const fs::path package = MakePackage();
    ASSERT_FALSE(package.empty());
    const fs::path unpacked = root / "unpacked";
    const ToolResult unpack = RunTool(LANE_DPKG_DEB, {"-x", package.string(), unpacked.string()});
    ASSERT_EQ(unpack.exitCode, 0) << unpack.output;

    // The unit, wherever under the prefix the package put it.
    fs::path unit;
    for (const auto& entry : fs::recursive_directory_iterator(unpacked)) {
        if (entry.path().filename() == "tavrik.service") {
            unit = entry.path();
        }
    }
    ASSERT_FALSE(unit.empty());
    EXPECT_EQ(unit.parent_path().filename(), "system");
    const auto lines = UnitLines(unit);
    EXPECT_EQ(UnitValue(lines, "Environment"), "LANE_ROOT=/var/lib/lane");
    EXPECT_EQ(UnitValue(lines, "StateDirectory"), "lane lane/c");
    EXPECT_EQ(UnitValue(lines, "Restart"), "on-failure");
    EXPECT_EQ(UnitValue(lines, "KillSignal"), "SIGTERM");
    EXPECT_EQ(UnitValue(lines, "Type"), "notify");
    EXPECT_EQ(UnitValue(lines, "WatchdogSec"), "30");
    EXPECT_EQ(UnitValue(lines, "ExecReload"), "/bin/kill -HUP $MAINPID");
    const std::string execStart = UnitValue(lines, "ExecStart");
    ASSERT_EQ(execStart.rfind('/', 0), 0u) << execStart;

    // The programs side by side, the alert library not among them, the docs.
    const fs::path monitor = unpacked / execStart.substr(1);
    const fs::path bin = monitor.parent_path();
    for (const char* program : {"Tavrik", "Moxtel", "Quillan", "Tembo", "lanereg"}) {
        EXPECT_TRUE(fs::is_regular_file(bin / program)) << program;
    }
    EXPECT_FALSE(fs::exists(bin / "libTavrikEvent.so"));
    EXPECT_TRUE(fs::is_regular_file(bin.parent_path() / "share/doc/lane-suite/metrics.md"));

    // The lane's number for the alerts, and a log daemon of our own.
    fs::create_directories(root / "c/Kel Lane/Config");
    std::ofstream(root / "c/Kel Lane/Config/LaneConfig.ini") << "[Common]\r\nKelLaneNumber=7\r\n";
    platform::DatagramListener log;
    ASSERT_EQ(log.Open((root / "log").string()), 0u);

    StartLanesim(kScenario);
    platform::ChildProcess tavrik;
    auto environment = Environment();
    environment.emplace_back("LANE_SYSLOG_SOCKET", (root / "log").string());
    ASSERT_EQ(tavrik.Start(monitor.string(), {"-Test", "-Debug"}, environment), 0u);
    ASSERT_TRUE(ReadUntil(tavrik, "<= Bill Acceptor: Bill Jammed,"));
    std::string line;
    ASSERT_EQ(log.Receive(line, kLineTimeoutMs), 0u);
    EXPECT_EQ(line.substr(0, 4), "<11>") << line;  // user facility, error
    EXPECT_NE(line.find(" Tavrik["), std::string::npos) << line;
    EXPECT_TRUE(
        line.ends_with("]: lane=7 code=23 event=BillAccJammed severity=error "
                       "name=\"Bill acceptor jammed\""))
        << line;
    ASSERT_TRUE(ReadUntil(tavrik, "A0 01 [03] 45 4E 44"));
    ASSERT_EQ(tavrik.Terminate(), 0u);
    EXPECT_EQ(ExitCode(tavrik), 0);
    EXPECT_EQ(ExitCode(lanesim), 0);
}

}  // namespace
}  // namespace lane::e2e
