// Writing and reading lanesim's record file.
#include "sim/Record.h"

#include <cerrno>
#include <utility>

#include "platform/SystemError.h"

namespace lane::sim {

namespace {

constexpr int kMaxConnectionNumber = 1'000'000;
constexpr char kModulePrefix = 'D';

int HexDigit(char c) {
    if (c >= '0' && c <= '9') {
        return c - '0';
    }
    if (c >= 'A' && c <= 'F') {
        return c - 'A' + 10;
    }
    if (c >= 'a' && c <= 'f') {
        return c - 'a' + 10;
    }
    return -1;
}

// From `i` on: a number, then blank-separated hex pairs, at least one; appends the bytes.
bool ReadNumberedLine(std::string_view line, std::size_t i, int& number,
                      std::vector<std::uint8_t>& bytes) {
    const std::size_t start = i;
    number = 0;
    while (i < line.size() && line[i] >= '0' && line[i] <= '9') {
        number = number * 10 + (line[i] - '0');
        if (number > kMaxConnectionNumber) {
            return false;
        }
        ++i;
    }
    if (i == start) {
        return false;
    }
    std::size_t count = 0;
    while (i < line.size()) {
        if (line[i] != ' ' || i + 3 > line.size()) {
            return false;
        }
        const int high = HexDigit(line[i + 1]);
        const int low = HexDigit(line[i + 2]);
        if (high < 0 || low < 0) {
            return false;
        }
        bytes.push_back(static_cast<std::uint8_t>(high * 16 + low));
        ++count;
        i += 3;
    }
    return count > 0;
}

// "<connection> XX XX ..." (the pipe) or "D<handle> XX XX ..." (the module).
bool ReadContentLine(std::string_view line, RecordContents& contents) {
    std::vector<std::uint8_t> bytes;
    int number = 0;
    if (line.front() == kModulePrefix) {
        if (!ReadNumberedLine(line, 1, number, bytes)) {
            return false;
        }
        contents.modulePackets.push_back(RecordedPacket{number, std::move(bytes)});
        return true;
    }
    if (!ReadNumberedLine(line, 0, number, bytes)) {
        return false;
    }
    auto& all = contents.connections[number];
    all.insert(all.end(), bytes.begin(), bytes.end());
    return true;
}

}  // namespace

RecordWriter::~RecordWriter() {
    if (file_ != nullptr) {
        std::fclose(file_);
    }
}

std::uint32_t RecordWriter::Open(const std::string& path) {
    std::lock_guard<std::mutex> lock(mutex_);
    writeError_ = 0;
    if (path.empty()) {
        return 0;
    }
    errno = 0;
    file_ = std::fopen(path.c_str(), "wb");
    if (file_ == nullptr) {
        return platform::WindowsErrorFromErrnoForPath(errno, path);
    }
    return 0;
}

std::uint32_t RecordWriter::WriteError() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return writeError_;
}

void RecordWriter::Received(int connection, const std::uint8_t* bytes, std::size_t count) {
    if (count == 0) {
        return;
    }
    WriteLine(std::to_string(connection) + " " + FormatHex(bytes, count));
}

void RecordWriter::Note(int connection, std::string_view what) {
    WriteLine("# " + std::to_string(connection) + " " + std::string(what));
}

void RecordWriter::ModuleReceived(int handle, const std::uint8_t* bytes, std::size_t count) {
    if (count == 0) {
        return;
    }
    WriteLine(kModulePrefix + std::to_string(handle) + " " + FormatHex(bytes, count));
}

void RecordWriter::ModuleNote(int handle, std::string_view what) {
    WriteLine("# " + (kModulePrefix + std::to_string(handle)) + " " + std::string(what));
}

void RecordWriter::WriteLine(const std::string& line) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (file_ == nullptr || writeError_ != 0) {
        return;
    }
    errno = 0;
    const bool written = std::fwrite(line.data(), 1, line.size(), file_) == line.size() &&
                         std::fputc('\n', file_) != EOF && std::fflush(file_) == 0;
    if (!written) {
        // errno names the write's reason; a failure without one is still a failure.
        const std::uint32_t error = platform::WindowsErrorFromErrno(errno);
        writeError_ = error != 0 ? error : platform::kErrorInvalidHandle;
    }
}

std::string FormatHex(const std::uint8_t* bytes, std::size_t count) {
    static constexpr char kDigits[] = "0123456789ABCDEF";
    std::string text;
    text.reserve(count * 3);
    for (std::size_t i = 0; i < count; ++i) {
        if (i > 0) {
            text += ' ';
        }
        text += kDigits[bytes[i] >> 4];
        text += kDigits[bytes[i] & 0x0F];
    }
    return text;
}

int ReadRecord(std::string_view text, RecordContents& contents, int& badLine) {
    contents = RecordContents{};
    badLine = 0;
    int line = 0;
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = text.find('\n', start);
        if (end == std::string_view::npos) {
            end = text.size();
        }
        std::string_view content = text.substr(start, end - start);
        start = end + 1;
        ++line;
        if (!content.empty() && content.back() == '\r') {
            content.remove_suffix(1);
        }
        if (content.empty() || content.front() == '#') {
            continue;
        }
        if (!ReadContentLine(content, contents)) {
            contents = RecordContents{};
            badLine = line;
            return kRecordMalformed;
        }
    }
    return kRecordOk;
}

int ReadRecord(std::string_view text, RecordedBytes& connections, int& badLine) {
    RecordContents contents;
    const int rc = ReadRecord(text, contents, badLine);
    connections = std::move(contents.connections);
    return rc;
}

std::string FormatRecordSummary(const RecordedBytes& connections) {
    std::string text;
    for (const auto& [connection, bytes] : connections) {
        text += std::to_string(connection) + " " + FormatHex(bytes.data(), bytes.size()) + "\n";
    }
    return text;
}

std::string FormatRecordSummary(const RecordContents& contents) {
    std::string text = FormatRecordSummary(contents.connections);
    for (const RecordedPacket& packet : contents.modulePackets) {
        text += kModulePrefix + std::to_string(packet.handle) + " " +
                FormatHex(packet.bytes.data(), packet.bytes.size()) + "\n";
    }
    return text;
}

}  // namespace lane::sim
