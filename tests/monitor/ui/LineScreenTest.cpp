// The list as plain lines: what reaches the stream, when, and a stream nobody takes any more.
#include "monitor/ui/LineScreen.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>

namespace lane::monitor {
namespace {

std::string Written(std::FILE* file) {
    std::string text;
    std::rewind(file);
    for (int c = std::fgetc(file); c != EOF; c = std::fgetc(file)) {
        text += static_cast<char>(c);
    }
    return text;
}

TEST(LineScreen, LinesReachTheStreamAtTheFlushAndAFailedWriteClosesItOnce) {
    std::FILE* file = std::tmpfile();
    ASSERT_NE(file, nullptr);
    int closedCalls = 0;
    CLineScreen screen(file, [&closedCalls] { ++closedCalls; });
    screen.Show({"20240305 14:07:09.042", "one"});
    // A NUL ends the text, as the list shows it.
    screen.Show({"20240305 14:07:09.043", std::string("two\0hidden", 10)});
    screen.Flush();
    EXPECT_EQ(Written(file),
              "20240305 14:07:09.042  one\n"
              "20240305 14:07:09.043  two\n");
    std::fclose(file);
    EXPECT_EQ(closedCalls, 0);

    // A stream that takes nothing: the failure is told once, and nothing more is tried.
    std::FILE* full = std::fopen("/dev/full", "w");
    ASSERT_NE(full, nullptr);
    CLineScreen fullScreen(full, [&closedCalls] { ++closedCalls; });
    fullScreen.Show({"t", "lost"});
    fullScreen.Flush();
    EXPECT_FALSE(fullScreen.Open());
    fullScreen.Show({"t", "also lost"});
    fullScreen.Flush();
    EXPECT_EQ(closedCalls, 1);
    std::fclose(full);
}

}  // namespace
}  // namespace lane::monitor
