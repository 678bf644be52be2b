// Tavrik in driver mode (no -Test) against lanesim's security module: the link start-up, the
// remote-monitor stream through port 7 into the trace file, the close of port 7 at a SIGTERM
// stop, and a lane where nobody serves the driver.
#include <regex>
#include <sstream>

#include "tests/e2e/EndToEnd.h"

namespace lane::e2e {
namespace {

// The monitor opens port 7; the stream follows in packets of its own, one of them cut short.
constexpr const char* kDriverScenario = R"(
module connect within 20000
module expect 07 02 00 09 within 20000   # TMCB_DC_OPEN_PORT for port 7
monitor A3 01 A2 02
delay 300
monitor A8 01 03 AA                      # a length frame over two packets
monitor BB CC
delay 300
fault short 2 port 7                     # the next packet arrives with two bytes only
monitor A6 01
delay 300
monitor A0 01 03 45 4E 44                # the end of the traffic
module expect 07 03 00 0A within 60000   # TMCB_DC_CLOSE_PORT when the monitor stops
hold 10000
)";

bool HasLineEndingWith(const std::string& text, const std::string& tail) {
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) {
        if (line.size() >= tail.size() &&
            line.compare(line.size() - tail.size(), tail.size(), tail) == 0) {
            return true;
        }
    }
    return false;
}

class TavrikDriverTest : public LaneTest {};

TEST_F(TavrikDriverTest, TracesTheRemoteMonitorStreamAndClosesPortSevenOnSigterm) {
    SetSetting("LoggingState", platform::RegValue::Dword(2));
    StartLanesim(kDriverScenario);
    platform::ChildProcess tavrik;
    ASSERT_EQ(StartTavrik(tavrik, {"-Debug"}), 0u);
    ASSERT_TRUE(ReadUntil(tavrik, "A0 01 [03] 45 4E 44  - Security Module Debug Data"));
    ASSERT_EQ(tavrik.Terminate(), 0u);
    EXPECT_EQ(ExitCode(tavrik), 0);
    EXPECT_EQ(ExitCode(lanesim), 0);

    // The monitor's five handles opened in order; the serial-data writer (the third) carried
    // the open of port 7, then the close of the link shut-down and the one of the driver close.
    EXPECT_EQ(RecordSummary(), "D3 07 02 00 09\nD3 07 03 00 0A\nD3 07 03 00 0A\n");

    const std::string trace = TraceFile();
    for (const char* tail : {
             " : *** RemoteMonitorPortRead - IO Pending",
             " : Remote Monitor Port (0x7) Opened",
             " : USB Data Packet Received...Length = 4",
             " : 4 bytes rec'd from SecMod",
             " : (A3 01 A2 02 ) -- Raw Input --",
             " : A3 01  - Lane Light On",
             " : A2 02  - Red Button Pressed",
             " : USB Data Packet Received...Length = 2",
             " : A8 01 [03] AA BB CC  - Coin Acc Output",
             " : Bad Packet Size Received from Security Module, Size = 2l - ( 64l requested )",
             " : A0 01 [03] 45 4E 44  - Security Module Debug Data",
             " : Close TMCB Ports...",
         }) {
        EXPECT_TRUE(HasLineEndingWith(trace, tail)) << tail;
    }
    // The packet that was cut short never reached the parser.
    EXPECT_FALSE(HasLineEndingWith(trace, " : (A6 01 ) -- Raw Input --"));
    EXPECT_LT(trace.find("IO Pending"), trace.find("Remote Monitor Port (0x7) Opened"));
}

TEST_F(TavrikDriverTest, WithNobodyServingTheDriverItReportsAndEndsWithTwo) {
    SetSetting("LoggingState", platform::RegValue::Dword(2));
    platform::ChildProcess tavrik;
    // Without -Debug nothing is printed to standard output: what comes is standard error.
    ASSERT_EQ(tavrik.Start(BinaryPath("monitor/Tavrik"), {}, Environment(), true), 0u);
    std::vector<std::string> lines;
    ASSERT_TRUE(ReadUntil(tavrik, "Error Initializing Orvel Monitor: ", &lines));
    EXPECT_EQ(lines.back(), "Tavrik: TAVRIK Startup Error: Error Initializing Orvel Monitor: ");
    // The box's text stays as it is; a second line says what could not be opened, and why.
    lines.clear();
    ASSERT_TRUE(ReadUntil(tavrik, "Error Initializing Orvel Monitor: \\\\.\\", &lines));
    EXPECT_EQ(lines.back(),
              "Tavrik: Error Initializing Orvel Monitor: \\\\.\\SecModuleDevice0 (socket " +
                  (root / "driver/SecModuleDevice0").string() +
                  "): The system cannot find the file specified.");
    EXPECT_EQ(ExitCode(tavrik), 2);
    const std::string trace = TraceFile();
    EXPECT_TRUE(HasLineEndingWith(
        trace, " : Error Opending Security Module ( hDevice_Write_SystemPortIo ) RtnValue: 0x2 )"));
    EXPECT_TRUE(HasLineEndingWith(trace, " : Error Opening USB Device Driver"));
    EXPECT_TRUE(HasLineEndingWith(trace, " :   ** Error Initializing Orvel Monitor:  **"));
}

}  // namespace
}  // namespace lane::e2e
