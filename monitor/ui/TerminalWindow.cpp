// The monitor's main window on a character screen: title, menu bar, the newest trace lines, and
// the settings dialogs and message boxes over them.
#include "monitor/ui/TerminalWindow.h"

#include <algorithm>

#include "monitor/ui/DevicesDialog.h"
#include "monitor/ui/ReportingDialog.h"

namespace lane::monitor {

namespace {

using platform::kStyleBold;
using platform::kStyleNormal;
using platform::kStyleReverse;
using platform::kStyleUnderline;

constexpr int kListTop = 3;
constexpr int kTimeColumnWidth = 23;  // the time text and two blanks
constexpr int kDialogMaxColumns = 76;
constexpr int kDialogMinColumns = 40;
constexpr int kDialogMinRows = 12;
constexpr int kMenuBarRow = 1;
// Rows of the list kept in view below an open dialog, so that the traffic stays visible.
constexpr int kListRowsBelowDialog = 6;
constexpr int kKeyCtrlL = 0x0C;

// One row of a box: "|" text padded to the width "|".
void BoxRow(platform::TerminalScreen& screen, int row, int left, int width,
            const std::string& text = "") {
    if (width < 4) {
        return;
    }
    std::string line = "|" + text;
    line.resize(static_cast<std::size_t>(width - 1), ' ');
    screen.Put(row, left, line + "|", kStyleNormal);
}

void BoxEdge(platform::TerminalScreen& screen, int row, int left, int width,
             const std::string& title = "") {
    if (width < 4) {
        return;
    }
    std::string line = "+" + std::string(static_cast<std::size_t>(width - 2), '-') + "+";
    if (!title.empty()) {
        const std::string caption = " " + title + " ";
        line.replace(2, std::min(caption.size(), line.size() - 4),
                     caption.substr(0, line.size() - 4));
    }
    screen.Put(row, left, line, kStyleNormal);
}

std::string ControlText(const ControlView& view) {
    switch (view.kind) {
        case ControlKind::CheckBox:
            return std::string(view.checked ? "[x] " : "[ ] ") + view.label;
        case ControlKind::NumberField: {
            std::string field = view.text;
            field.resize(std::max<std::size_t>(field.size(), 10), ' ');
            return view.label + "  [" + field + "]";
        }
        case ControlKind::TextField:
            return (view.label.empty() ? std::string() : view.label + "  ") + view.text;
        case ControlKind::PushButton:
        case ControlKind::PathButton:
            return "< " + view.label + " >";
    }
    return view.label;
}

// Words of `text` in lines of at most `width` characters.
std::vector<std::string> Wrap(const std::string& text, std::size_t width) {
    std::vector<std::string> lines;
    std::string line;
    std::size_t at = 0;
    while (at < text.size()) {
        std::size_t end = text.find(' ', at);
        if (end == std::string::npos) {
            end = text.size();
        }
        std::string word = text.substr(at, end - at);
        at = end + 1;
        while (word.size() > width) {
            if (!line.empty()) {
                lines.push_back(line);
                line.clear();
            }
            lines.push_back(word.substr(0, width));
            word.erase(0, width);
        }
        if (!line.empty() && line.size() + 1 + word.size() > width) {
            lines.push_back(line);
            line.clear();
        }
        line += (line.empty() ? "" : " ") + word;
    }
    if (!line.empty() || lines.empty()) {
        lines.push_back(line);
    }
    return lines;
}

// The tab names laid out in rows of at most `width` characters: each row's text, and the
// column and width of every tab.
struct TabPlace {
    int row;
    int column;
    std::string text;
};
std::vector<TabPlace> PlaceTabs(const std::vector<std::string>& tabs, int width) {
    std::vector<TabPlace> places;
    int row = 0;
    int column = 0;
    for (const std::string& tab : tabs) {
        const std::string text = " " + tab + " ";
        if (column > 0 && column + static_cast<int>(text.size()) > width) {
            ++row;
            column = 0;
        }
        places.push_back({row, column, text});
        column += static_cast<int>(text.size()) + 1;
    }
    return places;
}

}  // namespace

void CTerminalWindow::PostMessage(const std::string& text, const std::string& caption) {
    std::lock_guard<std::mutex> lock(messageLock_);
    messages_.push_back(Message{text, caption});
}

bool CTerminalWindow::TakeMessage(Message& message) {
    std::lock_guard<std::mutex> lock(messageLock_);
    if (messages_.empty()) {
        return false;
    }
    message = messages_.front();
    return true;
}

void CTerminalWindow::Run(platform::TerminalScreen& screen) {
    bool redraw = true;
    while (!closeRequested_.load()) {
        if (redraw || linesChanged_.exchange(false, std::memory_order_relaxed)) {
            Draw(screen);
            redraw = false;
        }
        const int key = screen.ReadKey(kWindowKeyWaitMs);
        if (key == platform::kKeyNone) {
            Message waiting;
            redraw = !messageShown_ && TakeMessage(waiting);
            continue;
        }
        if (key != platform::kKeyResize) {
            HandleKey(key);
        }
        redraw = true;
    }
}

void CTerminalWindow::HandleKey(int key) {
    if (key == kKeyCtrlL) {
        repaint_ = true;  // the whole screen again, as terminals do on Ctrl-L
        return;
    }
    {
        std::lock_guard<std::mutex> lock(messageLock_);
        if (!messages_.empty()) {
            // A message box waits for its OK before anything else takes keys.
            if (key == platform::kKeyEnter || key == ' ' || key == platform::kKeyEscape) {
                messages_.pop_front();
                messageShown_ = false;
            }
            return;
        }
    }
    if (dialog_) {
        std::string message;
        const DialogOutcome outcome = dialog_->HandleKey(key, message);
        if (!message.empty()) {
            PostMessage(message, "Tavrik");
        }
        if (outcome != DialogOutcome::Open) {
            EndDialog(outcome);
        }
        return;
    }
    const int command = menu_.HandleKey(key);
    if (command != 0) {
        RunCommand(command);
    }
}

void CTerminalWindow::RunCommand(int id) {
    switch (id) {
        case kIdTrace:
            OpenDialog(
                std::make_unique<CTracingDialog>(hooks_.copySettings(), hooks_.openTraceFile));
            return;
        case kIdReporting:
            OpenDialog(std::make_unique<CReportingDialog>(hooks_.copySettings()));
            return;
        case kIdDevices:
            OpenDialog(std::make_unique<CDevicesDialog>(hooks_.copySettings()));
            return;
        case kIdExit:
            hooks_.exit();
            Close();
            return;
        default:
            return;
    }
}

void CTerminalWindow::OpenDialog(std::unique_ptr<CSettingsDialog> dialog) {
    if (tooSmall_) {
        PostMessage(kDialogCreateFailed, "Tavrik");
        return;
    }
    dialog_ = std::make_unique<CDialogSession>(std::move(dialog));
}

void CTerminalWindow::EndDialog(DialogOutcome outcome) {
    if (outcome == DialogOutcome::Ok) {
        hooks_.applySettings(dialog_->Dialog().TakeBlock());
    }
    // Cancel: the copy goes, and with it a trace file its dialog opened.
    dialog_.reset();
}

void CTerminalWindow::Draw(platform::TerminalScreen& screen) {
    tooSmall_ = screen.Rows() < kDialogMinRows || screen.Columns() < kDialogMinColumns;
    screen.Clear();
    std::string bar(static_cast<std::size_t>(std::max(screen.Columns(), 0)), ' ');
    const int titleColumn = std::max(0, (screen.Columns() - static_cast<int>(title_.size())) / 2);
    screen.Put(0, 0, bar, kStyleReverse);
    screen.Put(0, titleColumn, title_, kStyleReverse | kStyleBold);
    DrawMenuBar(screen);
    screen.Put(2, 0, "Time", kStyleBold);
    screen.Put(2, kTimeColumnWidth, "Device Message", kStyleBold);
    // An open dialog sits below the menu bar; the list's newest lines stay in view below it.
    // On a terminal made too small the dialog stays open, unseen, until there is room again.
    const bool dialogShown = dialog_ && !tooSmall_;
    DrawList(screen, dialogShown ? LayoutDialog(screen).bottom + 1 : kListTop);
    if (menu_.PopupOpen()) {
        DrawPopup(screen);
    }
    if (dialogShown) {
        DrawDialog(screen);
        if (dialog_->PromptOpen()) {
            DrawPrompt(screen);
        }
    }
    DrawMessage(screen);
    screen.Show(repaint_);
    repaint_ = false;
}

void CTerminalWindow::DrawMenuBar(platform::TerminalScreen& screen) {
    int column = 1;
    std::size_t index = 0;
    for (const MenuBarEntry& entry : MainMenuBar()) {
        const std::string text = MenuText(entry.caption);
        const bool selected = menu_.Active() && menu_.Selected() == index;
        const unsigned style = selected ? kStyleReverse : kStyleNormal;
        screen.Put(kMenuBarRow, column, " " + text + " ", style);
        const std::size_t mnemonic = MenuMnemonicPosition(entry.caption);
        if (mnemonic != std::string::npos) {
            screen.Put(kMenuBarRow, column + 1 + static_cast<int>(mnemonic),
                       text.substr(mnemonic, 1), style | kStyleUnderline);
        }
        column += static_cast<int>(text.size()) + 3;
        ++index;
    }
}

void CTerminalWindow::DrawList(platform::TerminalScreen& screen, int top) {
    const int room = screen.Rows() - top;
    if (room <= 0 || !hooks_.newestLines) {
        return;
    }
    const std::vector<TraceListItem> lines = hooks_.newestLines(static_cast<std::size_t>(room));
    int row = top;
    for (const TraceListItem& item : lines) {
        screen.Put(row, 0, item.time, kStyleNormal);
        screen.Put(row, kTimeColumnWidth, item.message, kStyleNormal);
        ++row;
    }
}

void CTerminalWindow::DrawPopup(platform::TerminalScreen& screen) {
    int column = 1;
    const std::span<const MenuBarEntry> entries = MainMenuBar();
    for (std::size_t i = 0; i < menu_.Selected(); ++i) {
        column += static_cast<int>(MenuText(entries[i].caption).size()) + 3;
    }
    const std::span<const MenuItem> items = entries[menu_.Selected()].items;
    constexpr int kWidth = 28;
    BoxEdge(screen, kMenuBarRow + 1, column, kWidth);
    int row = kMenuBarRow + 2;
    for (std::size_t i = 0; i < items.size(); ++i) {
        std::string text = " " + MenuText(items[i].caption);
        const std::string shortcut = MenuShortcut(items[i].caption);
        text.resize(static_cast<std::size_t>(kWidth - 3 - static_cast<int>(shortcut.size())), ' ');
        text += shortcut + " ";
        BoxRow(screen, row, column, kWidth);
        const unsigned style = menu_.PopupSelected() == i ? kStyleReverse : kStyleNormal;
        screen.Put(row, column + 1, text, style);
        const std::size_t mnemonic = MenuMnemonicPosition(items[i].caption);
        if (mnemonic != std::string::npos) {
            screen.Put(row, column + 2 + static_cast<int>(mnemonic), text.substr(mnemonic + 1, 1),
                       style | kStyleUnderline);
        }
        ++row;
    }
    BoxEdge(screen, row, column, kWidth);
}

CTerminalWindow::DialogLayout CTerminalWindow::LayoutDialog(
    platform::TerminalScreen& screen) const {
    const CSettingsDialog& dialog = dialog_->Dialog();
    DialogLayout layout;
    layout.width = std::min(screen.Columns() - 2, kDialogMaxColumns);
    layout.left = std::max(0, (screen.Columns() - layout.width) / 2);
    layout.top = kListTop;
    const std::vector<TabPlace> tabs = PlaceTabs(dialog.Tabs(), layout.width - 4);
    layout.tabRows = tabs.empty() ? 0 : tabs.back().row + 2;
    // Rows: edge, tabs, controls, blank, buttons, edge; the controls scroll when they do not fit.
    const int room =
        std::max(1, screen.Rows() - layout.top - layout.tabRows - 4 - kListRowsBelowDialog);
    layout.shownRows = std::min(static_cast<int>(dialog.Controls().size()), room);
    layout.bottom = layout.top + layout.tabRows + layout.shownRows + 3;
    return layout;
}

void CTerminalWindow::DrawDialog(platform::TerminalScreen& screen) {
    const CSettingsDialog& dialog = dialog_->Dialog();
    const DialogLayout layout = LayoutDialog(screen);
    const int width = layout.width;
    const int left = layout.left;
    const int top = layout.top;
    const int tabRows = layout.tabRows;
    const int shownRows = layout.shownRows;
    const std::vector<TabPlace> tabs = PlaceTabs(dialog.Tabs(), width - 4);
    const std::vector<ControlView> controls = dialog.Controls();
    int firstShown = 0;
    for (int i = 0; i < static_cast<int>(controls.size()); ++i) {
        if (dialog_->Focused(controls[static_cast<std::size_t>(i)].id) && i >= shownRows) {
            firstShown = i - shownRows + 1;
        }
    }
    BoxEdge(screen, top, left, width, dialog.Title());
    int row = top + 1;
    const bool tabsFocused = !tabs.empty() && dialog_->Focus() == 0;
    for (int r = 0; r < tabRows; ++r) {
        BoxRow(screen, row + r, left, width);
    }
    for (std::size_t i = 0; i < tabs.size(); ++i) {
        const bool selected = dialog.SelectedTab() == i;
        unsigned style = selected ? kStyleReverse : kStyleNormal;
        if (selected && tabsFocused) {
            style |= kStyleBold;
        }
        const std::string text =
            selected ? "[" + tabs[i].text.substr(1, tabs[i].text.size() - 2) + "]" : tabs[i].text;
        screen.Put(row + tabs[i].row, left + 2 + tabs[i].column, text, style);
    }
    row += tabRows;
    for (int i = 0; i < shownRows; ++i) {
        const ControlView& view = controls[static_cast<std::size_t>(firstShown + i)];
        BoxRow(screen, row, left, width);
        const unsigned style = dialog_->Focused(view.id) ? kStyleReverse : kStyleNormal;
        std::string text = ControlText(view);
        text.resize(std::min(text.size(), static_cast<std::size_t>(width - 4)));
        screen.Put(row, left + 2, text, view.enabled ? style : kStyleNormal);
        ++row;
    }
    BoxRow(screen, row++, left, width);
    BoxRow(screen, row, left, width);
    const std::vector<CDialogSession::FocusStop> stops = dialog_->FocusStops();
    const std::size_t focus = dialog_->Focus();
    const bool okFocused = focus == stops.size() - 2;
    const bool cancelFocused = focus == stops.size() - 1;
    const int buttons = left + width / 2 - 10;
    screen.Put(row, buttons, "<  OK  >", okFocused ? kStyleReverse : kStyleBold);
    screen.Put(row, buttons + 11, "< Cancel >", cancelFocused ? kStyleReverse : kStyleNormal);
    BoxEdge(screen, row + 1, left, width);
}

void CTerminalWindow::DrawPrompt(platform::TerminalScreen& screen) {
    const int width = std::min(screen.Columns() - 4, kDialogMaxColumns - 4);
    const int left = std::max(0, (screen.Columns() - width) / 2);
    const int top = std::max(0, screen.Rows() / 2 - 4);
    BoxEdge(screen, top, left, width, "File name");
    std::string path = dialog_->PromptText();
    const std::size_t room = static_cast<std::size_t>(std::max(1, width - 16));
    if (path.size() > room) {
        path = path.substr(path.size() - room);  // the end of a long path stays in view
    }
    BoxRow(screen, top + 1, left, width, " File name:  " + path + "_");
    BoxRow(screen, top + 2, left, width, " Files of type:");
    const std::vector<FileFilterChoice> choices = ParseFileFilter(kTraceFileFilter);
    int row = top + 3;
    for (std::size_t i = 0; i < choices.size(); ++i) {
        const bool chosen = dialog_->PromptChoice() == i;
        BoxRow(screen, row++, left, width,
               std::string(chosen ? "   (*) " : "   ( ) ") + choices[i].description);
    }
    BoxRow(screen, row++, left, width, " Enter: use this name   Esc: keep the old one");
    BoxEdge(screen, row, left, width);
}

void CTerminalWindow::DrawMessage(platform::TerminalScreen& screen) {
    Message message;
    if (!TakeMessage(message)) {
        return;
    }
    messageShown_ = true;
    const int width = std::min(screen.Columns() - 4, 60);
    const std::vector<std::string> lines =
        Wrap(message.text, static_cast<std::size_t>(std::max(1, width - 4)));
    const int height = static_cast<int>(lines.size()) + 4;
    const int left = std::max(0, (screen.Columns() - width) / 2);
    const int top = std::max(0, (screen.Rows() - height) / 2);
    BoxEdge(screen, top, left, width, message.caption);
    int row = top + 1;
    for (const std::string& line : lines) {
        BoxRow(screen, row++, left, width, " " + line);
    }
    BoxRow(screen, row++, left, width);
    BoxRow(screen, row, left, width);
    screen.Put(row++, left + width / 2 - 4, "<  OK  >", kStyleReverse);
    BoxEdge(screen, row, left, width);
}

}  // namespace lane::monitor
