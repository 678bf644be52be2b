// The trace-file writer thread: appends queued lines, starting the file anew at its size limit.
#include "monitor/acquisition/TraceFileWriter.h"

#include <deque>

namespace lane::monitor {

CTraceFileWriter::CTraceFileWriter(Clock& clock, CTraceQueue& queue,
                                   std::unique_ptr<platform::SharedFile> file,
                                   std::uint32_t maxLogSizeKb,
                                   std::function<void(std::uint32_t)> reportError)
    : clock_(clock),
      queue_(queue),
      file_(std::move(file)),
      maxBytes_(static_cast<std::uint64_t>(maxLogSizeKb) * 1024),
      reportError_(std::move(reportError)) {
    if (file_) {
        position_ = file_->Position();
    }
}

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
    std::deque<std::string> batch;
    {
        // The batch is taken whole; producers queue the next one while this one is written.
        std::lock_guard<std::mutex> lock(queue_.Lock());
        batch.swap(queue_.Lines());
        // Cleared under the lock: a producer that queues next sets it again after we release.
        queue_.lineQueued.Reset();
    }
    if (!file_) {
        return;  // no trace file: the lines are dropped
    }
    // The lines go out in as few writes as the size limit allows, each one complete.
    std::uint32_t errorToReport = 0;
    pending_.clear();
    for (const std::string& line : batch) {
        const std::size_t size = line.size() + 1;
        if (position_ + pending_.size() + size > maxBytes_) {
            NoteResult(WritePending(), errorToReport);
            NoteResult(StartFileAgain(), errorToReport);
        }
        pending_ += line;
        pending_ += '\n';
    }
    NoteResult(WritePending(), errorToReport);
    // Reported outside the queue lock so that producers never wait for the user.
    if (errorToReport != 0 && reportError_) {
        reportError_(errorToReport);
    }
}

void CTraceFileWriter::NoteResult(std::uint32_t error, std::uint32_t& errorToReport) {
    if (error != 0 && !lastWriteFailed_ && errorToReport == 0) {
        errorToReport = error;
    }
    lastWriteFailed_ = error != 0;
}

std::uint32_t CTraceFileWriter::WritePending() {
    if (pending_.empty()) {
        return 0;
    }
    const std::uint32_t error = file_->Write(pending_.data(), pending_.size());
    // After a failed write the file's own position is the truth again; those lines are lost.
    position_ = error == 0 ? position_ + pending_.size() : file_->Position();
    pending_.clear();
    return error;
}

std::uint32_t CTraceFileWriter::StartFileAgain() {
    const std::uint32_t error = file_->Truncate();
    position_ = error == 0 ? 0 : file_->Position();
    return error;
}

}  // namespace lane::monitor
