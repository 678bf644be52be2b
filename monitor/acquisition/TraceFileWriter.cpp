// The trace-file writer thread: appends queued lines, starting the file anew at its size limit.
#include "monitor/acquisition/TraceFileWriter.h"

namespace lane::monitor {

CTraceFileWriter::CTraceFileWriter(Clock& clock, CTraceQueue& queue,
                                   std::unique_ptr<platform::SharedFile> file,
                                   std::uint32_t maxLogSizeKb,
                                   std::function<void(std::uint32_t)> reportError)
    : clock_(clock),
      queue_(queue),
      file_(std::move(file)),
      maxBytes_(static_cast<std::uint64_t>(maxLogSizeKb) * 1024),
      reportError_(std::move(reportError)) {}

CTraceFileWriter::~CTraceFileWriter() {
    Join();
}

void CTraceFileWriter::Start(ManualResetEvent& stopEvent) {
    thread_ = std::thread([this, &stopEvent] { Run(stopEvent); });
}

void CTraceFileWriter::Join() {
    if (thread_.joinable()) {
        thread_.join();
    }
}

void CTraceFileWriter::Run(ManualResetEvent& stopEvent) {
    for (;;) {
        const int signalled = WaitForAny(
            clock_, {&stopEvent, &queue_.secondQueueEvent, &queue_.lineQueued}, kInfiniteMs);
        if (signalled == 0) {
            return;
        }
        if (signalled == 1) {
            continue;
        }
        bool empty = false;
        {
            std::lock_guard<std::mutex> lock(queue_.Lock());
            empty = queue_.Lines().empty();
        }
        if (empty) {
            queue_.lineQueued.Reset();
            continue;
        }
        WriteQueuedLines();
    }
}

void CTraceFileWriter::WriteQueuedLines() {
    std::uint32_t errorToReport = 0;
    {
        std::lock_guard<std::mutex> lock(queue_.Lock());
        auto& lines = queue_.Lines();
        while (!lines.empty()) {
            const std::uint32_t error = WriteLine(lines.front());
            if (error != 0 && !lastWriteFailed_ && errorToReport == 0) {
                errorToReport = error;
            }
            lastWriteFailed_ = error != 0;
            lines.pop_front();
        }
        // Cleared under the lock: a producer that queues next sets it again after we release.
        queue_.lineQueued.Reset();
    }
    // Reported outside the lock so that producers never wait for the user.
    if (errorToReport != 0 && reportError_) {
        reportError_(errorToReport);
    }
}

std::uint32_t CTraceFileWriter::WriteLine(std::string& line) {
    if (!file_) {
        return 0;
    }
    line.push_back('\n');
    if (file_->Position() + line.size() > maxBytes_) {
        const std::uint32_t error = file_->Truncate();
        if (error != 0) {
            return error;
        }
    }
    return file_->Write(line.data(), line.size());
}

}  // namespace lane::monitor
