// The record file of lanesim: every byte the monitor wrote, by connection, in arrival order.
#pragma once

#include <cstddef>
#include <cstdint>
#include <fstream>
#include <map>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

namespace lane::sim {

// Writes the record: "<connection> <hex bytes>" for each chunk received, "# <connection> <what>"
// for connection events. Every line is flushed as it is written, so a killed lanesim leaves what
// it saw. Safe to call from several threads.
class RecordWriter {
  public:
    // Creates (or empties) `path`; with an empty path nothing is recorded. 0, or 1 when the file
    // cannot be created.
    [[nodiscard]] int Open(const std::string& path);
    void Received(int connection, const std::uint8_t* bytes, std::size_t count);
    void Note(int connection, std::string_view what);

  private:
    void WriteLine(const std::string& line);

    std::mutex mutex_;
    std::ofstream file_;
};

// "02 56 03": upper-case hex pairs separated by single blanks.
std::string FormatHex(const std::uint8_t* bytes, std::size_t count);

// All bytes of each connection, in order, by connection number.
using RecordedBytes = std::map<int, std::vector<std::uint8_t>>;

inline constexpr int kRecordOk = 0;
inline constexpr int kRecordMalformed = 1;

// Reads a record text. kRecordOk, or kRecordMalformed with the 1-based line in `badLine`.
[[nodiscard]] int ReadRecord(std::string_view text, RecordedBytes& connections, int& badLine);

// One line per connection: "<connection> <all its bytes in hex>".
std::string FormatRecordSummary(const RecordedBytes& connections);

}  // namespace lane::sim
