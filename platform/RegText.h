// The ".reg" text form of the registry hive: the key tree, the parser (bytes in) and the writer.
#pragma once

#include <cstddef>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "platform/Registry.h"

namespace lane::platform {

inline constexpr std::string_view kRegFileHeader = "Windows Registry Editor Version 5.00";
inline constexpr std::string_view kRegRootName = "HKEY_LOCAL_MACHINE";

// One value as the text holds it. A value of a type other than REG_SZ and REG_DWORD keeps the
// text right of "=" in `verbatim` ("hex(2):25,00,..."), so a rewrite does not lose it.
struct RegTextValue {
    std::string name;  // "" is the key's default value, "@" in the text
    RegValue value;
    std::string verbatim;

    bool IsVerbatim() const { return !verbatim.empty(); }
};

// A key: its name as first spelled, its values in order, its subkeys by name ignoring case.
class RegKey {
  public:
    explicit RegKey(std::string name) : name_(std::move(name)) {}

    const std::string& Name() const { return name_; }
    const std::vector<RegTextValue>& Values() const { return values_; }
    const RegTextValue* FindValue(std::string_view name) const;
    // Replaces the value of that name where it stands (keeping the stored spelling of its name)
    // or appends it.
    void SetValue(RegTextValue value);
    bool DeleteValue(std::string_view name);

    // Subkeys in order of their names ignoring case (the order regedit exports them in).
    const std::map<std::string, std::unique_ptr<RegKey>>& Subkeys() const { return subkeys_; }
    RegKey* FindSubkey(std::string_view name) const;
    RegKey& CreateSubkey(const std::string& name);
    bool DeleteSubkey(std::string_view name);

  private:
    std::string name_;
    std::vector<RegTextValue> values_;
    std::unordered_map<std::string, std::size_t> valueIndex_;  // lower-case name: position
    std::map<std::string, std::unique_ptr<RegKey>> subkeys_;   // lower-case name: key
};

// HKEY_LOCAL_MACHINE as a tree; paths are lists of key names below it.
class RegHive {
  public:
    RegHive() : root_(std::string(kRegRootName)) {}

    const RegKey& Root() const { return root_; }
    RegKey* Find(const std::vector<std::string>& path);
    const RegKey* Find(const std::vector<std::string>& path) const;
    // Creates the key and every missing parent; existing keys keep their spelling.
    RegKey& Create(const std::vector<std::string>& path);
    // Deletes the key with its subkeys; false when it does not exist (or is the root).
    bool Delete(const std::vector<std::string>& path);

  private:
    RegKey root_;
};

// Splits "SOFTWARE\Quarnel\Tavrik" into its names, dropping empty ones. False when the path
// holds a line end, which the text form cannot carry.
[[nodiscard]] bool SplitRegKeyPath(std::string_view key, std::vector<std::string>& names);
// False when a value name holds a line end.
[[nodiscard]] bool IsValidRegValueName(std::string_view name);
// "SOFTWARE\Quarnel" from its names.
std::string JoinRegKeyPath(const std::vector<std::string>& names);
// ASCII lower case, the form names are compared in.
std::string RegLowerCase(std::string_view text);

// UTF-8 to UTF-16 for hex(1) texts; a byte that is not part of valid UTF-8 becomes the lone
// surrogate 0xDC00 + byte, and Utf16ToUtf8 turns such a surrogate back into the byte, so any
// string survives the round trip. Other lone surrogates become U+FFFD.
std::u16string Utf8ToUtf16(std::string_view text);
std::string Utf16ToUtf8(std::u16string_view text);

// What a ".reg" text says, statement by statement, in order.
class RegTextSink {
  public:
    virtual ~RegTextSink() = default;
    virtual void OnKey(const std::vector<std::string>& path) = 0;        // [HKEY_LOCAL_MACHINE\..]
    virtual void OnDeleteKey(const std::vector<std::string>& path) = 0;  // [-HKEY_LOCAL_MACHINE\..]
    virtual void OnValue(const std::vector<std::string>& path, const RegTextValue& value) = 0;
    virtual void OnDeleteValue(const std::vector<std::string>& path, const std::string& name) = 0;
    // A statement after the header that says nothing the hive keeps: a comment, a line that is
    // not a statement, a malformed value, a section or a value outside HKEY_LOCAL_MACHINE.
    // `text` is the statement as it stands, continuation lines included; `line` is 1-based.
    virtual void OnSkipped(std::size_t line, std::string_view text) {
        (void)line;
        (void)text;
    }
};

// A statement the parser could not use, as OnSkipped reports it, with the section it stood in
// ("" before the first section or in one outside HKEY_LOCAL_MACHINE).
struct RegSkippedStatement {
    std::size_t line = 0;
    std::string text;
    std::string section;
};

enum class RegTextStatus { Ok, NotRegText };

// Parses a ".reg" text (UTF-8, with or without a byte order mark, or UTF-16LE with its mark;
// lines end in LF or CR LF). The first line that is not blank must be the version 5.00 or
// REGEDIT4 header, else NotRegText; a blank text is an empty Ok. Tolerant: keys outside
// HKEY_LOCAL_MACHINE, comments, unknown and malformed lines are skipped.
RegTextStatus ParseRegText(std::string_view bytes, RegTextSink& sink);
// Parses into `hive`, applying deletions in order; with `skipped`, the statements a rewrite of
// the hive would lose are listed there.
RegTextStatus ParseRegHive(std::string_view bytes, RegHive& hive,
                           std::vector<RegSkippedStatement>* skipped = nullptr);
// Parses into a batch of changes (values of other types are left out and counted in
// `skippedValues`).
RegTextStatus ParseRegBatch(std::string_view bytes, RegBatch& batch, std::size_t& skippedValues);

// The hive as a ".reg" text: header, blank line, then every key in tree order as a section
// followed by its values and a blank line; CR LF line ends.
std::string WriteRegText(const RegHive& hive);
// One key and its subkeys, as export writes them; `path` names the key (its own spelling).
std::string WriteRegText(const RegKey& key, const std::vector<std::string>& path);
// The line of one value without its line end: "\"Name\"=\"text\"", "\"Name\"=dword:0000000a".
std::string RegValueLine(const RegTextValue& value);

}  // namespace lane::platform
