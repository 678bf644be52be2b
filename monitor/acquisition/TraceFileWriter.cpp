// The trace-file writer thread: appends queued lines, starting the file anew at its size limit.
#include "monitor/acquisition/TraceFileWriter.h"

#include <string_view>

namespace lane::monitor {

namespace {

// Room kept for the next batch: what a few thousand lines take.
constexpr std::size_t kKeptBatchBytes = 1024 * 1024;

}  // namespace

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
            empty = queue_.Text().empty();
        }
        if (empty) {
            queue_.lineQueued.Reset();
            continue;
        }
        WriteQueuedLines();
    }
}

void CTraceFileWriter::WriteQueuedLines() {
    {
        // The batch is taken whole; producers queue the next one while this one is written.
        std::lock_guard<std::mutex> lock(queue_.Lock());
        batch_.clear();
        batch_.swap(queue_.Text());
        // Cleared under the lock: a producer that queues next sets it again after we release.
        queue_.lineQueued.Reset();
    }
    queue_.Taken();
    if (!file_) {
        batch_.clear();  // no trace file: the lines are dropped
        if (batch_.capacity() > kKeptBatchBytes) {
            std::string().swap(batch_);
        }
        return;
    }
    // The lines go out in as few writes as the size limit allows, each one complete: the lines
    // from `from` to `end` are pending, and a line that would take the file past its limit
    // writes them and starts the file again first.
    std::uint32_t errorToReport = 0;
    const std::string_view text(batch_);
    std::size_t from = 0;
    std::size_t end = 0;
    while (end < text.size()) {
        if (position_ + (text.size() - from) <= maxBytes_) {
            end = text.size();  // the rest fits
            break;
        }
        const std::size_t lineFeed = text.find('\n', end);
        const std::size_t lineEnd = lineFeed == std::string_view::npos ? text.size() : lineFeed + 1;
        if (position_ + (lineEnd - from) > maxBytes_) {
            NoteResult(WritePending(text.substr(from, end - from)), errorToReport);
            // The room of an unusually large batch is given back rather than passed on to the next.
            if (batch_.capacity() > kKeptBatchBytes) {
                std::string().swap(batch_);
            }
            NoteResult(StartFileAgain(), errorToReport);
            from = end;
        }
        end = lineEnd;
    }
    NoteResult(WritePending(text.substr(from, end - from)), errorToReport);
    // The room of an unusually large batch is given back rather than passed on to the next.
    if (batch_.capacity() > kKeptBatchBytes) {
        std::string().swap(batch_);
    }
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

std::uint32_t CTraceFileWriter::WritePending(std::string_view lines) {
    if (lines.empty()) {
        return 0;
    }
    const std::uint32_t error = file_->Write(lines.data(), lines.size());
    // After a failed write the file's own position is the truth again; those lines are lost.
    position_ = error == 0 ? position_ + lines.size() : file_->Position();
    return error;
}

std::uint32_t CTraceFileWriter::StartFileAgain() {
    const std::uint32_t error = file_->Truncate();
    position_ = error == 0 ? 0 : file_->Position();
    return error;
}

}  // namespace lane::monitor
