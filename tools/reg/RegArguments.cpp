// The lanereg command line: the operations with their switches and usage texts, key names and
// DWORD data.
#include "tools/reg/RegArguments.h"

#include "platform/RegText.h"

namespace lane::tools {

namespace {

constexpr const char* kRootName = "HKEY_LOCAL_MACHINE";
constexpr std::size_t kMaxDwordDigits = 10;  // 4294967295

constexpr RegOperationRule kOperations[] = {
    {"query", 1, " v ve s ",
     "LANEREG QUERY KeyName [/v ValueName | /ve] [/s]\n"
     "  KeyName  HKLM\\Subkey or HKEY_LOCAL_MACHINE\\Subkey\n"
     "  /v       the value to show; /ve the default value\n"
     "  /s       all subkeys and values below the key\n"},
    {"add", 1, " v ve t d f ",
     "LANEREG ADD KeyName [/v ValueName | /ve] [/t REG_SZ | REG_DWORD] [/d Data] [/f]\n"
     "  /t       the type, REG_SZ when not given\n"
     "  /d       the data (REG_DWORD: decimal, or hexadecimal after 0x)\n"
     "  /f       overwrite an existing value without asking\n"},
    {"delete", 1, " v ve va f ",
     "LANEREG DELETE KeyName [/v ValueName | /ve | /va] [/f]\n"
     "  without /v, /ve or /va the key is deleted with all its subkeys\n"
     "  /va      all values of the key\n"
     "  /f       delete without asking\n"},
    {"import", 1, " ",
     "LANEREG IMPORT FileName\n"
     "  FileName a .reg file (version 5.00 or REGEDIT4) with HKEY_LOCAL_MACHINE keys\n"},
    {"export", 2, " y ",
     "LANEREG EXPORT KeyName FileName [/y]\n"
     "  /y       overwrite the file without asking\n"},
};

std::string Lower(const std::string& text) {
    return platform::RegLowerCase(text);
}

bool IsSwitchName(const std::string& name) {
    return std::string(" ? v ve va t d f y s ").find(" " + name + " ") != std::string::npos;
}

bool Takes(const RegOperationRule& rule, const std::string& switchName) {
    return std::string(rule.switches).find(" " + switchName + " ") != std::string::npos;
}

int DigitValue(char c, bool hex) {
    if (c >= '0' && c <= '9') {
        return c - '0';
    }
    if (hex && c >= 'a' && c <= 'f') {
        return c - 'a' + 10;
    }
    if (hex && c >= 'A' && c <= 'F') {
        return c - 'A' + 10;
    }
    return -1;
}

}  // namespace

const char* const kRegGeneralUsage =
    "LANEREG Operation [Parameters]\n"
    "  Operation: QUERY | ADD | DELETE | IMPORT | EXPORT\n"
    "  The hive is $LANE_ROOT/registry/HKEY_LOCAL_MACHINE.reg.\n"
    "  For help on an operation: LANEREG Operation /?\n";

const RegOperationRule* FindRegOperation(const std::string& operation) {
    for (const auto& rule : kOperations) {
        if (operation == rule.name) {
            return &rule;
        }
    }
    return nullptr;
}

bool ParseRegKeyName(const std::string& text, std::string& key, std::string& display) {
    const std::size_t slash = text.find('\\');
    const std::string root = Lower(text.substr(0, slash));
    if (root != "hklm" && root != "hkey_local_machine") {
        return false;
    }
    key = slash == std::string::npos ? std::string() : text.substr(slash + 1);
    while (!key.empty() && key.back() == '\\') {
        key.pop_back();
    }
    display = key.empty() ? kRootName : std::string(kRootName) + "\\" + key;
    return true;
}

bool ParseRegArguments(const std::vector<std::string>& args, const RegOperationRule& rule,
                       RegCommand& command) {
    for (std::size_t i = 1; i < args.size(); ++i) {
        const std::string& arg = args[i];
        const std::string name = arg.size() >= 2 ? Lower(arg.substr(1)) : std::string();
        const bool isSwitch =
            !arg.empty() && (arg[0] == '/' || arg[0] == '-') && IsSwitchName(name);
        if (!isSwitch) {
            command.positional.push_back(arg);  // a key, or a file such as /tmp/lane.reg
            continue;
        }
        if (name == "?") {
            command.help = true;
            return true;
        }
        if (!Takes(rule, name)) {
            return false;
        }
        const bool takesArgument = name == "v" || name == "t" || name == "d";
        if (takesArgument && i + 1 >= args.size()) {
            return false;
        }
        if ((name == "v" || name == "ve" || name == "va") &&
            (command.hasValueName || command.allValues)) {
            return false;
        }
        if (name == "v" || name == "ve") {
            command.hasValueName = true;
            command.valueName = name == "v" ? args[++i] : std::string();
        } else if (name == "va") {
            command.allValues = true;
        } else if (name == "t") {
            command.hasType = true;
            command.type = RegUpperCase(args[++i]);
        } else if (name == "d") {
            command.hasData = true;
            command.data = args[++i];
        } else {
            command.force = command.force || name == "f";
            command.overwrite = command.overwrite || name == "y";
            command.recursive = command.recursive || name == "s";
        }
    }
    return command.positional.size() == rule.positionalCount;
}

bool ParseRegDwordData(const std::string& text, std::uint32_t& value) {
    const bool hex = text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X');
    const std::string digits = hex ? text.substr(2) : text;
    if (digits.empty() || digits.size() > kMaxDwordDigits) {
        return false;
    }
    std::uint64_t number = 0;
    for (char c : digits) {
        const int digit = DigitValue(c, hex);
        if (digit < 0) {
            return false;
        }
        number = number * (hex ? 16 : 10) + static_cast<std::uint64_t>(digit);
    }
    if (number > 0xFFFFFFFFu) {
        return false;
    }
    value = static_cast<std::uint32_t>(number);
    return true;
}

std::string RegUpperCase(std::string text) {
    for (char& c : text) {
        if (c >= 'a' && c <= 'z') {
            c = static_cast<char>(c - 'a' + 'A');
        }
    }
    return text;
}

}  // namespace lane::tools
