// The tolerant ".reg" text parser: bytes in, key and value statements out; never reads past
// its input.
#include "platform/RegText.h"

#include <cstdint>

namespace lane::platform {

namespace {

inline constexpr std::string_view kRegedit4Header = "REGEDIT4";
inline constexpr std::uint32_t kTypeString = 1;  // REG_SZ
inline constexpr std::uint32_t kTypeDword = 4;   // REG_DWORD
inline constexpr std::size_t kMaxDwordDigits = 8;

bool IsBlank(char c) {
    return c == ' ' || c == '\t';
}

std::string_view TrimLeft(std::string_view text) {
    while (!text.empty() && IsBlank(text.front())) {
        text.remove_prefix(1);
    }
    return text;
}

std::string_view TrimRight(std::string_view text) {
    while (!text.empty() && IsBlank(text.back())) {
        text.remove_suffix(1);
    }
    return text;
}

bool StartsWithIgnoringCase(std::string_view text, std::string_view prefix) {
    return text.size() >= prefix.size() &&
           RegLowerCase(text.substr(0, prefix.size())) == RegLowerCase(prefix);
}

int HexDigit(char c) {
    if (c >= '0' && c <= '9') {
        return c - '0';
    }
    if (c >= 'a' && c <= 'f') {
        return c - 'a' + 10;
    }
    if (c >= 'A' && c <= 'F') {
        return c - 'A' + 10;
    }
    return -1;
}

// Hands out the lines of a text (without LF and one trailing CR), never past its end.
class LineReader {
  public:
    explicit LineReader(std::string_view text) : text_(text) {}

    bool Next(std::string_view& line) {
        if (position_ >= text_.size()) {
            return false;
        }
        std::size_t end = text_.find('\n', position_);
        if (end == std::string_view::npos) {
            end = text_.size();
        }
        line = text_.substr(position_, end - position_);
        position_ = end + 1;
        ++number_;
        if (!line.empty() && line.back() == '\r') {
            line.remove_suffix(1);
        }
        return true;
    }

    // 1-based number of the line Next gave last.
    std::size_t Number() const { return number_; }
    std::size_t Position() const { return position_ < text_.size() ? position_ : text_.size(); }
    // The text from `from` up to the end of the line Next gave last, without its line end.
    std::string_view Since(std::size_t from) const {
        std::string_view taken = text_.substr(from, Position() - from);
        while (!taken.empty() && (taken.back() == '\n' || taken.back() == '\r')) {
            taken.remove_suffix(1);
        }
        return taken;
    }

  private:
    std::string_view text_;
    std::size_t position_ = 0;
    std::size_t number_ = 0;
};

// Reads a quoted text starting after its opening quote; \\ and \" are escapes, any other
// backslash stays as it is. Returns the position after the closing quote, or npos when the
// quote is not closed on this line.
std::size_t ReadQuoted(std::string_view line, std::size_t position, std::string& text) {
    text.clear();
    while (position < line.size()) {
        const char c = line[position];
        if (c == '"') {
            return position + 1;
        }
        if (c == '\\' && position + 1 < line.size() &&
            (line[position + 1] == '\\' || line[position + 1] == '"')) {
            text += line[position + 1];
            position += 2;
            continue;
        }
        text += c;
        ++position;
    }
    return std::string_view::npos;
}

bool ParseDword(std::string_view digits, std::uint32_t& value) {
    digits = TrimRight(digits);
    if (digits.empty() || digits.size() > kMaxDwordDigits) {
        return false;
    }
    value = 0;
    for (char c : digits) {
        const int digit = HexDigit(c);
        if (digit < 0) {
            return false;
        }
        value = (value << 4) | static_cast<std::uint32_t>(digit);
    }
    return true;
}

// "hex:" is type 3, "hex(N):" type N (hex digits); the rest is the comma-separated byte list.
bool ParseHexData(std::string_view data, std::uint32_t& type, std::string& bytes) {
    data.remove_prefix(3);  // "hex"
    type = 3;
    if (!data.empty() && data.front() == '(') {
        const std::size_t close = data.find(')');
        if (close == std::string_view::npos || close == 1 || close > kMaxDwordDigits + 1 ||
            !ParseDword(data.substr(1, close - 1), type)) {
            return false;
        }
        data.remove_prefix(close + 1);
    }
    if (data.empty() || data.front() != ':') {
        return false;
    }
    data.remove_prefix(1);
    bytes.clear();
    while (!data.empty()) {
        std::size_t comma = data.find(',');
        const std::string_view item = TrimRight(
            TrimLeft(data.substr(0, comma == std::string_view::npos ? data.size() : comma)));
        data.remove_prefix(comma == std::string_view::npos ? data.size() : comma + 1);
        if (item.empty() && data.empty()) {
            break;  // a trailing comma
        }
        if (item.empty() || item.size() > 2 || HexDigit(item[0]) < 0 ||
            (item.size() == 2 && HexDigit(item[1]) < 0)) {
            return false;
        }
        const int high = item.size() == 2 ? HexDigit(item[0]) : 0;
        bytes += static_cast<char>(high * 16 + HexDigit(item.back()));
    }
    return true;
}

// A hex(1) value is a REG_SZ in UTF-16LE with its terminating zero, which is dropped (only that
// one, so that a text ending in zeros of its own survives).
std::string StringFromUtf16Bytes(const std::string& bytes) {
    std::u16string units;
    for (std::size_t i = 0; i + 1 < bytes.size(); i += 2) {
        units.push_back(static_cast<char16_t>(static_cast<unsigned char>(bytes[i]) |
                                              (static_cast<unsigned char>(bytes[i + 1]) << 8)));
    }
    if (!units.empty() && units.back() == u'\0') {
        units.pop_back();
    }
    return Utf16ToUtf8(units);
}

// The data of a hex value whose line ends in a backslash continues on the following lines. The
// result never ends in a blank or a backslash, so it reads back the same from one line.
std::string JoinContinuedHex(std::string_view data, LineReader& lines) {
    std::string joined(data);
    for (;;) {
        while (!joined.empty() && IsBlank(joined.back())) {
            joined.pop_back();
        }
        if (joined.empty() || joined.back() != '\\') {
            return joined;
        }
        joined.pop_back();
        std::string_view next;
        if (lines.Next(next)) {
            joined += TrimLeft(next);
        }
    }
}

// Decodes the right-hand side of a value line into `value`; false when it is not a value.
bool ParseValueData(std::string_view data, LineReader& lines, RegTextValue& value) {
    if (!data.empty() && data.front() == '"') {
        std::string text;
        if (ReadQuoted(data, 1, text) == std::string_view::npos) {
            return false;
        }
        value.value = RegValue::String(std::move(text));
        return true;
    }
    if (StartsWithIgnoringCase(data, "dword:")) {
        std::uint32_t number = 0;
        if (!ParseDword(data.substr(6), number)) {
            return false;
        }
        value.value = RegValue::Dword(number);
        return true;
    }
    if (!StartsWithIgnoringCase(data, "hex")) {
        return false;
    }
    const std::string joined = JoinContinuedHex(data, lines);
    std::uint32_t type = 0;
    std::string bytes;
    const bool decoded = ParseHexData(joined, type, bytes);
    if (decoded && type == kTypeString) {
        value.value = RegValue::String(StringFromUtf16Bytes(bytes));
        return true;
    }
    if (decoded && type == kTypeDword && bytes.size() == 4) {
        std::uint32_t number = 0;
        for (int i = 3; i >= 0; --i) {
            number = (number << 8) | static_cast<unsigned char>(bytes[static_cast<std::size_t>(i)]);
        }
        value.value = RegValue::Dword(number);
        return true;
    }
    value.verbatim = joined;
    return !value.verbatim.empty();
}

class Parser {
  public:
    Parser(std::string_view text, RegTextSink& sink) : lines_(text), sink_(sink) {}

    RegTextStatus Run() {
        std::string_view line;
        bool headerSeen = false;
        std::size_t start = lines_.Position();
        while (lines_.Next(line)) {
            const std::string_view trimmed = TrimRight(TrimLeft(line));
            if (!headerSeen) {
                if (trimmed.empty()) {
                    continue;
                }
                if (trimmed != kRegFileHeader && trimmed != kRegedit4Header) {
                    return RegTextStatus::NotRegText;
                }
                headerSeen = true;
                start = lines_.Position();
                continue;
            }
            const std::size_t number = lines_.Number();
            if (!trimmed.empty() && !ParseLine(trimmed)) {
                sink_.OnSkipped(number, lines_.Since(start));
            }
            start = lines_.Position();
        }
        return RegTextStatus::Ok;
    }

  private:
    // False when the line says nothing the hive keeps.
    bool ParseLine(std::string_view line) {
        if (line.front() == '[') {
            return ParseSection(line);
        }
        if (inKey_ && (line.front() == '"' || line.front() == '@')) {
            return ParseValue(line);
        }
        return false;
    }

    bool ParseSection(std::string_view line) {
        inKey_ = false;
        const std::size_t close = line.rfind(']');
        if (close == std::string_view::npos) {
            return false;
        }
        std::string_view inside = line.substr(1, close - 1);
        const bool deletion = !inside.empty() && inside.front() == '-';
        if (deletion) {
            inside.remove_prefix(1);
        }
        const std::size_t slash = inside.find('\\');
        const std::string_view root = inside.substr(0, slash);
        if (RegLowerCase(root) != RegLowerCase(kRegRootName)) {
            return false;  // another root (HKEY_CURRENT_USER, ...): its values are skipped
        }
        const std::string_view below =
            slash == std::string_view::npos ? std::string_view() : inside.substr(slash + 1);
        if (!SplitRegKeyPath(below, path_)) {
            return false;
        }
        if (deletion) {
            if (path_.empty()) {
                return false;  // HKEY_LOCAL_MACHINE itself cannot go
            }
            sink_.OnDeleteKey(path_);
            return true;
        }
        sink_.OnKey(path_);
        inKey_ = true;
        return true;
    }

    bool ParseValue(std::string_view line) {
        RegTextValue value;
        std::size_t position = 1;
        if (line.front() == '"') {
            position = ReadQuoted(line, 1, value.name);
            if (position == std::string_view::npos) {
                return false;
            }
        }
        std::string_view rest = TrimLeft(line.substr(position));
        if (rest.empty() || rest.front() != '=') {
            return false;
        }
        rest = TrimLeft(rest.substr(1));
        if (rest == "-") {
            sink_.OnDeleteValue(path_, value.name);
            return true;
        }
        if (!ParseValueData(rest, lines_, value)) {
            return false;
        }
        sink_.OnValue(path_, value);
        return true;
    }

    LineReader lines_;
    RegTextSink& sink_;
    std::vector<std::string> path_;
    bool inKey_ = false;
};

// A UTF-16LE text (with its byte order mark) as UTF-8.
std::string FromUtf16Le(std::string_view bytes) {
    std::u16string units;
    units.reserve(bytes.size() / 2);
    for (std::size_t i = 2; i + 1 < bytes.size(); i += 2) {
        units.push_back(static_cast<char16_t>(static_cast<unsigned char>(bytes[i]) |
                                              (static_cast<unsigned char>(bytes[i + 1]) << 8)));
    }
    return Utf16ToUtf8(units);
}

class HiveBuilder final : public RegTextSink {
  public:
    HiveBuilder(RegHive& hive, std::vector<RegSkippedStatement>* skipped)
        : hive_(hive), skipped_(skipped) {}
    // The parser reports values only right after their section: the key of the last section
    // takes them without a walk down the tree.
    void OnKey(const std::vector<std::string>& path) override {
        current_ = &hive_.Create(path);
        if (skipped_ != nullptr) {
            section_ = "[" + std::string(kRegRootName);
            for (const auto& name : path) {
                section_ += "\\" + name;
            }
            section_ += "]";
        }
    }
    void OnDeleteKey(const std::vector<std::string>& path) override {
        hive_.Delete(path);
        current_ = nullptr;
        section_.clear();
    }
    void OnValue(const std::vector<std::string>& path, const RegTextValue& value) override {
        (current_ != nullptr ? *current_ : hive_.Create(path)).SetValue(value);
    }
    void OnDeleteValue(const std::vector<std::string>& path, const std::string& name) override {
        if (RegKey* key = hive_.Find(path)) {
            key->DeleteValue(name);
        }
    }
    void OnSkipped(std::size_t line, std::string_view text) override {
        if (skipped_ == nullptr) {
            return;
        }
        const std::string_view statement = TrimLeft(text);
        if (!statement.empty() && statement.front() == '[') {
            section_.clear();  // a section of no use: what follows is outside any key of ours
        }
        skipped_->push_back(RegSkippedStatement{line, std::string(text), section_});
    }

  private:
    RegHive& hive_;
    std::vector<RegSkippedStatement>* skipped_;
    RegKey* current_ = nullptr;
    std::string section_;
};

class BatchBuilder final : public RegTextSink {
  public:
    BatchBuilder(RegBatch& batch, std::size_t& skipped) : batch_(batch), skipped_(skipped) {}
    void OnKey(const std::vector<std::string>& path) override {
        batch_.CreateKey(JoinRegKeyPath(path));
    }
    void OnDeleteKey(const std::vector<std::string>& path) override {
        batch_.DeleteKey(JoinRegKeyPath(path));
    }
    void OnValue(const std::vector<std::string>& path, const RegTextValue& value) override {
        if (value.IsVerbatim()) {
            ++skipped_;
        } else if (value.value.type == RegValue::Type::Dword) {
            batch_.SetDword(JoinRegKeyPath(path), value.name, value.value.dword);
        } else {
            batch_.SetString(JoinRegKeyPath(path), value.name, value.value.text);
        }
    }
    void OnDeleteValue(const std::vector<std::string>& path, const std::string& name) override {
        batch_.DeleteValue(JoinRegKeyPath(path), name);
    }

  private:
    RegBatch& batch_;
    std::size_t& skipped_;
};

}  // namespace

RegTextStatus ParseRegText(std::string_view bytes, RegTextSink& sink) {
    if (bytes.size() >= 2 && static_cast<unsigned char>(bytes[0]) == 0xFF &&
        static_cast<unsigned char>(bytes[1]) == 0xFE) {
        const std::string text = FromUtf16Le(bytes);
        return Parser(text, sink).Run();
    }
    if (bytes.size() >= 3 && bytes.substr(0, 3) == "\xEF\xBB\xBF") {
        bytes.remove_prefix(3);
    }
    return Parser(bytes, sink).Run();
}

RegTextStatus ParseRegHive(std::string_view bytes, RegHive& hive,
                           std::vector<RegSkippedStatement>* skipped) {
    HiveBuilder builder(hive, skipped);
    return ParseRegText(bytes, builder);
}

RegTextStatus ParseRegBatch(std::string_view bytes, RegBatch& batch, std::size_t& skippedValues) {
    skippedValues = 0;
    BatchBuilder builder(batch, skippedValues);
    return ParseRegText(bytes, builder);
}

}  // namespace lane::platform
