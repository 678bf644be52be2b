// Message boxes while the window may be up: shown in the window when it is, otherwise by the
// console's box. In the window a box never holds up the thread that raised it.
#pragma once

#include <atomic>

#include "monitor/ui/TerminalWindow.h"
#include "platform/MessageBox.h"

namespace lane::monitor {

class CWindowMessageBox final : public platform::MessageBoxService {
  public:
    explicit CWindowMessageBox(platform::MessageBoxService& console) : console_(console) {}

    // The window that shows boxes from now on, or null to go back to the console.
    void SetWindow(CTerminalWindow* window) { window_.store(window); }

    void Show(const std::string& text, const std::string& caption,
              platform::MessageIcon icon) override {
        CTerminalWindow* window = window_.load();
        if (window != nullptr) {
            window->PostMessage(text, caption);
            return;
        }
        console_.Show(text, caption, icon);
    }

  private:
    platform::MessageBoxService& console_;
    std::atomic<CTerminalWindow*> window_{nullptr};
};

}  // namespace lane::monitor
