// A recording OPOS trace collector for tests: serves the scale class only, accepts records while
// the test says so, and keeps every call for the test to read back.
#include <algorithm>
#include <cstdint>
#include <cstring>
#include <mutex>
#include <string>
#include <vector>

namespace {

struct Recorded {
    std::int32_t kind;
    std::int32_t length;
    std::vector<unsigned char> record;  // the whole 5224-byte record as handed over
};

std::mutex recorderLock;
std::int32_t enabled = 0;
std::string calls;  // one letter per call: E enable entry, S send entry
std::vector<Recorded> records;

constexpr std::size_t kRecordSize = 5224;

}  // namespace

extern "C" std::int32_t IsOposScaleEnabled() {
    std::lock_guard<std::mutex> lock(recorderLock);
    calls += 'E';
    return enabled;
}

extern "C" void SendOposTrace(std::int32_t kind, const void* record, std::int32_t length) {
    std::lock_guard<std::mutex> lock(recorderLock);
    calls += 'S';
    const auto* bytes = static_cast<const unsigned char*>(record);
    records.push_back(
        Recorded{kind, length, std::vector<unsigned char>(bytes, bytes + kRecordSize)});
}

// The test's side.
extern "C" void RecorderReset(std::int32_t accept) {
    std::lock_guard<std::mutex> lock(recorderLock);
    enabled = accept;
    calls.clear();
    records.clear();
}

// Copies the call letters into `out` (zero-terminated, at most `size` bytes).
extern "C" void RecorderCalls(char* out, std::size_t size) {
    std::lock_guard<std::mutex> lock(recorderLock);
    const std::size_t count = std::min(calls.size(), size - 1);
    std::memcpy(out, calls.data(), count);
    out[count] = '\0';
}

// Record `index`: copies its 5224 bytes to `out`, sets kind and length; false past the last.
extern "C" bool RecorderRecord(std::size_t index, unsigned char* out, std::int32_t* kind,
                               std::int32_t* length) {
    std::lock_guard<std::mutex> lock(recorderLock);
    if (index >= records.size()) {
        return false;
    }
    std::memcpy(out, records[index].record.data(), kRecordSize);
    *kind = records[index].kind;
    *length = records[index].length;
    return true;
}
