// The system log: the datagram a log daemon receives, and lines sent to a socket named by the
// environment.
#include "platform/SystemLog.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>
#include <string>

#include "platform/DatagramListener.h"
#include "tests/support/TempLaneRoot.h"

namespace lane::platform {
namespace {

std::time_t LocalTime(int month, int day, int hour, int minute, int second) {
    std::tm local{};
    local.tm_year = 2026 - 1900;
    local.tm_mon = month - 1;
    local.tm_mday = day;
    local.tm_hour = hour;
    local.tm_min = minute;
    local.tm_sec = second;
    local.tm_isdst = -1;
    return std::mktime(&local);
}

TEST(SystemLogTest, DatagramCarriesPriorityLocalTimeTagAndOneLine) {
    struct Case {
        SystemLogPriority priority;
        std::string text;
        std::string expected;
    };
    const std::time_t march = LocalTime(3, 4, 14, 5, 9);
    const std::time_t december = LocalTime(12, 17, 9, 0, 0);
    const Case cases[] = {
        {SystemLogPriority::Error, "lane=7 code=23",
         "<11>Mar  4 14:05:09 Tavrik[42]: lane=7 code=23"},
        {SystemLogPriority::Warning, "w", "<12>Mar  4 14:05:09 Tavrik[42]: w"},
        {SystemLogPriority::Notice, "n", "<13>Mar  4 14:05:09 Tavrik[42]: n"},
        {SystemLogPriority::Information, "i", "<14>Mar  4 14:05:09 Tavrik[42]: i"},
        // A text with line ends stays one log line.
        {SystemLogPriority::Error, "two\r\nlines\n", "<11>Mar  4 14:05:09 Tavrik[42]: two  lines "},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(SystemLogDatagram(c.priority, "Tavrik", 42, march, c.text), c.expected);
    }
    EXPECT_EQ(SystemLogDatagram(SystemLogPriority::Notice, "Tavrik", 7, december, "x"),
              "<13>Dec 17 09:00:00 Tavrik[7]: x");
    // An overlong text is cut, never sent in pieces.
    EXPECT_EQ(
        SystemLogDatagram(SystemLogPriority::Notice, "T", 1, march, std::string(5000, 'a')).size(),
        2048u);
}

class SystemLogSocketTest : public ::testing::Test {
  protected:
    void SetUp() override {
        const char* saved = std::getenv(kSystemLogSocketVariable);
        hadSaved_ = saved != nullptr;
        saved_ = hadSaved_ ? saved : "";
    }
    void TearDown() override {
        if (hadSaved_) {
            ::setenv(kSystemLogSocketVariable, saved_.c_str(), 1);
        } else {
            ::unsetenv(kSystemLogSocketVariable);
        }
    }
    testing::TempLaneRoot folder;

  private:
    bool hadSaved_ = false;
    std::string saved_;
};

TEST_F(SystemLogSocketTest, LinesReachTheSocketNamedByTheEnvironment) {
    const std::string socket = (folder / "log").string();
    DatagramListener log;
    ASSERT_EQ(log.Open(socket), 0u);
    ::setenv(kSystemLogSocketVariable, socket.c_str(), 1);

    ASSERT_EQ(WriteSystemLog(SystemLogPriority::Error, "lane=3 code=23"), 0u);
    ASSERT_EQ(WriteSystemLog(SystemLogPriority::Notice, "lane=3 code=12"), 0u);
    std::string first;
    std::string second;
    ASSERT_EQ(log.Receive(first, 5000), 0u);
    ASSERT_EQ(log.Receive(second, 5000), 0u);
    // The tag is the running program's name, as syslog(3) gives it.
    EXPECT_EQ(first.substr(0, 4), "<11>");
    EXPECT_NE(first.find(" platform_tests["), std::string::npos) << first;
    EXPECT_TRUE(first.ends_with("]: lane=3 code=23")) << first;
    EXPECT_EQ(second.substr(0, 4), "<13>");

    std::string nothing;
    EXPECT_EQ(log.Receive(nothing, 0), 1460u);
}

TEST_F(SystemLogSocketTest, NoLogListeningIsReportedNotFatal) {
    const std::string missing = (folder / "no-log").string();
    ::setenv(kSystemLogSocketVariable, missing.c_str(), 1);
    EXPECT_EQ(WriteSystemLog(SystemLogPriority::Error, "lost"), 2u);
}

}  // namespace
}  // namespace lane::platform
