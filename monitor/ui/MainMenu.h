// The main window's menu: its commands and captions, and the keys that move through it.
#pragma once

#include <cstddef>
#include <span>
#include <string>

namespace lane::monitor {

inline constexpr int kIdTrace = 32778;
inline constexpr int kIdReporting = 32776;
inline constexpr int kIdDevices = 32777;
inline constexpr int kIdExit = 32772;

// The shortcuts the captions advertise.
inline constexpr int kKeyCtrlR = 0x12;
inline constexpr int kKeyCtrlD = 0x04;

struct MenuItem {
    int id;
    const char* caption;  // "&" marks the underlined letter; "\t" leads to the shortcut
};

// One entry of the menu bar: a command, or a pop-up menu of commands (id 0).
struct MenuBarEntry {
    int id;
    const char* caption;
    std::span<const MenuItem> items;
};

std::span<const MenuBarEntry> MainMenuBar();

// A caption's parts: the text without "&" and shortcut, the underlined letter (upper case, or
// 0), its position in the text, and the shortcut text ("" without one).
std::string MenuText(const char* caption);
char MenuMnemonic(const char* caption);
std::size_t MenuMnemonicPosition(const char* caption);
std::string MenuShortcut(const char* caption);

// The menu's keyboard: F10 or Alt with an underlined letter opens it, the arrows move, Enter or
// the underlined letter chooses, Escape leaves; Ctrl-R and Ctrl-D run their commands at once.
class CMenuBar {
  public:
    // Returns the command to run, or 0.
    int HandleKey(int key);

    bool Active() const { return state_ != State::Closed; }
    bool PopupOpen() const { return state_ == State::Popup; }
    std::size_t Selected() const { return entry_; }
    std::size_t PopupSelected() const { return item_; }

  private:
    enum class State { Closed, Bar, Popup };
    int Choose(std::size_t entry);
    int ChooseItem(std::size_t item);
    int BarKey(int key);
    int PopupKey(int key);

    State state_ = State::Closed;
    std::size_t entry_ = 0;
    std::size_t item_ = 0;
};

}  // namespace lane::monitor
