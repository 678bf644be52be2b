// Fuzz target of the batch-file reader: any text splits into lines that rebuild it, and any line
// reads without a fault into a comment or a command whose program carries no quote, whose words
// hold blanks only where the line quoted them, and which reads the same again when written back
// with its words quoted.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "platform/CommandInterpreter.h"

namespace {

using lane::platform::BatchLine;
using lane::platform::ParseBatchLine;
using lane::platform::SplitBatchLines;

void Check(bool condition) {
    if (!condition) {
        __builtin_trap();
    }
}

bool HasBlank(std::string_view text) {
    return text.find_first_of(" \t") != std::string_view::npos;
}

bool Same(const BatchLine& a, const BatchLine& b) {
    return a.kind == b.kind && a.call == b.call && a.program == b.program &&
           a.arguments == b.arguments;
}

// The lines, each followed in the text by an optional CR and then LF or the end, give the text
// back; the CR that ends a line is never kept in it.
void CheckSplit(std::string_view text, const std::vector<std::string>& lines) {
    std::size_t at = 0;
    for (const std::string& line : lines) {
        Check(line.find('\n') == std::string::npos);
        Check(text.substr(at, line.size()) == line);
        at += line.size();
        const bool lineEnds = at == text.size() || text[at] == '\n';
        Check(!(lineEnds && !line.empty() && line.back() == '\r'));
        if (at < text.size() && text[at] == '\r' &&
            (at + 1 == text.size() || text[at + 1] == '\n')) {
            ++at;
        }
        Check(at == text.size() || text[at] == '\n');
        if (at < text.size()) {
            ++at;
        }
    }
    Check(at == text.size());
}

// An argument quoted so that the run-time library's split gives it back unchanged: backslashes
// are doubled before a quote and before the closing quote, and a quote is escaped.
void AppendQuotedArgument(std::string& line, const std::string& argument) {
    line.push_back('"');
    std::size_t backslashes = 0;
    for (const char c : argument) {
        if (c == '\\') {
            ++backslashes;
            continue;
        }
        if (c == '"') {
            line.append(backslashes * 2 + 1, '\\');
        } else {
            line.append(backslashes, '\\');
        }
        backslashes = 0;
        line.push_back(c);
    }
    line.append(backslashes * 2, '\\');
    line.push_back('"');
}

void CheckLine(std::string_view text) {
    const BatchLine line = ParseBatchLine(text);
    const bool quotes = text.find('"') != std::string_view::npos;
    if (line.kind == BatchLine::Kind::Nothing) {
        Check(line.program.empty() && line.arguments.empty());
        return;
    }
    Check(line.program.find('"') == std::string::npos);
    if (!quotes) {
        // Without quotes, blanks only separate: no word holds one, and no word is empty.
        Check(!line.program.empty() && !HasBlank(line.program));
        for (const std::string& argument : line.arguments) {
            Check(!argument.empty() && !HasBlank(argument));
            Check(argument.find('"') == std::string::npos);
        }
    }
    // Leading blanks and the echo-off "@" change nothing.
    const std::size_t first = text.find_first_not_of(" \t");
    if (first != std::string_view::npos && text[first] != '@') {
        std::string prefixed = " \t@ ";
        prefixed.append(text);
        Check(Same(ParseBatchLine(prefixed), line));
    }
    // Written back with every word quoted, the line reads the same.
    std::string written = line.call ? "call " : "";
    written.push_back('"');
    written.append(line.program);
    written.push_back('"');
    for (const std::string& argument : line.arguments) {
        written.push_back(' ');
        AppendQuotedArgument(written, argument);
    }
    Check(Same(ParseBatchLine(written), line));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    const std::vector<std::string> lines = SplitBatchLines(text);
    CheckSplit(text, lines);
    for (const std::string& line : lines) {
        CheckLine(line);
    }
    // The whole input as one line too (line ends and all).
    CheckLine(text);
    return 0;
}
