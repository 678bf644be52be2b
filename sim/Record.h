// The record file of lanesim: every byte the monitor wrote on the pipe, by connection, in arrival
// order, and every packet the programs wrote to the security module, by driver handle.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <map>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

namespace lane::sim {

// Writes the record: "<connection> <hex bytes>" for each chunk received on the pipe,
// "# <connection> <what>" for connection events, "D<handle> <hex bytes>" for each packet written
// to the security module and "# D<handle> <what>" for driver-handle events. Every line is flushed
// as it is written, so a killed lanesim leaves what it saw. Safe to call from several threads.
// A line that cannot be written (disk full) ends the record: nothing more is written after it,
// so the file never has a gap in the middle, and WriteError() says why.
class RecordWriter {
  public:
    RecordWriter() = default;
    ~RecordWriter();
    RecordWriter(const RecordWriter&) = delete;
    RecordWriter& operator=(const RecordWriter&) = delete;

    // Creates (or empties) `path`; with an empty path nothing is recorded. 0, or the Windows
    // error number when the file cannot be created.
    [[nodiscard]] std::uint32_t Open(const std::string& path);
    // 0 while every line reached the file; else the Windows error number of the first that did not.
    std::uint32_t WriteError() const;
    void Received(int connection, const std::uint8_t* bytes, std::size_t count);
    void Note(int connection, std::string_view what);
    // A packet a program wrote to the module on driver handle `handle` (nothing when empty).
    void ModuleReceived(int handle, const std::uint8_t* bytes, std::size_t count);
    void ModuleNote(int handle, std::string_view what);

  private:
    void WriteLine(const std::string& line);

    mutable std::mutex mutex_;
    std::FILE* file_ = nullptr;
    std::uint32_t writeError_ = 0;
};

// "02 56 03": upper-case hex pairs separated by single blanks.
std::string FormatHex(const std::uint8_t* bytes, std::size_t count);

// All bytes of each connection, in order, by connection number.
using RecordedBytes = std::map<int, std::vector<std::uint8_t>>;

// One packet written to the module, on driver handle `handle`.
struct RecordedPacket {
    int handle = 0;
    std::vector<std::uint8_t> bytes;
};

struct RecordContents {
    RecordedBytes connections;                  // the pipe
    std::vector<RecordedPacket> modulePackets;  // the module, in arrival order
};

inline constexpr int kRecordOk = 0;
inline constexpr int kRecordMalformed = 1;

// Reads a record text. kRecordOk, or kRecordMalformed with the 1-based line in `badLine`.
[[nodiscard]] int ReadRecord(std::string_view text, RecordContents& contents, int& badLine);
// The pipe's part only (module lines are read and left out).
[[nodiscard]] int ReadRecord(std::string_view text, RecordedBytes& connections, int& badLine);

// One line per connection: "<connection> <all its bytes in hex>".
std::string FormatRecordSummary(const RecordedBytes& connections);
// The pipe's lines, then one line per module packet: "D<handle> <its bytes in hex>".
std::string FormatRecordSummary(const RecordContents& contents);

}  // namespace lane::sim
