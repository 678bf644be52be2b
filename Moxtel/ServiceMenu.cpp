// Drawing a service menu and reading its choice.
#include "Moxtel/ServiceMenu.h"

#include <cctype>

#include "Moxtel/securitymodule_commands.h"
#include "link/LinkConfig.h"

namespace lane::moxtel {

int ReadMenuChoice(UtilityRun& run) {
    if (!run.options.acknowledgeResults) {
        return 'X';
    }
    const int key = std::toupper(run.console.GetKey() & 0xFF);
    std::string echo(1, static_cast<char>(key));
    echo += "\n\n";
    run.console.Write(echo);
    return key;
}

bool IsUsbBoard(UtilityRun& run) {
    return run.config.Access(run.log).SecurityModuleType == link::kBoardTypeUsb;
}

int ShowMenu(UtilityRun& run, const std::string& title, const std::vector<MenuLine>& lines,
             const char* exitText, const char* prompt) {
    SecurityModuleCommands commands(run);
    commands.ClearScreen();
    std::string menu = title + "\n\n";
    for (const MenuLine& line : lines) {
        if (line.listed) {
            menu += ' ';
            menu += line.key;
            menu += " - ";
            menu += line.text;
            menu += '\n';
        }
    }
    menu += " X - ";
    menu += exitText;
    menu += '\n';
    menu += prompt;
    run.console.Write(menu);
    return ReadMenuChoice(run);
}

}  // namespace lane::moxtel
