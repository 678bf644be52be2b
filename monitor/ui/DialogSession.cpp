// A settings dialog driven by keys: which control has the focus, typing into number fields,
// the path prompt of a path button, and OK or Cancel.
#include "monitor/ui/DialogSession.h"

#include "monitor/ui/TracingDialog.h"
#include "platform/TerminalScreen.h"

namespace lane::monitor {

namespace {

bool Printable(int key) {
    return key >= 0x20 && key < 0x7F;
}

// The control as the dialog shows it now; kind and id 0 when it is not shown.
ControlView FindView(const CSettingsDialog& dialog, int id) {
    for (const ControlView& view : dialog.Controls()) {
        if (view.id == id) {
            return view;
        }
    }
    return ControlView{};
}

bool IsButton(const ControlView& view) {
    return view.id != 0 &&
           (view.kind == ControlKind::PushButton || view.kind == ControlKind::PathButton);
}

}  // namespace

CDialogSession::CDialogSession(std::unique_ptr<CSettingsDialog> dialog)
    : dialog_(std::move(dialog)) {}

std::vector<CDialogSession::FocusStop> CDialogSession::FocusStops() const {
    std::vector<FocusStop> stops;
    if (!dialog_->Tabs().empty()) {
        stops.push_back({FocusStop::Kind::Tabs, 0});
    }
    for (const ControlView& view : dialog_->Controls()) {
        if (view.enabled) {
            stops.push_back({FocusStop::Kind::Control, view.id});
        }
    }
    stops.push_back({FocusStop::Kind::Ok, kIdOk});
    stops.push_back({FocusStop::Kind::Cancel, kIdCancel});
    return stops;
}

bool CDialogSession::Focused(int id) const {
    const std::vector<FocusStop> stops = FocusStops();
    return focus_ < stops.size() && stops[focus_].id == id &&
           (stops[focus_].kind != FocusStop::Kind::Tabs);
}

void CDialogSession::MoveFocus(bool forward) {
    const std::size_t count = FocusStops().size();
    focus_ = forward ? (focus_ + 1) % count : (focus_ + count - 1) % count;
}

DialogOutcome CDialogSession::HandleKey(int key, std::string& message) {
    if (promptOpen_) {
        PromptKey(key);
        return DialogOutcome::Open;
    }
    const std::vector<FocusStop> stops = FocusStops();
    if (focus_ >= stops.size()) {
        focus_ = 0;
    }
    const FocusStop stop = stops[focus_];
    switch (key) {
        case platform::kKeyEscape:
            return DialogOutcome::Cancel;
        case platform::kKeyTab:
        case platform::kKeyDown:
            MoveFocus(true);
            return DialogOutcome::Open;
        case platform::kKeyBackTab:
        case platform::kKeyUp:
            MoveFocus(false);
            return DialogOutcome::Open;
        case platform::kKeyLeft:
        case platform::kKeyRight:
            if (stop.kind == FocusStop::Kind::Tabs) {
                const std::size_t count = dialog_->Tabs().size();
                const std::size_t tab = dialog_->SelectedTab();
                dialog_->SelectTab(key == platform::kKeyLeft ? (tab + count - 1) % count
                                                             : (tab + 1) % count);
            }
            return DialogOutcome::Open;
        case ' ':
            return Activate(stop, message);
        case platform::kKeyEnter: {
            // Enter is the default button (OK), except on a button of the dialog's own.
            const bool button =
                stop.kind == FocusStop::Kind::Control && IsButton(FindView(*dialog_, stop.id));
            if (button || stop.kind == FocusStop::Kind::Cancel) {
                return Activate(stop, message);
            }
            return DialogOutcome::Ok;
        }
        default:
            if (stop.kind == FocusStop::Kind::Control) {
                EditNumber(stop.id, key);
            }
            return DialogOutcome::Open;
    }
}

DialogOutcome CDialogSession::Activate(const FocusStop& stop, std::string& message) {
    switch (stop.kind) {
        case FocusStop::Kind::Ok:
            return DialogOutcome::Ok;
        case FocusStop::Kind::Cancel:
            return DialogOutcome::Cancel;
        case FocusStop::Kind::Tabs:
            return DialogOutcome::Open;
        case FocusStop::Kind::Control:
            break;
    }
    const ControlView view = FindView(*dialog_, stop.id);
    if (view.id == 0) {
        return DialogOutcome::Open;
    }
    if (view.kind == ControlKind::PathButton) {
        promptOpen_ = true;
        promptFor_ = view.id;
        promptText_ = view.text;
        promptChoice_ = 0;
        return DialogOutcome::Open;
    }
    if (view.kind == ControlKind::CheckBox || view.kind == ControlKind::PushButton) {
        message = dialog_->Click(view.id);
    }
    return DialogOutcome::Open;
}

void CDialogSession::EditNumber(int id, int key) {
    const ControlView view = FindView(*dialog_, id);
    if (view.id == 0 || view.kind != ControlKind::NumberField) {
        return;
    }
    std::string text = view.text;
    if (key == platform::kKeyBackspace) {
        if (text.empty()) {
            return;
        }
        text.pop_back();
    } else if (Printable(key) && text.size() < kNumberFieldTextMax) {
        text += static_cast<char>(key);
    } else {
        return;
    }
    dialog_->ChangeText(id, text);
}

void CDialogSession::PromptKey(int key) {
    const std::size_t choices = ParseFileFilter(kTraceFileFilter).size();
    switch (key) {
        case platform::kKeyEscape:
            promptOpen_ = false;
            return;
        case platform::kKeyEnter:
            promptOpen_ = false;
            if (!promptText_.empty()) {
                dialog_->ChangeText(promptFor_, promptText_);
            }
            return;
        case platform::kKeyTab:
        case platform::kKeyDown:
        case platform::kKeyUp:
        case platform::kKeyBackTab:
            if (choices > 0) {
                promptChoice_ = (promptChoice_ + 1) % choices;
            }
            return;
        case platform::kKeyBackspace:
            if (!promptText_.empty()) {
                promptText_.pop_back();
            }
            return;
        default:
            if (Printable(key) && promptText_.size() < kPathTextMax) {
                promptText_ += static_cast<char>(key);
            }
            return;
    }
}

}  // namespace lane::monitor
