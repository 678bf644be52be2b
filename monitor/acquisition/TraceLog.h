// The trace operations every part of the monitor calls: one time-stamped line per event.
#pragma once

#include <cstddef>
#include <cstdint>
#include <ctime>
#include <functional>
#include <string>

#include "common/Clock.h"
#include "monitor/acquisition/TraceQueue.h"
#include "monitor/ui/TraceList.h"

namespace lane::monitor {

inline constexpr std::size_t kTraceMessageMax = 999;

class CTraceLog {
  public:
    explicit CTraceLog(Clock& clock) : clock_(clock) {}

    // Wiring, done before any thread traces. Display mode shows lines in `list`; a logging state
    // other than 0 queues them for the trace file.
    void SetDisplayList(CTraceList* list) { list_ = list; }
    void SetTraceQueue(CTraceQueue* queue) { queue_ = queue; }
    // Records bad data seen by TraceUnknown (time, hex text) in the statistics.
    void SetBadDataRecorder(std::function<void(std::time_t, const std::string&)> recorder) {
        badDataRecorder_ = std::move(recorder);
    }

    void TraceText(const std::string& text);
    // "  ** <text> **".
    void TraceNote(const std::string& text);
    // "(A3 01 ) -- Raw Input --".
    void TraceRawInput(const std::uint8_t* bytes, std::size_t count);
    // "50  ** UNKNOWN MESSAGE **".
    void TraceUnknown(const std::uint8_t* bytes, std::size_t count);

    // Stamps a finished message text with the local time and sends it to the list and the file.
    void Emit(const std::string& text);

  private:
    Clock& clock_;
    CTraceList* list_ = nullptr;
    CTraceQueue* queue_ = nullptr;
    std::function<void(std::time_t, const std::string&)> badDataRecorder_;
};

}  // namespace lane::monitor
