// Tavrik -Test against lanesim: the stream's messages in the trace file, the start and stop
// bytes, the trace file switches.
#include <regex>
#include <sstream>

#include "tests/e2e/EndToEnd.h"

namespace lane::e2e {
namespace {

// Each case in a packet of its own, apart in time so that the monitor reads them one by one.
constexpr const char* kStreamScenario = R"(
connect within 20000
expect 02 56 03 02 48 03
send A3 01 A2 02            # two messages in one packet
delay 300
send A8 01 03 AA            # a length frame over two packets
delay 300
send BB CC
delay 300
send A2 07 A3 01            # unlisted sub-code: the rest is unrecognised
delay 300
send A9 04 03 11 22 33      # bill acceptor, copied to the coin acceptor
delay 300
send AB 05                  # not traced
delay 300
send 50 A3 01               # unknown code: the whole buffer is unrecognised
delay 300
send A0 01 03 45 4E 44      # the end of the traffic
expect DE AD BE EF FF FF within 20000
hold 10000
)";

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) {
        lines.push_back(line);
    }
    return lines;
}

int CountLinesEndingWith(const std::vector<std::string>& lines, const std::string& tail) {
    int count = 0;
    for (const auto& line : lines) {
        if (line.size() >= tail.size() &&
            line.compare(line.size() - tail.size(), tail.size(), tail) == 0) {
            ++count;
        }
    }
    return count;
}

class TavrikStreamTest : public LaneTest {};

TEST_F(TavrikStreamTest, TracesEveryMessageAndSendsStartAndStopBytes) {
    SetSetting("LoggingState", platform::RegValue::Dword(2));
    StartLanesim(kStreamScenario);
    platform::ChildProcess tavrik;
    ASSERT_EQ(StartTavrik(tavrik, {"-Test", "-debug"}), 0u);
    ASSERT_TRUE(ReadUntil(tavrik, "A0 01 [03] 45 4E 44  - Security Module Debug Data"));
    ASSERT_EQ(tavrik.Terminate(), 0u);
    EXPECT_EQ(ExitCode(tavrik), 0);
    EXPECT_EQ(ExitCode(lanesim), 0);

    EXPECT_EQ(RecordSummary(), "1 02 56 03 02 48 03 DE AD BE EF FF FF\n");

    const std::vector<std::string> lines = Lines(TraceFile());
    const std::regex prefix(R"(^\d{8} \d{2}:\d{2}:\d{2}\.\d{3} : .*)");
    for (const auto& line : lines) {
        EXPECT_TRUE(std::regex_match(line, prefix)) << line;
    }
    EXPECT_EQ(CountLinesEndingWith(lines, " : A3 01  - Lane Light On"), 1);
    EXPECT_EQ(CountLinesEndingWith(lines, " : A2 02  - Red Button Pressed"), 1);
    EXPECT_EQ(CountLinesEndingWith(lines, " : A8 01 [03] AA BB CC  - Coin Acc Output"), 1);
    EXPECT_EQ(CountLinesEndingWith(lines, " : A3 01  ** UNKNOWN MESSAGE **"), 1);
    EXPECT_EQ(CountLinesEndingWith(lines, " : A9 04 [03] 11 22 33 Raw Data to BillAcc:  11 22 33 "),
              1);
    EXPECT_EQ(CountLinesEndingWith(lines, " : (AB 05 ) -- Raw Input --"), 1);
    EXPECT_EQ(CountLinesEndingWith(lines, " : AB 05 "), 0);
    EXPECT_EQ(CountLinesEndingWith(lines, " : 50 A3 01  ** UNKNOWN MESSAGE **"), 1);
    EXPECT_EQ(CountLinesEndingWith(lines, " : 4 bytes rec'd from SecMod"), 3);
}

TEST_F(TavrikStreamTest, AtItsSizeLimitTheTraceFileStartsAgainFromEmpty) {
    SetSetting("LoggingState", platform::RegValue::Dword(2));
    SetSetting("MaxLogSize", platform::RegValue::Dword(1));
    std::ofstream(root / "c/tavrikitor.trc") << std::string(1000, 'x');
    StartLanesim(kStreamScenario);
    platform::ChildProcess tavrik;
    ASSERT_EQ(StartTavrik(tavrik, {"-Test", "-Debug"}), 0u);
    ASSERT_TRUE(ReadUntil(tavrik, "Security Module Debug Data"));
    ASSERT_EQ(tavrik.Terminate(), 0u);
    EXPECT_EQ(ExitCode(tavrik), 0);
    const std::string trace = TraceFile();
    EXPECT_LE(trace.size(), 1024u);
    EXPECT_EQ(trace.find('x'), std::string::npos);
    EXPECT_EQ(trace.back(), '\n');
}

TEST_F(TavrikStreamTest, LoggingStateZeroOpensNoTraceFile) {
    StartLanesim(kStreamScenario);
    platform::ChildProcess tavrik;
    ASSERT_EQ(StartTavrik(tavrik, {"-Test", "-Debug"}), 0u);
    ASSERT_TRUE(ReadUntil(tavrik, "Security Module Debug Data"));
    ASSERT_EQ(tavrik.Terminate(), 0u);
    EXPECT_EQ(ExitCode(tavrik), 0);
    EXPECT_FALSE(std::filesystem::exists(root / "c/tavrikitor.trc"));
}

}  // namespace
}  // namespace lane::e2e
