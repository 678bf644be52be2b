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

TEST(MessageBoxTest, TheLineNamesTheProgramOnceAndCarriesNoLineEnds) {
    struct Case {
        const char* text;
        const char* caption;
        const char* line;
    };
    const Case cases[] = {
        // The caption that repeats the program's name is left out, in any case.
        {"Cannot open trace file x", "Tavrik", "Tavrik: Cannot open trace file x"},
        {"x", "TAVRIK", "Tavrik: x"},
        {"x", "TAVRIK Startup Error", "Tavrik: TAVRIK Startup Error: x"},
        // The system's texts end in CR LF; a text of two lines becomes one.
        {"All pipe instances are busy.\r\n", "Error",
         "Tavrik: Error: All pipe instances are busy."},
        {"first\r\nsecond\r\n", "Error", "Tavrik: Error: first second"},
        {"Error Initializing Orvel Monitor: ", "TAVRIK Startup Error",
         "Tavrik: TAVRIK Startup Error: Error Initializing Orvel Monitor: "},
    };
    for (const Case& c : cases) {
        CapturedConsole files;
        FakeClock clock;
        ConsoleMessageBox box(clock, "Tavrik", 0, files.Console());
        box.Show(c.text, c.caption, MessageIcon::Warning);
        EXPECT_EQ(files.ErrorText(), std::string(c.line) + "\n") << c.text;
    }
}

}  // namespace
}  // namespace lane::platform
