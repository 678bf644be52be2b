// The lanereg operations: reg.exe's questions, listings and texts over the Registry stand-in.
#include "tools/reg/RegTool.h"

#include <cstdint>
#include <cstdio>
#include <fstream>
#include <iostream>
#include <iterator>
#include <sstream>

#include "platform/RegText.h"
#include "platform/SystemError.h"
#include "tools/reg/RegArguments.h"

namespace lane::tools {

namespace {

using platform::RegBatch;
using platform::RegValue;

constexpr const char* kSuccessText = "The operation completed successfully.";
constexpr const char* kNotFoundText =
    "ERROR: The system was unable to find the specified registry key or value.";
constexpr const char* kCancelledText = "The operation was canceled by the user.";
constexpr const char* kFileErrorText =
    "ERROR: Error opening the file. There may be a disk or file system error.";
constexpr const char* kIndent = "    ";
constexpr std::uint32_t kErrorInvalidData = 13;  // a value of a type the stand-in does not read

std::string Lower(const std::string& text) {
    return platform::RegLowerCase(text);
}

std::string ErrorText(std::uint32_t result) {
    if (result == platform::kErrorFileNotFound) {
        return kNotFoundText;
    }
    std::string text = platform::SystemErrorText(result);
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) {
        text.pop_back();
    }
    return "ERROR: " + text;
}

int Report(RegToolContext& context, std::uint32_t result) {
    if (result == platform::kErrorSuccess) {
        context.out << kSuccessText << "\n";
        return kRegToolSuccess;
    }
    context.err << ErrorText(result) << "\n";
    return kRegToolFailure;
}

int Fail(RegToolContext& context, const std::string& text) {
    context.err << text << "\n";
    return kRegToolFailure;
}

// Asks a Yes/No question; anything but an answer starting with Y (or no answer) is No.
bool Confirm(RegToolContext& context, const std::string& question) {
    context.out << question << " (Yes/No)? " << std::flush;
    std::string answer;
    if (!std::getline(context.in, answer)) {
        context.out << "\n";
        return false;
    }
    return !answer.empty() && (answer[0] == 'y' || answer[0] == 'Y');
}

int Cancelled(RegToolContext& context) {
    context.out << kCancelledText << "\n";
    return kRegToolFailure;
}

std::string DisplayName(const std::string& valueName) {
    return valueName.empty() ? "(Default)" : valueName;
}

std::string ValueLine(const std::string& name, const RegValue& value) {
    std::string line = kIndent + DisplayName(name) + kIndent;
    if (value.type == RegValue::Type::Dword) {
        char number[16];
        std::snprintf(number, sizeof number, "0x%x", static_cast<unsigned>(value.dword));
        return line + "REG_DWORD" + kIndent + number;
    }
    return line + "REG_SZ" + kIndent + value.text;
}

std::string SubkeyPath(const std::string& key, const std::string& name) {
    return key.empty() ? name : key + "\\" + name;
}

// Lists one key (and, when recursive, everything below it); counts what it lists.
std::uint32_t QueryKey(RegToolContext& context, const std::string& key, const std::string& display,
                       bool recursive, int& matches) {
    std::vector<std::pair<std::string, RegValue>> values;
    std::uint32_t result = context.registry.ReadKey(key, values);
    std::vector<std::string> subkeys;
    if (result == platform::kErrorSuccess) {
        result = context.registry.ListSubkeys(key, subkeys);
    }
    if (result != platform::kErrorSuccess) {
        return result;
    }
    context.out << "\n" << display << "\n";
    for (const auto& [name, value] : values) {
        context.out << ValueLine(name, value) << "\n";
        ++matches;
    }
    if (!recursive) {
        if (!subkeys.empty()) {
            context.out << "\n";
        }
        for (const auto& name : subkeys) {
            context.out << display << "\\" << name << "\n";
        }
        return platform::kErrorSuccess;
    }
    for (const auto& name : subkeys) {
        ++matches;
        result = QueryKey(context, SubkeyPath(key, name), display + "\\" + name, true, matches);
        if (result != platform::kErrorSuccess) {
            return result;
        }
    }
    return platform::kErrorSuccess;
}

// The value named (ignoring case) in `command`, with the name as the hive spells it.
std::uint32_t FindValue(const RegCommand& command, RegToolContext& context, std::string& name,
                        RegValue& value) {
    std::vector<std::pair<std::string, RegValue>> values;
    const std::uint32_t result = context.registry.ReadKey(command.key, values);
    if (result != platform::kErrorSuccess) {
        return result;
    }
    for (const auto& entry : values) {
        if (Lower(entry.first) == Lower(command.valueName)) {
            name = entry.first;
            value = entry.second;
            return platform::kErrorSuccess;
        }
    }
    // Not among the values the stand-in reads: missing (2), or of another type (13).
    return context.registry.QueryValue(command.key, command.valueName, value);
}

int Query(const RegCommand& command, RegToolContext& context) {
    if (command.hasValueName) {
        std::string name;
        RegValue value;
        const std::uint32_t result = FindValue(command, context, name, value);
        if (result != platform::kErrorSuccess) {
            return Fail(context, ErrorText(result));
        }
        context.out << "\n" << command.display << "\n" << ValueLine(name, value) << "\n\n";
        return kRegToolSuccess;
    }
    int matches = 0;
    const std::uint32_t result =
        QueryKey(context, command.key, command.display, command.recursive, matches);
    if (result != platform::kErrorSuccess) {
        return Fail(context, ErrorText(result));
    }
    if (command.recursive) {
        context.out << "\nEnd of search: " << matches << " match(es) found.\n";
    }
    return kRegToolSuccess;
}

int Add(const RegCommand& command, RegToolContext& context) {
    if (!command.hasValueName) {
        return Report(context, context.registry.CreateKey(command.key));
    }
    const std::string type = command.hasType ? command.type : "REG_SZ";
    RegValue value = RegValue::String(command.data);
    if (type == "REG_DWORD") {
        std::uint32_t number = 0;
        if (!ParseRegDwordData(command.hasData ? command.data : "0", number)) {
            return Fail(context, "ERROR: Invalid syntax. Specify valid numeric value for '/d'.");
        }
        value = RegValue::Dword(number);
    } else if (type != "REG_SZ") {
        return Fail(context,
                    "ERROR: The type " + type + " is not supported here; use REG_SZ or REG_DWORD.");
    }
    RegValue existing;
    const std::uint32_t found =
        context.registry.QueryValue(command.key, command.valueName, existing);
    const bool exists = found == platform::kErrorSuccess || found == kErrorInvalidData;
    if (exists && !command.force &&
        !Confirm(context, "Value " + DisplayName(command.valueName) + " exists, overwrite")) {
        return Cancelled(context);
    }
    return Report(context, context.registry.SetValue(command.key, command.valueName, value));
}

int DeleteAllValues(const RegCommand& command, RegToolContext& context) {
    std::vector<std::pair<std::string, RegValue>> values;
    const std::uint32_t result = context.registry.ReadKey(command.key, values);
    if (result != platform::kErrorSuccess) {
        return Fail(context, ErrorText(result));
    }
    if (!command.force &&
        !Confirm(context, "Delete all values under the registry key " + command.display)) {
        return Cancelled(context);
    }
    RegBatch batch;
    for (const auto& entry : values) {
        batch.DeleteValue(command.key, entry.first);
    }
    return Report(context, context.registry.Apply(batch));
}

int Delete(const RegCommand& command, RegToolContext& context) {
    if (command.allValues) {
        return DeleteAllValues(command, context);
    }
    if (command.hasValueName) {
        RegValue existing;
        const std::uint32_t found =
            context.registry.QueryValue(command.key, command.valueName, existing);
        if (found == platform::kErrorFileNotFound) {
            return Fail(context, kNotFoundText);
        }
        if (!command.force &&
            !Confirm(context, "Delete the registry value " + DisplayName(command.valueName))) {
            return Cancelled(context);
        }
        return Report(context, context.registry.DeleteValue(command.key, command.valueName));
    }
    const std::uint32_t found = context.registry.OpenKey(command.key);
    if (found != platform::kErrorSuccess) {
        return Fail(context, ErrorText(found));
    }
    if (!command.force &&
        !Confirm(context, "Permanently delete the registry key " + command.display)) {
        return Cancelled(context);
    }
    return Report(context, context.registry.DeleteKey(command.key));
}

int Import(const RegCommand& command, RegToolContext& context) {
    std::ifstream file(context.hostPathOf(command.positional[0]), std::ios::binary);
    if (!file) {
        return Fail(context, kFileErrorText);
    }
    const std::string bytes((std::istreambuf_iterator<char>(file)),
                            std::istreambuf_iterator<char>());
    RegBatch batch;
    std::size_t skipped = 0;
    if (platform::ParseRegBatch(bytes, batch, skipped) != platform::RegTextStatus::Ok) {
        return Fail(context, "ERROR: The specified file is not a registry script.");
    }
    if (skipped > 0) {
        context.err << "Note: " << skipped
                    << " value(s) of types other than REG_SZ and REG_DWORD were left out.\n";
    }
    return Report(context, context.registry.Apply(batch));
}

// The names of `key` as the hive spells them; 2 when a key on the way is missing.
std::uint32_t StoredPath(RegToolContext& context, const std::string& key,
                         std::vector<std::string>& stored) {
    std::vector<std::string> typed;
    if (!platform::SplitRegKeyPath(key, typed)) {
        return platform::kErrorFileNotFound;
    }
    stored.clear();
    for (const auto& name : typed) {
        std::vector<std::string> subkeys;
        const std::uint32_t result =
            context.registry.ListSubkeys(platform::JoinRegKeyPath(stored), subkeys);
        if (result != platform::kErrorSuccess) {
            return result;
        }
        const std::string lower = Lower(name);
        std::string match;
        for (const auto& subkey : subkeys) {
            if (Lower(subkey) == lower) {
                match = subkey;
            }
        }
        if (match.empty()) {
            return platform::kErrorFileNotFound;
        }
        stored.push_back(match);
    }
    return context.registry.OpenKey(platform::JoinRegKeyPath(stored));
}

// Copies a key and its subkeys out of the registry into `hive`.
std::uint32_t CopyTree(RegToolContext& context, const std::vector<std::string>& path,
                       platform::RegHive& hive) {
    const std::string key = platform::JoinRegKeyPath(path);
    std::vector<std::pair<std::string, RegValue>> values;
    std::vector<std::string> subkeys;
    std::uint32_t result = context.registry.ReadKey(key, values);
    if (result == platform::kErrorSuccess) {
        result = context.registry.ListSubkeys(key, subkeys);
    }
    if (result != platform::kErrorSuccess) {
        return result;
    }
    platform::RegKey& copy = hive.Create(path);
    for (const auto& [name, value] : values) {
        copy.SetValue(platform::RegTextValue{name, value, {}});
    }
    for (const auto& name : subkeys) {
        std::vector<std::string> below = path;
        below.push_back(name);
        result = CopyTree(context, below, hive);
        if (result != platform::kErrorSuccess) {
            return result;
        }
    }
    return platform::kErrorSuccess;
}

int Export(const RegCommand& command, RegToolContext& context) {
    std::vector<std::string> path;
    platform::RegHive hive;
    std::uint32_t result = StoredPath(context, command.key, path);
    if (result == platform::kErrorSuccess) {
        result = CopyTree(context, path, hive);
    }
    if (result != platform::kErrorSuccess) {
        return Fail(context, ErrorText(result));
    }
    const std::string fileName = context.hostPathOf(command.positional[1]);
    if (!command.overwrite && std::ifstream(fileName).good() &&
        !Confirm(context, "File " + command.positional[1] + " already exists. Overwrite")) {
        return Cancelled(context);
    }
    std::ofstream file(fileName, std::ios::binary | std::ios::trunc);
    file << platform::WriteRegText(*hive.Find(path), path);
    file.close();
    if (!file) {
        return Fail(context, kFileErrorText);
    }
    return Report(context, platform::kErrorSuccess);
}

int SyntaxError(RegToolContext& context, const std::string& operation) {
    context.err << "ERROR: Invalid syntax.\n"
                << "Type \"LANEREG " << (operation.empty() ? "" : RegUpperCase(operation) + " ")
                << "/?\" for usage.\n";
    return kRegToolFailure;
}

}  // namespace

int RunRegTool(const std::vector<std::string>& args, RegToolContext& context) {
    if (args.empty()) {
        return SyntaxError(context, "");
    }
    const std::string operation = Lower(args[0]);
    if (operation == "/?" || operation == "-?") {
        context.out << kRegGeneralUsage;
        return kRegToolSuccess;
    }
    const RegOperationRule* rule = FindRegOperation(operation);
    if (rule == nullptr) {
        return SyntaxError(context, "");
    }
    RegCommand command;
    command.operation = operation;
    if (!ParseRegArguments(args, *rule, command)) {
        return SyntaxError(context, operation);
    }
    if (command.help) {
        context.out << rule->usage;
        return kRegToolSuccess;
    }
    if (operation == "import") {
        return Import(command, context);
    }
    if (!ParseRegKeyName(command.positional[0], command.key, command.display)) {
        return Fail(context, "ERROR: Invalid key name.\nType \"LANEREG " + RegUpperCase(operation) +
                                 " /?\" for usage.");
    }
    if (operation == "query") {
        return Query(command, context);
    }
    if (operation == "add") {
        return Add(command, context);
    }
    if (operation == "delete") {
        return Delete(command, context);
    }
    return Export(command, context);
}

}  // namespace lane::tools
