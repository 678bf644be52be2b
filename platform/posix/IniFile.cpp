// Initialisation files with Windows semantics: a line scanner shared by the reader and the
// writer, and crash-safe file replacement.
#include "platform/IniFile.h"

#include <unistd.h>

#include <cerrno>
#include <vector>

#include "platform/posix/HostFile.h"

namespace lane::platform {

namespace {

inline constexpr std::size_t kIntBufferSize = 30;  // GetPrivateProfileInt reads this much text
inline constexpr std::string_view kLineEnd = "\r\n";
inline constexpr std::string_view kUtf8Mark = "\xEF\xBB\xBF";

bool IsBlank(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\v' || c == '\f' || c == '\x1a';
}

std::string_view Trim(std::string_view text) {
    while (!text.empty() && IsBlank(text.front())) {
        text.remove_prefix(1);
    }
    while (!text.empty() && IsBlank(text.back())) {
        text.remove_suffix(1);
    }
    return text;
}

char LowerAscii(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

bool EqualIgnoringCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) {
        return false;
    }
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (LowerAscii(a[i]) != LowerAscii(b[i])) {
            return false;
        }
    }
    return true;
}

bool HasLineEnd(std::string_view text) {
    return text.find('\n') != std::string_view::npos || text.find('\r') != std::string_view::npos;
}

// One line of the file: [start, end) is its text without the LF, `next` where the next begins.
struct IniLine {
    enum class Kind { Blank, Comment, Section, Entry, Other };
    Kind kind = Kind::Other;
    std::size_t start = 0;
    std::size_t end = 0;
    std::size_t next = 0;
    bool terminated = false;  // ends in LF
    std::string_view name;    // section name or key, trimmed
    std::string_view value;   // entry value, trimmed
};

IniLine::Kind Classify(std::string_view content, std::string_view& name, std::string_view& value) {
    const std::string_view text = Trim(content);
    if (text.empty()) {
        return IniLine::Kind::Blank;
    }
    if (text.front() == ';') {
        return IniLine::Kind::Comment;
    }
    if (text.front() == '[') {
        const std::size_t close = text.rfind(']');
        if (close == std::string_view::npos) {
            return IniLine::Kind::Other;
        }
        name = Trim(text.substr(1, close - 1));
        return IniLine::Kind::Section;
    }
    const std::size_t equals = text.find('=');
    if (equals == std::string_view::npos) {
        return IniLine::Kind::Other;
    }
    name = Trim(text.substr(0, equals));
    if (name.empty()) {
        return IniLine::Kind::Other;
    }
    value = Trim(text.substr(equals + 1));
    return IniLine::Kind::Entry;
}

std::vector<IniLine> ScanLines(std::string_view text) {
    std::vector<IniLine> lines;
    std::size_t position = text.substr(0, kUtf8Mark.size()) == kUtf8Mark ? kUtf8Mark.size() : 0;
    while (position < text.size()) {
        IniLine line;
        line.start = position;
        const std::size_t lineFeed = text.find('\n', position);
        line.terminated = lineFeed != std::string_view::npos;
        line.end = line.terminated ? lineFeed : text.size();
        line.next = line.terminated ? lineFeed + 1 : text.size();
        line.kind = Classify(text.substr(line.start, line.end - line.start), line.name, line.value);
        lines.push_back(line);
        position = line.next;
    }
    return lines;
}

// Index of the first header of `section`, or lines.size().
std::size_t FindSection(const std::vector<IniLine>& lines, std::string_view section) {
    for (std::size_t i = 0; i < lines.size(); ++i) {
        if (lines[i].kind == IniLine::Kind::Section && EqualIgnoringCase(lines[i].name, section)) {
            return i;
        }
    }
    return lines.size();
}

std::string_view Unquoted(std::string_view value) {
    if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') &&
        value.back() == value.front()) {
        return value.substr(1, value.size() - 2);
    }
    return value;
}

std::string CutToBuffer(std::string_view text, std::size_t bufferSize) {
    if (bufferSize == 0) {
        return {};
    }
    return std::string(text.substr(0, bufferSize - 1));
}

int DigitValue(char c) {
    if (c >= '0' && c <= '9') {
        return c - '0';
    }
    if (c >= 'a' && c <= 'z') {
        return c - 'a' + 10;
    }
    if (c >= 'A' && c <= 'Z') {
        return c - 'A' + 10;
    }
    return 99;
}

bool ReadIniFile(const std::string& hostPath, std::string& text) {
    return posix::ReadWholeFile(hostPath, text) == 0;
}

}  // namespace

bool FindIniValue(std::string_view text, std::string_view section, std::string_view key,
                  std::string& value) {
    section = Trim(section);
    key = Trim(key);
    const std::vector<IniLine> lines = ScanLines(text);
    for (std::size_t i = FindSection(lines, section) + 1; i < lines.size(); ++i) {
        if (lines[i].kind == IniLine::Kind::Section) {
            return false;
        }
        if (lines[i].kind == IniLine::Kind::Entry && EqualIgnoringCase(lines[i].name, key)) {
            value = std::string(Unquoted(lines[i].value));
            return true;
        }
    }
    return false;
}

std::uint32_t ParseIniNumber(std::string_view value) {
    value = Trim(value);
    bool negative = false;
    if (!value.empty() && (value.front() == '+' || value.front() == '-')) {
        negative = value.front() == '-';
        value.remove_prefix(1);
    }
    unsigned base = 10;
    if (value.size() >= 2 && value[0] == '0') {
        const char prefix = value[1];
        base = prefix == 'x' ? 16 : prefix == 'o' ? 8 : prefix == 'b' ? 2 : 10;
        if (base != 10) {
            value.remove_prefix(2);
        }
    }
    std::uint32_t number = 0;
    for (char c : value) {
        const int digit = DigitValue(c);
        if (digit >= static_cast<int>(base)) {
            break;
        }
        number = number * base + static_cast<std::uint32_t>(digit);
    }
    return negative ? 0u - number : number;
}

std::string SetIniValue(std::string_view text, std::string_view section, std::string_view key,
                        std::string_view value) {
    section = Trim(section);
    key = Trim(key);
    const std::vector<IniLine> lines = ScanLines(text);
    const std::size_t header = FindSection(lines, section);
    std::string result(text);
    if (header == lines.size()) {
        if (!result.empty() && result.back() != '\n') {
            result += kLineEnd;
        }
        result.push_back('[');
        result.append(section);
        result.push_back(']');
        result.append(kLineEnd);
        result.append(key);
        result.push_back('=');
        result.append(value);
        result.append(kLineEnd);
        return result;
    }
    std::size_t last = header;  // the line the new entry goes after
    for (std::size_t i = header + 1; i < lines.size(); ++i) {
        const IniLine& line = lines[i];
        if (line.kind == IniLine::Kind::Section) {
            break;
        }
        if (line.kind != IniLine::Kind::Entry) {
            continue;
        }
        if (EqualIgnoringCase(line.name, key)) {
            // Keep the line's own end (CR LF or LF): a CR before the LF stays as it is.
            std::size_t end = line.end;
            if (end > line.start && text[end - 1] == '\r') {
                --end;
            }
            result.replace(line.start, end - line.start,
                           std::string(line.name) + "=" + std::string(value));
            return result;
        }
        last = i;
    }
    std::string insertion;
    if (!lines[last].terminated) {
        insertion += kLineEnd;
    }
    insertion += std::string(key) + "=" + std::string(value) + std::string(kLineEnd);
    result.insert(lines[last].next, insertion);
    return result;
}

std::string GetPrivateProfileString(const std::string& section, const std::string& key,
                                    const std::string& defaultText, std::size_t bufferSize,
                                    const std::string& hostPath) {
    std::string text;
    std::string value;
    if (ReadIniFile(hostPath, text) && FindIniValue(text, section, key, value)) {
        return CutToBuffer(value, bufferSize);
    }
    // Windows drops the trailing blanks of the default.
    std::string_view fallback = defaultText;
    while (!fallback.empty() && (fallback.back() == ' ' || fallback.back() == '\t')) {
        fallback.remove_suffix(1);
    }
    return CutToBuffer(fallback, bufferSize);
}

std::uint32_t GetPrivateProfileInt(const std::string& section, const std::string& key,
                                   int defaultValue, const std::string& hostPath) {
    const std::string value = GetPrivateProfileString(section, key, "", kIntBufferSize, hostPath);
    if (value.empty()) {
        return static_cast<std::uint32_t>(defaultValue);
    }
    return ParseIniNumber(value);
}

bool WritePrivateProfileString(const std::string& section, const std::string& key,
                               const std::string& value, const std::string& hostPath) {
    const std::string_view trimmedSection = Trim(section);
    const std::string_view trimmedKey = Trim(key);
    if (trimmedSection.empty() || trimmedKey.empty() || HasLineEnd(section) || HasLineEnd(key) ||
        HasLineEnd(value) || trimmedKey.find('=') != std::string_view::npos ||
        trimmedKey.front() == '[' || trimmedKey.front() == ';') {
        return false;
    }
    std::string before;
    const int readError = posix::ReadWholeFile(hostPath, before);
    if (readError != 0 && readError != ENOENT) {
        return false;
    }
    const std::string after = SetIniValue(before, section, key, value);
    if (readError == 0 && after == before) {
        return true;
    }
    const std::string tempPath = hostPath + "." + std::to_string(::getpid()) + ".tmp";
    return posix::ReplaceFile(hostPath, tempPath, after) == 0;
}

}  // namespace lane::platform
