// The main window of a running view on the terminal: its thread, and its hooks into the view.
#include "monitor/ui/ViewWindow.h"

#include "monitor/acquisition/StartupTexts.h"
#include "monitor/acquisition/TavrikView.h"

namespace lane::monitor {

bool CViewWindow::NoteNewLine() {
    CTerminalWindow* window = shown_.load(std::memory_order_acquire);
    if (window == nullptr) {
        return false;
    }
    window->NoteNewLine();
    return true;
}

bool CViewWindow::Open(CTavrikView& view, std::unique_ptr<platform::TerminalScreen> screen) {
    if (!screen || window_) {
        return false;
    }
    screen_ = std::move(screen);
    WindowHooks hooks;
    hooks.newestLines = [&view](std::size_t count) { return view.List().Newest(count); };
    hooks.copySettings = [&view] { return view.CopySettingsBlock(); };
    hooks.applySettings = [&view](SettingsBlock block) {
        view.ApplySettingsBlock(std::move(block));
    };
    hooks.openTraceFile =
        [&view](const std::string& path, std::unique_ptr<platform::SharedFile>& file,
                std::string& reason) { return view.OpenTraceFileAtEnd(path, file, reason); };
    hooks.exit = [this] { stopRequested_.Set(); };
    window_ = std::make_unique<CTerminalWindow>(kMainWindowTitle, std::move(hooks));
    shown_.store(window_.get(), std::memory_order_release);
    boxes_.SetWindow(window_.get());
    thread_ = std::thread([this] { window_->Run(*screen_); });
    return true;
}

void CViewWindow::Close() {
    if (!window_ || !thread_.joinable()) {
        return;
    }
    boxes_.SetWindow(nullptr);
    shown_.store(nullptr, std::memory_order_release);
    window_->Close();
    if (thread_.joinable()) {
        thread_.join();
    }
    // The terminal as it was. The window object stays until this one goes: a thread that
    // traces may still hold it for a moment.
    screen_.reset();
}

}  // namespace lane::monitor
