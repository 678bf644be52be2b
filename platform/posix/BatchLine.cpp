// Batch lines read as the command interpreter reads them: comments, `call`, program and arguments.
#include <cstddef>

#include "platform/CommandInterpreter.h"

namespace lane::platform {

namespace {

bool IsBlank(char c) {
    return c == ' ' || c == '\t';
}

char LowerAscii(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

std::size_t SkipBlanks(std::string_view text, std::size_t at) {
    while (at < text.size() && IsBlank(text[at])) {
        ++at;
    }
    return at;
}

// True when `text` starts at `at` with the keyword `word` (any case) followed by a blank or the
// end of the line.
bool StartsWithWord(std::string_view text, std::size_t at, std::string_view word) {
    if (text.size() - at < word.size()) {
        return false;
    }
    for (std::size_t i = 0; i < word.size(); ++i) {
        if (LowerAscii(text[at + i]) != word[i]) {
            return false;
        }
    }
    const std::size_t after = at + word.size();
    return after == text.size() || IsBlank(text[after]);
}

// The program token: up to the first blank outside quotes, quotes removed.
std::string ReadProgram(std::string_view text, std::size_t& at) {
    std::string program;
    bool quoted = false;
    for (; at < text.size(); ++at) {
        const char c = text[at];
        if (c == '"') {
            quoted = !quoted;
            continue;
        }
        if (!quoted && IsBlank(c)) {
            break;
        }
        program.push_back(c);
    }
    return program;
}

// The arguments as a program's run-time library splits its command line: blanks outside quotes
// separate; 2n backslashes before a quote give n backslashes and the quote opens or closes a
// group; 2n + 1 backslashes before a quote give n backslashes and a literal quote; other
// backslashes are kept as they are (so Windows paths pass unchanged).
std::vector<std::string> SplitArguments(std::string_view text, std::size_t at) {
    std::vector<std::string> arguments;
    for (;;) {
        at = SkipBlanks(text, at);
        if (at >= text.size()) {
            return arguments;
        }
        std::string argument;
        bool quoted = false;
        while (at < text.size() && (quoted || !IsBlank(text[at]))) {
            std::size_t backslashes = 0;
            while (at < text.size() && text[at] == '\\') {
                ++backslashes;
                ++at;
            }
            if (at < text.size() && text[at] == '"') {
                argument.append(backslashes / 2, '\\');
                if (backslashes % 2 == 1) {
                    argument.push_back('"');
                } else {
                    quoted = !quoted;
                }
                ++at;
                continue;
            }
            argument.append(backslashes, '\\');
            if (at < text.size() && (quoted || !IsBlank(text[at]))) {
                argument.push_back(text[at]);
                ++at;
            }
        }
        arguments.push_back(argument);
    }
}

}  // namespace

BatchLine ParseBatchLine(std::string_view line) {
    BatchLine result;
    std::size_t at = SkipBlanks(line, 0);
    if (at < line.size() && line[at] == '@') {
        at = SkipBlanks(line, at + 1);  // "@" only turns the echo of the line off
    }
    if (at >= line.size() || line[at] == ':' || StartsWithWord(line, at, "rem")) {
        return result;
    }
    if (StartsWithWord(line, at, "call")) {
        result.call = true;
        at = SkipBlanks(line, at + 4);
        if (at >= line.size()) {
            return result;  // a bare "call" does nothing
        }
    }
    result.kind = BatchLine::Kind::Command;
    result.program = ReadProgram(line, at);
    result.arguments = SplitArguments(line, at);
    return result;
}

std::vector<std::string> SplitBatchLines(std::string_view text) {
    std::vector<std::string> lines;
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = text.find('\n', start);
        const std::size_t next = end == std::string_view::npos ? text.size() : end + 1;
        if (end == std::string_view::npos) {
            end = text.size();
        }
        if (end > start && text[end - 1] == '\r') {
            --end;
        }
        lines.emplace_back(text.substr(start, end - start));
        start = next;
    }
    return lines;
}

}  // namespace lane::platform
