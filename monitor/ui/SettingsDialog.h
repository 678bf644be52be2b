// The settings dialogs' common model: the copy of the settings block a dialog edits, and the
// controls it shows, so the dialogs' rules are exercised without any screen.
#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "monitor/stats/Settings.h"
#include "platform/File.h"

namespace lane::monitor {

inline constexpr const char* kDialogCreateFailed = "Dialog box could not be created!";

// The view's settings with the trace writer's state beside them. A dialog gets the block by
// value and hands it back by value on OK; a block that is dropped (Cancel) takes with it the
// file its dialog opened.
struct SettingsBlock {
    MonitorSettings settings;
    // The view's trace writer has a trace file open now.
    bool traceFileOpen = false;
    // Stop was pressed on the writer's file: on OK the writer writes every pending line and the
    // file is closed.
    bool stopTraceWriter = false;
    // Opened by Start in the tracing dialog, at its end; on OK the writer appends to it.
    std::unique_ptr<platform::SharedFile> openedTraceFile;
};

enum class ControlKind {
    CheckBox,     // a boolean setting, ticked when true
    NumberField,  // an unsigned setting as decimal text
    TextField,    // a text shown, not edited
    PushButton,   // runs the dialog's action
    PathButton,   // asks for a path; the answer goes to ChangeText of the same control
};

// One control as it is shown now.
struct ControlView {
    int id = 0;
    ControlKind kind = ControlKind::CheckBox;
    std::string label;  // caption of a box or button, label of a field
    std::string text;   // a field's text
    bool checked = false;
    bool enabled = true;
};

// Decimal text as the dialogs read it: at most the first 20 characters, leading blanks, an
// optional sign, then digits up to the first other character; text that is not a number is 0.
// Kept within the signed 32-bit range.
std::int32_t ReadDecimalText(std::string_view text);

class CSettingsDialog {
  public:
    explicit CSettingsDialog(SettingsBlock block) : block_(std::move(block)) {}
    virtual ~CSettingsDialog() = default;
    CSettingsDialog(const CSettingsDialog&) = delete;
    CSettingsDialog& operator=(const CSettingsDialog&) = delete;

    virtual std::string Title() const = 0;
    // The controls shown now, in order.
    virtual std::vector<ControlView> Controls() const = 0;
    // A click on a check box or a push button. Returns a message for the user, or "".
    virtual std::string Click(int id) = 0;
    // A new text in a number field (or the path a path button asked for).
    virtual void ChangeText(int id, const std::string& text) = 0;

    // The tab control, for dialogs that have one.
    virtual std::vector<std::string> Tabs() const { return {}; }
    virtual std::size_t SelectedTab() const { return 0; }
    virtual void SelectTab(std::size_t) {}

    const SettingsBlock& Block() const { return block_; }
    // OK: the edited block, handed back.
    SettingsBlock TakeBlock() { return std::move(block_); }

  protected:
    // The text a number field shows: what was typed, or the setting's value until then.
    std::string FieldText(int id, std::uint32_t value) const;
    void SetFieldText(int id, const std::string& text) { texts_[id] = text; }

    SettingsBlock block_;

  private:
    std::map<int, std::string> texts_;
};

}  // namespace lane::monitor
