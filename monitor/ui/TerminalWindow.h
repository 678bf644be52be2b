// The monitor's main window on a character screen: title, menu bar, the newest trace lines, and
// the settings dialogs and message boxes over them. Runs on its own thread; the threads that
// trace only mark it as behind and never wait for it.
#pragma once

#include <atomic>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "monitor/ui/DialogSession.h"
#include "monitor/ui/MainMenu.h"
#include "monitor/ui/TraceList.h"
#include "monitor/ui/TracingDialog.h"
#include "platform/TerminalScreen.h"

namespace lane::monitor {

// How long the window waits for a key before it looks for new lines.
inline constexpr std::int64_t kWindowKeyWaitMs = 50;

// What the window needs of the running monitor.
struct WindowHooks {
    // The newest `count` lines of the list, oldest first.
    std::function<std::vector<TraceListItem>(std::size_t count)> newestLines;
    // A copy of the settings block for a dialog, and the block handed back by OK.
    std::function<SettingsBlock()> copySettings;
    std::function<void(SettingsBlock)> applySettings;
    CTracingDialog::TraceFileOpener openTraceFile;
    // Exit: the orderly stop.
    std::function<void()> exit;
};

class CTerminalWindow {
  public:
    CTerminalWindow(std::string title, WindowHooks hooks)
        : title_(std::move(title)), hooks_(std::move(hooks)) {}

    // Any thread, never waits: the list has new lines.
    void NoteNewLine() { linesChanged_.store(true, std::memory_order_relaxed); }
    // Any thread, never waits: a message box, shown as soon as the window can.
    void PostMessage(const std::string& text, const std::string& caption);
    // Any thread: ends Run.
    void Close() { closeRequested_.store(true); }

    // The window's loop on `screen` until Close (or Exit, after it has asked for the stop).
    void Run(platform::TerminalScreen& screen);

    // One key, as the loop handles it (also for tests).
    void HandleKey(int key);
    // Draws everything on `screen` (also for tests).
    void Draw(platform::TerminalScreen& screen);

    bool DialogOpen() const { return dialog_ != nullptr; }
    bool Closing() const { return closeRequested_.load(); }

  private:
    struct Message {
        std::string text;
        std::string caption;
    };
    void RunCommand(int id);
    void OpenDialog(std::unique_ptr<CSettingsDialog> dialog);
    void EndDialog(DialogOutcome outcome);
    bool TakeMessage(Message& message);

    struct DialogLayout {
        int top = 0;
        int left = 0;
        int width = 0;
        int tabRows = 0;
        int shownRows = 0;
        int bottom = 0;  // the dialog's last row
    };
    DialogLayout LayoutDialog(platform::TerminalScreen& screen) const;
    void DrawList(platform::TerminalScreen& screen, int top);
    void DrawMenuBar(platform::TerminalScreen& screen);
    void DrawPopup(platform::TerminalScreen& screen);
    void DrawDialog(platform::TerminalScreen& screen);
    void DrawPrompt(platform::TerminalScreen& screen);
    void DrawMessage(platform::TerminalScreen& screen);

    std::string title_;
    WindowHooks hooks_;
    std::atomic<bool> linesChanged_{true};
    std::atomic<bool> closeRequested_{false};
    std::mutex messageLock_;
    std::deque<Message> messages_;
    bool messageShown_ = false;  // the front message is on the screen, waiting for a key
    CMenuBar menu_;
    std::unique_ptr<CDialogSession> dialog_;
    bool tooSmall_ = false;
    bool repaint_ = false;  // the next draw sends the whole screen  // the last draw found no room
                            // for the dialog
};

}  // namespace lane::monitor
