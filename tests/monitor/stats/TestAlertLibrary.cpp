// An alert library for tests: appends each event code to the file named by TAVRIK_EVENT_TEST_FILE.
#include "monitor/alerts/TavrikEvent.h"

#include <cstdlib>
#include <fstream>
#include <mutex>

namespace {
constexpr const char* kRecordFileVariable = "TAVRIK_EVENT_TEST_FILE";
std::mutex recordLock;
}  // namespace

extern "C" void LogEvent(int eventCode) {
    // Several monitors raise events at once; one line each, whole.
    std::lock_guard<std::mutex> lock(recordLock);
    const char* path = std::getenv(kRecordFileVariable);
    if (path == nullptr || *path == '\0') {
        return;
    }
    std::ofstream record(path, std::ios::app);
    record << eventCode << '\n';
}
