// The lanereg operations: reg.exe's questions, listings and texts over the Registry stand-in.
#include "tools/reg/RegTool.h"

#include <cstdint>
#include <cstdio>
#include <iostream>

#include "platform/File.h"
#include "platform/FileRead.h"
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
constexpr const char* kOutputFailedText = "ERROR: The output could not be written.";
constexpr const char* kIndent = "    ";
constexpr std::uint32_t kErrorInvalidData = 13;  // a value of a type the stand-in does not read
// Largest registry script import reads; the suite's own hive is a few kilobytes.
constexpr std::size_t kMaxImportBytes = 64u << 20;

std::string Lower(const std::string& text) {
    return platform::RegLowerCase(text);
}

std::string SystemText(std::uint32_t result) {
    std::string text = platform::SystemErrorText(result);
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) {
        text.pop_back();
    }
    return text;
}

std::string ErrorText(std::uint32_t result) {
    if (result == platform::kErrorFileNotFound) {
        return kNotFoundText;
    }
    return "ERROR: " + SystemText(result);
}

// reg.exe's one text for every file fault, and a second line that says which fault on which file.
int FileFail(RegToolContext& context, const std::string& hostPath, const std::string& reason) {
    context.err << kFileErrorText << "\n" << hostPath << ": " << reason << "\n";
    return kRegToolFailure;
}

int FileFail(RegToolContext& context, const std::string& hostPath, std::uint32_t result) {
    return FileFail(context, hostPath,
                    SystemText(result) + " (error " + std::to_string(result) + ")");
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

// Reads the hive once and finds `key` in it: listings walk the copy, not the file.
std::uint32_t FindInSnapshot(RegToolContext& context, const std::string& key,
                             platform::RegHive& hive, const platform::RegKey*& found) {
    found = nullptr;
    const std::uint32_t result = context.registry.Snapshot(hive);
    if (result != platform::kErrorSuccess) {
        return result;
    }
    std::vector<std::string> path;
    if (platform::SplitRegKeyPath(key, path)) {
        found = hive.Find(path);
    }
    return found != nullptr ? platform::kErrorSuccess : platform::kErrorFileNotFound;
}

// Lists one key (and, when recursive, everything below it); counts what it lists.
void QueryKey(RegToolContext& context, const platform::RegKey& key, const std::string& display,
              bool recursive, int& matches) {
    context.out << "\n" << display << "\n";
    for (const auto& stored : key.Values()) {
        if (!stored.IsVerbatim()) {
            context.out << ValueLine(stored.name, stored.value) << "\n";
            ++matches;
        }
    }
    if (!recursive) {
        if (!key.Subkeys().empty()) {
            context.out << "\n";
        }
        for (const auto& entry : key.Subkeys()) {
            context.out << display << "\\" << entry.second->Name() << "\n";
        }
        return;
    }
    for (const auto& entry : key.Subkeys()) {
        ++matches;
        QueryKey(context, *entry.second, display + "\\" + entry.second->Name(), true, matches);
    }
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
    platform::RegHive hive;
    const platform::RegKey* key = nullptr;
    const std::uint32_t result = FindInSnapshot(context, command.key, hive, key);
    if (result != platform::kErrorSuccess) {
        return Fail(context, ErrorText(result));
    }
    int matches = 0;
    QueryKey(context, *key, command.display, command.recursive, matches);
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
    const std::string fileName = context.hostPathOf(command.positional[0]);
    std::string bytes;
    const std::uint32_t read = platform::ReadWholeHostFile(fileName, kMaxImportBytes, bytes);
    if (read == platform::kErrorFileTooLarge) {
        return FileFail(context, fileName,
                        "larger than the " + std::to_string(kMaxImportBytes >> 20) +
                            " MiB a registry script may have");
    }
    if (read != platform::kErrorSuccess) {
        return FileFail(context, fileName, read);
    }
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

// The names of the path to `key` as the hive spells them.
std::vector<std::string> StoredPath(const platform::RegHive& hive, const std::string& key) {
    std::vector<std::string> typed;
    std::vector<std::string> stored;
    if (!platform::SplitRegKeyPath(key, typed)) {
        return stored;
    }
    const platform::RegKey* at = &hive.Root();
    for (const auto& name : typed) {
        at = at->FindSubkey(name);
        if (at == nullptr) {
            break;
        }
        stored.push_back(at->Name());
    }
    return stored;
}

int Export(const RegCommand& command, RegToolContext& context) {
    platform::RegHive hive;
    const platform::RegKey* key = nullptr;
    const std::uint32_t result = FindInSnapshot(context, command.key, hive, key);
    if (result != platform::kErrorSuccess) {
        return Fail(context, ErrorText(result));
    }
    const std::string fileName = context.hostPathOf(command.positional[1]);
    const platform::HostPathKind kind = platform::KindOfHostPath(fileName);
    if (kind == platform::HostPathKind::Folder) {
        return FileFail(context, fileName, platform::kErrorDirectoryNotSupported);
    }
    if (kind == platform::HostPathKind::Other) {
        // A device or a pipe cannot be replaced by a file, nor be written whole.
        return FileFail(context, fileName, "not a regular file");
    }
    if (!command.overwrite && kind == platform::HostPathKind::RegularFile &&
        !Confirm(context, "File " + command.positional[1] + " already exists. Overwrite")) {
        return Cancelled(context);
    }
    // Written under a temporary name and renamed: a failed export leaves the old file whole.
    const std::uint32_t written = platform::WriteWholeFile(
        fileName, platform::WriteRegText(*key, StoredPath(hive, command.key)));
    if (written != platform::kErrorSuccess) {
        return FileFail(context, fileName, written);
    }
    return Report(context, platform::kErrorSuccess);
}

int SyntaxError(RegToolContext& context, const std::string& operation) {
    context.err << "ERROR: Invalid syntax.\n"
                << "Type \"LANEREG " << (operation.empty() ? "" : RegUpperCase(operation) + " ")
                << "/?\" for usage.\n";
    return kRegToolFailure;
}

int RunOperation(const std::vector<std::string>& args, RegToolContext& context) {
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

}  // namespace

int RunRegTool(const std::vector<std::string>& args, RegToolContext& context) {
    context.registry.SetDroppedNotice([&context](std::size_t statements,
                                                 const std::string& sideFile) {
        context.err << "Warning: " << statements
                    << " line(s) of the hive could not be read and were left out of it; they are "
                       "kept in "
                    << sideFile << "\n";
    });
    int rc = RunOperation(args, context);
    context.registry.SetDroppedNotice({});
    // Results nobody received are a failure, whatever the operation did.
    if (!context.out.flush()) {
        context.err << kOutputFailedText << "\n";
        rc = kRegToolFailure;
    }
    return rc;
}

}  // namespace lane::tools
