// A settings dialog driven by keys: which control has the focus, typing into number fields,
// the path prompt of a path button, and OK or Cancel.
#pragma once

#include <cstddef>
#include <memory>
#include <string>
#include <vector>

#include "monitor/ui/SettingsDialog.h"

namespace lane::monitor {

// The dialogs' own buttons.
inline constexpr int kIdOk = 1;
inline constexpr int kIdCancel = 2;

// The longest path the path prompt takes.
inline constexpr std::size_t kPathTextMax = 260;
inline constexpr std::size_t kNumberFieldTextMax = 20;

enum class DialogOutcome { Open, Ok, Cancel };

class CDialogSession {
  public:
    // One stop of the focus: the tab control, a control (by id), OK or Cancel.
    struct FocusStop {
        enum class Kind { Tabs, Control, Ok, Cancel } kind;
        int id = 0;
    };

    explicit CDialogSession(std::unique_ptr<CSettingsDialog> dialog);

    // One key. A message for the user (a file that could not be opened) goes to `message`.
    DialogOutcome HandleKey(int key, std::string& message);

    CSettingsDialog& Dialog() { return *dialog_; }
    const CSettingsDialog& Dialog() const { return *dialog_; }
    std::vector<FocusStop> FocusStops() const;
    std::size_t Focus() const { return focus_; }
    // The focused stop is this control.
    bool Focused(int id) const;

    bool PromptOpen() const { return promptOpen_; }
    const std::string& PromptText() const { return promptText_; }
    std::size_t PromptChoice() const { return promptChoice_; }

  private:
    DialogOutcome Activate(const FocusStop& stop, std::string& message);
    void EditNumber(int id, int key);
    void PromptKey(int key);
    void MoveFocus(bool forward);

    std::unique_ptr<CSettingsDialog> dialog_;
    std::size_t focus_ = 0;
    bool promptOpen_ = false;
    int promptFor_ = 0;
    std::string promptText_;
    std::size_t promptChoice_ = 0;
};

}  // namespace lane::monitor
