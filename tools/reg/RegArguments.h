// The lanereg command line taken apart: operations, switches, key names and DWORD data.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace lane::tools {

// The command line of one operation, after its switches are sorted out.
struct RegCommand {
    std::string operation;                // lower case
    std::vector<std::string> positional;  // key, file
    std::string key;                      // below HKEY_LOCAL_MACHINE, as typed
    std::string display;                  // "HKEY_LOCAL_MACHINE\..." as typed
    bool hasValueName = false;            // /v name or /ve
    std::string valueName;
    bool allValues = false;  // /va
    bool force = false;      // /f
    bool overwrite = false;  // /y
    bool recursive = false;  // /s
    bool hasType = false;
    std::string type;  // upper case
    bool hasData = false;
    std::string data;
    bool help = false;  // /?
};

struct RegOperationRule {
    const char* name;
    std::size_t positionalCount;
    const char* switches;  // the switches it takes, each framed by blanks
    const char* usage;
};

extern const char* const kRegGeneralUsage;

// The rule of an operation ("query", "add", ... in lower case), or null.
const RegOperationRule* FindRegOperation(const std::string& operation);
// "HKLM\SOFTWARE\x" or "HKEY_LOCAL_MACHINE\SOFTWARE\x" (any case): the key below the root and
// the name to show for it; false for another root.
bool ParseRegKeyName(const std::string& text, std::string& key, std::string& display);
// Sorts the arguments after the operation (args[0]) into `command`; false on a syntax error.
bool ParseRegArguments(const std::vector<std::string>& args, const RegOperationRule& rule,
                       RegCommand& command);
// REG_DWORD data: decimal, or hexadecimal after "0x"; at most 0xFFFFFFFF.
bool ParseRegDwordData(const std::string& text, std::uint32_t& value);
std::string RegUpperCase(std::string text);

}  // namespace lane::tools
