// Tests of the console message box: its line on standard error and its pause on the clock.
#include "platform/MessageBox.h"

#include <gtest/gtest.h>

#include <atomic>
#include <mutex>
#include <string>
#include <thread>

#include "common/FakeClock.h"

namespace lane::platform {
namespace {

// Collects the box's lines and tells the box that no terminal is there.
class CapturedConsole {
  public:
    ConsoleMessageBox::Console Console() {
        return {[this](const std::string& line) {
                    std::lock_guard<std::mutex> lock(mutex_);
                    text_ += line + "\n";
                },
                [] { return false; }};
    }
    std::string ErrorText() {
        std::lock_guard<std::mutex> lock(mutex_);
        return text_;
    }

  private:
    std::mutex mutex_;
    std::string text_;
};

TEST(MessageBoxTest, WithoutATerminalTheBoxIsWrittenAndPausesOnTheClock) {
    CapturedConsole files;
    FakeClock clock;
    ConsoleMessageBox box(clock, "Tavrik", 2000, files.Console());
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
    CapturedConsole files;
    FakeClock clock;
    ConsoleMessageBox box(clock, "Moxtel", 0, files.Console());  // no pause: returns at once
    box.Show("a", "Info", MessageIcon::Information);
    box.Show("b", "Error", MessageIcon::Error);
    EXPECT_EQ(files.ErrorText(), "Moxtel: Info: a\nMoxtel: Error: b\n");
}

}  // namespace
}  // namespace lane::platform
