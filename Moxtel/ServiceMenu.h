// ServiceMenu: how every service menu is drawn and answered. A menu is a title and its items,
// each listed or not by the module it runs on; the screen is cleared, the title set between
// empty lines, the items listed, and one key read, upper-cased and echoed. With acknowledge off
// no key is read and the answer is X, so an unattended run never waits in a menu.
#pragma once

#include <string>
#include <vector>

#include "Moxtel/UtilityRun.h"

namespace lane::moxtel {

inline constexpr const char* kMenuPrompt = "Enter Command:";

struct MenuLine {
    char key;
    const char* text;  // shown as " <key> - <text>"
    bool listed;
};

// Clears the screen and draws `title` (its lines as shown, an empty line before the stars where
// the menu has one) with an empty line after it, the listed items, " X - " with `exitText`, and
// `prompt`; then reads the choice.
int ShowMenu(UtilityRun& run, const std::string& title, const std::vector<MenuLine>& lines,
             const char* exitText = "Exit This Menu", const char* prompt = kMenuPrompt);

// Reads a menu's choice: one key upper-cased and echoed with an empty line (X with acknowledge
// off).
int ReadMenuChoice(UtilityRun& run);

// True when the configured board is the USB security module.
bool IsUsbBoard(UtilityRun& run);

}  // namespace lane::moxtel
