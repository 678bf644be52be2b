// The initialisation-file stand-in: GetPrivateProfileString, GetPrivateProfileInt and
// WritePrivateProfileString with Windows semantics, on host paths (map Windows paths first
// with LanePaths::Map).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace lane::platform {

// The value of `key` in `section` of the file, or `defaultText` (less its trailing blanks) when
// the file, the section or the key is missing. Sections and keys compare ignoring case; blanks
// around keys and values are trimmed; one pair of matching quotes (" or ') around a value is
// removed; lines starting with ';' are comments. `bufferSize` counts the terminating zero of the
// caller's buffer: the result holds at most bufferSize - 1 characters (none when it is 0).
std::string GetPrivateProfileString(const std::string& section, const std::string& key,
                                    const std::string& defaultText, std::size_t bufferSize,
                                    const std::string& hostPath);

// The leading number of the value, as Windows reads it: blanks, an optional sign, then decimal
// digits or "0x" and hex digits (also "0o" octal and "0b" binary), up to the first other
// character; the value is taken modulo 2^32 (so "-1" is 0xFFFFFFFF); a value without digits
// gives 0. A missing (or empty) value gives `defaultValue`.
std::uint32_t GetPrivateProfileInt(const std::string& section, const std::string& key,
                                   int defaultValue, const std::string& hostPath);

// Sets `key` in `section` to `value`: replaces the key's line ("Key=value", the key keeping its
// stored spelling), or adds the line at the end of the section, or adds the section with the
// line at the end of the file, creating the file when needed. Every other byte of the file stays
// as it was; new lines end in CR LF. The file is replaced crash-safely (temporary file, flush,
// rename). False when the file cannot be written, or when the section or key is empty or holds
// a line end (or the key holds '='), or the value holds a line end.
bool WritePrivateProfileString(const std::string& section, const std::string& key,
                               const std::string& value, const std::string& hostPath);

// The same rules on the text of a file, for tests and fuzzing (no file access).
// True with the value (trimmed, quotes removed, not truncated) when the key exists.
bool FindIniValue(std::string_view text, std::string_view section, std::string_view key,
                  std::string& value);
// The number rule of GetPrivateProfileInt applied to a value text.
std::uint32_t ParseIniNumber(std::string_view value);
// The text with `key` of `section` set to `value` (see WritePrivateProfileString).
std::string SetIniValue(std::string_view text, std::string_view section, std::string_view key,
                        std::string_view value);

}  // namespace lane::platform
