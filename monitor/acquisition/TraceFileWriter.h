// The trace-file writer thread: appends queued lines, starting the file anew at its size limit.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <thread>

#include "common/Clock.h"
#include "common/Waitable.h"
#include "monitor/acquisition/TraceQueue.h"
#include "platform/File.h"

namespace lane::monitor {

class CTraceFileWriter {
  public:
    // `file` may be null (trace file not open): queued lines are then dropped. `reportError`
    // shows a write failure to the user; it is called once per run of failing writes.
    CTraceFileWriter(Clock& clock, CTraceQueue& queue, std::unique_ptr<platform::SharedFile> file,
                     std::uint32_t maxLogSizeKb,
                     std::function<void(std::uint32_t error)> reportError);
    ~CTraceFileWriter();

    void Start(ManualResetEvent& stopEvent);
    void Join();
    // Closes the file; call after Join.
    void Close() { file_.reset(); }
    // Hands the file over (to a writer that follows this one); call after Join.
    std::unique_ptr<platform::SharedFile> ReleaseFile() { return std::move(file_); }

    // One batch: writes every queued line (the writer thread's step, also used by tests).
    void WriteQueuedLines();

  private:
    void Run(ManualResetEvent& stopEvent);
    // Writes whole lines at the file's end; the file starts again from empty when the next line
    // would pass the limit (StartFileAgain).
    std::uint32_t WritePending(std::string_view lines);
    std::uint32_t StartFileAgain();
    void NoteResult(std::uint32_t error, std::uint32_t& errorToReport);

    Clock& clock_;
    CTraceQueue& queue_;
    std::unique_ptr<platform::SharedFile> file_;
    const std::uint64_t maxBytes_;
    std::uint64_t position_ = 0;  // where the next line goes; only this thread moves it
    std::string batch_;           // the batch being written; its room is kept for the next
    std::function<void(std::uint32_t)> reportError_;
    bool lastWriteFailed_ = false;
    std::thread thread_;
};

}  // namespace lane::monitor
