// The main window of a running view on the terminal: its thread, and its hooks into the view.
#pragma once

#include <atomic>
#include <memory>
#include <thread>

#include "common/Waitable.h"
#include "monitor/ui/TerminalWindow.h"
#include "monitor/ui/WindowMessageBox.h"
#include "platform/TerminalScreen.h"

namespace lane::monitor {

class CTavrikView;

class CViewWindow {
  public:
    // `stopRequested` is what Exit sets (the orderly stop of a stop signal); `boxes` shows
    // message boxes in the window while it is up.
    CViewWindow(ManualResetEvent& stopRequested, CWindowMessageBox& boxes)
        : stopRequested_(stopRequested), boxes_(boxes) {}
    ~CViewWindow() { Close(); }
    CViewWindow(const CViewWindow&) = delete;
    CViewWindow& operator=(const CViewWindow&) = delete;

    // Any thread, never waits: the list has a new line. False when no window shows it.
    bool NoteNewLine();
    // Takes over the terminal and runs the window on its own thread. False when the terminal
    // cannot be used; the monitor then runs without a window.
    bool Open(CTavrikView& view, std::unique_ptr<platform::TerminalScreen> screen);
    // Ends the window and gives the terminal back; before the view stops.
    void Close();

  private:
    ManualResetEvent& stopRequested_;
    CWindowMessageBox& boxes_;
    std::unique_ptr<platform::TerminalScreen> screen_;
    std::unique_ptr<CTerminalWindow> window_;
    std::atomic<CTerminalWindow*> shown_{nullptr};
    std::thread thread_;
};

}  // namespace lane::monitor
