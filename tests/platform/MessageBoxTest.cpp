// Tests of the console message box: its line on standard error and its pause on the clock.
#include "platform/MessageBox.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <atomic>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <thread>

#include "common/FakeClock.h"

namespace lane::platform {
namespace {

namespace fs = std::filesystem;

// Puts /dev/null on standard input (no terminal) and a file on standard error for one test.
class RedirectedStandardFiles {
  public:
    RedirectedStandardFiles()
        : errorFile_(fs::temp_directory_path() /
                     ("lane-box-" + std::to_string(std::random_device{}()) + ".txt")) {
        std::fflush(stderr);
        savedInput_ = ::dup(STDIN_FILENO);
        savedError_ = ::dup(STDERR_FILENO);
        const int input = ::open("/dev/null", O_RDONLY);
        const int error = ::open(errorFile_.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        ::dup2(input, STDIN_FILENO);
        ::dup2(error, STDERR_FILENO);
        ::close(input);
        ::close(error);
    }
    ~RedirectedStandardFiles() {
        std::fflush(stderr);
        ::dup2(savedInput_, STDIN_FILENO);
        ::dup2(savedError_, STDERR_FILENO);
        ::close(savedInput_);
        ::close(savedError_);
        std::error_code ignored;
        fs::remove(errorFile_, ignored);
    }
    std::string ErrorText() const {
        std::fflush(stderr);
        std::ifstream in(errorFile_);
        std::ostringstream text;
        text << in.rdbuf();
        return text.str();
    }

  private:
    fs::path errorFile_;
    int savedInput_ = -1;
    int savedError_ = -1;
};

TEST(MessageBoxTest, WithoutATerminalTheBoxIsWrittenAndPausesOnTheClock) {
    RedirectedStandardFiles files;
    FakeClock clock;
    ConsoleMessageBox box(clock, "Tavrik", 2000);
    std::atomic<bool> shown{false};
    std::thread showing([&] {
        box.Show("Unable to open the trace file", "Tavrik Monitor", MessageIcon::Warning);
        shown = true;
    });
    ASSERT_TRUE(clock.AwaitWaiters(1));
    clock.AdvanceMs(1999);
    EXPECT_FALSE(shown);
    EXPECT_EQ(clock.Waiters(), 1);
    clock.AdvanceMs(1);
    showing.join();
    EXPECT_TRUE(shown);
    EXPECT_EQ(files.ErrorText(), "Tavrik: Tavrik Monitor: Unable to open the trace file\n");
}

TEST(MessageBoxTest, EveryIconShowsTheSameLineForm) {
    RedirectedStandardFiles files;
    FakeClock clock;
    ConsoleMessageBox box(clock, "Moxtel", 0);  // no pause: Show returns at once
    box.Show("a", "Info", MessageIcon::Information);
    box.Show("b", "Error", MessageIcon::Error);
    EXPECT_EQ(files.ErrorText(), "Moxtel: Info: a\nMoxtel: Error: b\n");
}

}  // namespace
}  // namespace lane::platform
