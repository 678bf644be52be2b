// The main window's menu: its commands and captions, and the keys that move through it.
#include "monitor/ui/MainMenu.h"

#include <cctype>

#include "platform/TerminalScreen.h"

namespace lane::monitor {

namespace {

constexpr MenuItem kConfigurationItems[] = {
    {kIdReporting, "&Reporting...\tCntl-R"},
    {kIdDevices, "&Devices\tCntl-D"},
};

constexpr MenuBarEntry kMenuBar[] = {
    {kIdTrace, "&Trace", {}},
    {0, "&Configuration", kConfigurationItems},
    {kIdExit, "&Exit", {}},
};

char Upper(int key) {
    return static_cast<char>(std::toupper(key));
}

// The bar entry or pop-up item whose underlined letter is `key`, or `count` for none.
template <typename Entries>
std::size_t FindMnemonic(const Entries& entries, int key) {
    std::size_t index = 0;
    for (const auto& entry : entries) {
        if (key > 0 && key < 0x100 && MenuMnemonic(entry.caption) == Upper(key)) {
            return index;
        }
        ++index;
    }
    return index;
}

}  // namespace

std::span<const MenuBarEntry> MainMenuBar() {
    return kMenuBar;
}

std::string MenuText(const char* caption) {
    std::string text;
    for (const char* at = caption; *at != '\0' && *at != '\t'; ++at) {
        if (*at != '&') {
            text += *at;
        }
    }
    return text;
}

char MenuMnemonic(const char* caption) {
    for (const char* at = caption; *at != '\0' && at[1] != '\0'; ++at) {
        if (*at == '&') {
            return Upper(static_cast<unsigned char>(at[1]));
        }
    }
    return 0;
}

std::size_t MenuMnemonicPosition(const char* caption) {
    std::size_t position = 0;
    for (const char* at = caption; *at != '\0' && *at != '\t'; ++at) {
        if (*at == '&') {
            return position;
        }
        ++position;
    }
    return std::string::npos;
}

std::string MenuShortcut(const char* caption) {
    std::string text(caption);
    const std::size_t tab = text.find('\t');
    return tab == std::string::npos ? std::string() : text.substr(tab + 1);
}

int CMenuBar::HandleKey(int key) {
    if (key == kKeyCtrlR) {
        state_ = State::Closed;
        return kIdReporting;
    }
    if (key == kKeyCtrlD) {
        state_ = State::Closed;
        return kIdDevices;
    }
    if (key > platform::kKeyAlt) {
        const std::size_t entry = FindMnemonic(kMenuBar, key - platform::kKeyAlt);
        return entry < std::size(kMenuBar) ? Choose(entry) : 0;
    }
    switch (state_) {
        case State::Closed:
            if (key == platform::kKeyF10) {
                state_ = State::Bar;
                entry_ = 0;
            }
            return 0;
        case State::Bar:
            return BarKey(key);
        case State::Popup:
            return PopupKey(key);
    }
    return 0;
}

int CMenuBar::Choose(std::size_t entry) {
    entry_ = entry;
    if (kMenuBar[entry].id != 0) {
        state_ = State::Closed;
        return kMenuBar[entry].id;
    }
    state_ = State::Popup;
    item_ = 0;
    return 0;
}

int CMenuBar::ChooseItem(std::size_t item) {
    state_ = State::Closed;
    return kMenuBar[entry_].items[item].id;
}

int CMenuBar::BarKey(int key) {
    const std::size_t count = std::size(kMenuBar);
    switch (key) {
        case platform::kKeyLeft:
            entry_ = (entry_ + count - 1) % count;
            return 0;
        case platform::kKeyRight:
            entry_ = (entry_ + 1) % count;
            return 0;
        case platform::kKeyEnter:
        case platform::kKeyDown:
            return Choose(entry_);
        case platform::kKeyEscape:
        case platform::kKeyF10:
            state_ = State::Closed;
            return 0;
        default: {
            const std::size_t entry = FindMnemonic(kMenuBar, key);
            return entry < count ? Choose(entry) : 0;
        }
    }
}

int CMenuBar::PopupKey(int key) {
    const std::span<const MenuItem> items = kMenuBar[entry_].items;
    const std::size_t count = std::size(kMenuBar);
    switch (key) {
        case platform::kKeyUp:
            item_ = (item_ + items.size() - 1) % items.size();
            return 0;
        case platform::kKeyDown:
            item_ = (item_ + 1) % items.size();
            return 0;
        case platform::kKeyLeft:
        case platform::kKeyRight:
            entry_ = (entry_ + (key == platform::kKeyLeft ? count - 1 : 1)) % count;
            state_ = kMenuBar[entry_].id == 0 ? State::Popup : State::Bar;
            item_ = 0;
            return 0;
        case platform::kKeyEnter:
            return ChooseItem(item_);
        case platform::kKeyEscape:
            state_ = State::Bar;
            return 0;
        case platform::kKeyF10:
            state_ = State::Closed;
            return 0;
        default: {
            const std::size_t item = FindMnemonic(items, key);
            return item < items.size() ? ChooseItem(item) : 0;
        }
    }
}

}  // namespace lane::monitor
