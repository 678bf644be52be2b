// The main window on a recording screen: the menu's keys and shortcuts, the list's newest lines,
// a dialog's OK and Cancel, message boxes, and a screen too small for a dialog.
#include "monitor/ui/TerminalWindow.h"

#include <gtest/gtest.h>

#include <map>

#include "monitor/ui/DevicesDialog.h"

namespace lane::monitor {
namespace {

using namespace lane::platform;

// A screen of rows of text, as the window last drew it.
class RecordingScreen final : public TerminalScreen {
  public:
    RecordingScreen(int rows, int columns) : rows_(rows), columns_(columns) { Clear(); }
    int Rows() const override { return rows_; }
    int Columns() const override { return columns_; }
    void Clear() override {
        cells_.assign(static_cast<std::size_t>(rows_), std::string(columns_, ' '));
    }
    void Put(int row, int column, std::string_view text, unsigned) override {
        if (row < 0 || row >= rows_ || column < 0 || column >= columns_) {
            return;
        }
        std::string& line = cells_[static_cast<std::size_t>(row)];
        line.replace(static_cast<std::size_t>(column),
                     std::min(text.size(), static_cast<std::size_t>(columns_ - column)),
                     text.substr(0, static_cast<std::size_t>(columns_ - column)));
    }
    void Show(bool) override { shown_ = cells_; }
    int ReadKey(std::int64_t) override { return kKeyNone; }

    std::string Row(int row) const { return shown_.at(static_cast<std::size_t>(row)); }
    bool Contains(const std::string& text) const {
        for (const std::string& line : shown_) {
            if (line.find(text) != std::string::npos) {
                return true;
            }
        }
        return false;
    }

  private:
    int rows_;
    int columns_;
    std::vector<std::string> cells_;
    std::vector<std::string> shown_;
};

class TerminalWindowTest : public ::testing::Test {
  protected:
    TerminalWindowTest() {
        for (int i = 0; i < 50; ++i) {
            list.Append("20240305 14:07:09.042", "line " + std::to_string(i));
        }
        WindowHooks hooks;
        hooks.newestLines = [this](std::size_t count) { return list.Newest(count); };
        hooks.copySettings = [this] {
            SettingsBlock block;
            block.settings = settings;
            return block;
        };
        hooks.applySettings = [this](SettingsBlock block) {
            settings = block.settings;
            ++applied;
        };
        hooks.openTraceFile = [](const std::string&, std::unique_ptr<SharedFile>&,
                                 std::string& reason) -> std::uint32_t {
            reason = "The system cannot find the path specified.";
            return 3;
        };
        hooks.exit = [this] { ++exits; };
        window = std::make_unique<CTerminalWindow>("Quarnel Orvel Monitor Debug Window",
                                                   std::move(hooks));
    }
    void Keys(std::initializer_list<int> keys, TerminalScreen& screen) {
        for (int key : keys) {
            window->HandleKey(key);
            window->Draw(screen);
        }
    }

    CTraceList list;
    MonitorSettings settings;
    int applied = 0;
    int exits = 0;
    std::unique_ptr<CTerminalWindow> window;
};

TEST_F(TerminalWindowTest, TitleMenuAndTheNewestLinesThatFit) {
    RecordingScreen screen(24, 80);
    window->Draw(screen);
    EXPECT_NE(screen.Row(0).find("Quarnel Orvel Monitor Debug Window"), std::string::npos);
    EXPECT_EQ(screen.Row(1).substr(0, 31), "  Trace   Configuration   Exit ");
    EXPECT_EQ(screen.Row(2).substr(0, 4), "Time");
    EXPECT_EQ(screen.Row(3), "20240305 14:07:09.042  line 29" + std::string(50, ' '));
    EXPECT_NE(screen.Row(23).find("line 49"), std::string::npos);
    // F10, across to Configuration and down: the pop-up with its shortcuts.
    Keys({kKeyF10, kKeyRight, kKeyEnter}, screen);
    EXPECT_TRUE(screen.Contains("Reporting...") && screen.Contains("Cntl-R"));
    EXPECT_TRUE(screen.Contains("Devices") && screen.Contains("Cntl-D"));
    Keys({kKeyDown, kKeyEnter}, screen);
    EXPECT_TRUE(screen.Contains("Quarnel Orvel Monitoring Device and Event Configuration"));
    EXPECT_TRUE(window->DialogOpen());
    // The list's newest line stays in view below the dialog.
    EXPECT_NE(screen.Row(23).find("line 49"), std::string::npos);
    list.Append("20240305 14:07:10.000", "line 50");
    window->Draw(screen);
    EXPECT_NE(screen.Row(23).find("line 50"), std::string::npos);
}

TEST_F(TerminalWindowTest, ShortcutsAndAltLettersOpenTheDialogsOkAppliesCancelDoesNot) {
    RecordingScreen screen(30, 100);
    Keys({0x12}, screen);  // Ctrl-R
    EXPECT_TRUE(screen.Contains("Orvel Device Reporting Configuration"));
    Keys({kKeyBackspace, kKeyBackspace, '5', kKeyEnter}, screen);  // interval "10" -> "5", OK
    EXPECT_FALSE(window->DialogOpen());
    EXPECT_EQ(applied, 1);
    EXPECT_EQ(settings.ReportingIntervalMinutes, 5u);

    Keys({0x04, kKeyDown, ' ', kKeyEscape}, screen);  // Ctrl-D, untick, Cancel
    EXPECT_FALSE(window->DialogOpen());
    EXPECT_EQ(applied, 1);
    EXPECT_TRUE(settings.switches.MonitorCoinAcceptor);

    Keys({kKeyAlt + 'c', 'd'}, screen);  // Alt-C, D
    EXPECT_TRUE(screen.Contains("[Coin Acceptor]"));
    Keys({kKeyEscape, kKeyAlt + 't'}, screen);  // Alt-T: the tracing dialog
    EXPECT_TRUE(screen.Contains("Quarnel Orvel Monitor Tracing"));
    EXPECT_TRUE(screen.Contains("< Start >"));
    // Start on a file that cannot be opened: the box says so and waits for its OK.
    Keys({' '}, screen);
    EXPECT_TRUE(screen.Contains("Cannot open trace file c:\\tavrikitor.trc:"));
    Keys({kKeyEscape}, screen);  // the box's OK; the dialog is still open
    EXPECT_FALSE(screen.Contains("Cannot open trace file"));
    EXPECT_TRUE(window->DialogOpen());
    EXPECT_TRUE(screen.Contains("< Start >"));
    Keys({kKeyEscape, kKeyAlt + 'e'}, screen);
    EXPECT_EQ(exits, 1);
    EXPECT_TRUE(window->Closing());
}

TEST_F(TerminalWindowTest, TheFileNameButtonAsksForAPathAndShowsTheFilter) {
    RecordingScreen screen(30, 100);
    Keys({kKeyAlt + 't', kKeyTab, kKeyTab}, screen);  // Start, size, File name
    Keys({' '}, screen);
    EXPECT_TRUE(screen.Contains("Trace Files (*.trc)"));
    EXPECT_TRUE(screen.Contains("All Files (*.*)"));
    for (int i = 0; i < 14; ++i) {  // "tavrikitor.trc" away
        Keys({kKeyBackspace}, screen);
    }
    Keys({'l', 'a', 'n', 'e', '.', 't', 'r', 'c', kKeyEnter}, screen);
    EXPECT_TRUE(screen.Contains("c:\\lane.trc"));
    Keys({kKeyTab, kKeyEnter}, screen);  // OK (Enter on the button would ask again)
    EXPECT_EQ(settings.TraceFileName, "c:\\lane.trc");
}

TEST_F(TerminalWindowTest, ATerminalTooSmallForADialogSaysItCouldNotBeCreated) {
    RecordingScreen screen(8, 30);
    window->Draw(screen);
    Keys({0x04}, screen);
    EXPECT_FALSE(window->DialogOpen());
    EXPECT_TRUE(screen.Contains("Dialog box could not"));
    // Messages from other threads wait their turn and need their own OK.
    window->PostMessage("first", "Tavrik");
    Keys({kKeyEnter}, screen);
    EXPECT_TRUE(screen.Contains("first"));
    Keys({kKeyEnter}, screen);
    EXPECT_FALSE(screen.Contains("first"));
}

}  // namespace
}  // namespace lane::monitor
